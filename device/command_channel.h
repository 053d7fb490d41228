#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <span>

#include "device/clock.h"
#include "device/command_codes.h"
#include "device/command_frame.h"
#include "device/enclosure_lock.h"
#include "device/transport.h"

namespace raid {

using ReplySector = std::array<std::uint8_t, kSectorSize>;
using FlashChunk = std::array<std::uint8_t, kPayloadLength>;

// Reply budget: a value of 10 or more is milliseconds (rounded to whole
// seconds, as the controller firmware expects), below 10 a number of polls.
inline constexpr std::uint32_t kProbeBudget = 1000;
inline constexpr std::uint32_t kCommandBudget = 3000;
inline constexpr std::uint32_t kAtaBudget = 3;

// Which reply signature pair a controller answered with.
enum class SignaturePair { None, First, Second };
SignaturePair MatchSignature(std::span<const std::uint8_t, kSectorSize> reply);
// The controller's status byte as the program uses it: known values pass,
// anything else becomes kErrUnknownStatus.
CommandStatus MapDeviceStatus(std::uint8_t raw);

// The one command context of the process. Every vendor command passes through
// it as a sequence of one-sector reads followed by polls of the reply sector.
// It is not reentrant: the message pump runs window events in the middle of a
// command, and a second command started from one of them would overwrite the
// frame and the reply on the wire. Such a call is refused (and asserts in
// debug builds).
class CommandChannel {
  public:
    // Returns the physical disk number the next SendCommand/Ata* goes to.
    using TargetResolver = std::function<std::uint8_t()>;
    // Lets the calling thread process pending window events.
    using MessagePump = std::function<void()>;

    CommandChannel(Transport& transport, Clock& clock);

    void SetTargetResolver(TargetResolver resolver) { resolveTarget_ = std::move(resolver); }
    void SetMessagePump(MessagePump pump) { pump_ = std::move(pump); }
    // Every command that opens its target holds the target's lock from the
    // first read of its sequence to the end of its reply wait. The flash
    // commands use the caller's handle: their caller holds the lock.
    void SetEnclosureLock(EnclosureLock& lock) { lock_ = &lock; }
    EnclosureLock& enclosureLock() { return *lock_; }

    CommandStatus SendCommand(std::uint8_t code, std::span<std::uint8_t, kSectorSize> reply);
    // The same to disk `disk`, whatever the resolver would choose: for a
    // caller that has one enclosure in hand (an upgrade checking its target).
    CommandStatus SendCommandTo(std::uint8_t disk, std::uint8_t code,
                                std::span<std::uint8_t, kSectorSize> reply);
    CommandStatus FlashRead(DeviceHandle handle, std::uint32_t address,
                            std::span<std::uint8_t, kPayloadLength> data);
    CommandStatus FlashProgram(DeviceHandle handle, std::uint32_t address,
                               std::span<const std::uint8_t, kPayloadLength> data);
    CommandStatus FlashErase(DeviceHandle handle, std::uint32_t address);
    CommandStatus AtaIssue(std::uint8_t ataCommand, std::uint8_t drive,
                           std::span<std::uint8_t, kSectorSize> reply);
    CommandStatus AtaFetch(std::uint8_t ataCommand, std::uint8_t drive, std::uint8_t part,
                           std::span<std::uint8_t, kSectorSize> reply);

    // The argument bytes sent with codes 0x76-0x78.
    void SetQueuedArgs(std::uint8_t code, std::uint8_t arg1, std::uint8_t arg2, std::uint8_t arg3);
    std::uint8_t QueuedArgsCode() const { return queuedCode_; }
    std::array<std::uint8_t, 3> QueuedArgs() const { return queuedArgs_; }

    // 0 or 1: the signature pair of the last signed reply.
    std::uint8_t ChipVariant() const { return chipVariant_.load(); }
    // The mapped status byte of the last reply, or the local code of its failure.
    CommandStatus LastStatus() const { return lastStatus_; }

    // Whether a command is on the wire right now (for callers' own guards).
    bool Busy() const { return inFlight_.load(); }

  private:
    class InFlight;

    CommandStatus RunOnTarget(std::uint8_t code, const std::array<std::uint8_t, 3>& args,
                              const FlashChunk* payload, std::uint32_t budget,
                              std::span<std::uint8_t, kSectorSize> reply);
    CommandStatus RunOnDisk(std::uint8_t disk, std::uint8_t code,
                            const std::array<std::uint8_t, 3>& args, const FlashChunk* payload,
                            std::uint32_t budget, std::span<std::uint8_t, kSectorSize> reply);
    CommandStatus Exchange(DeviceHandle handle, std::uint8_t code,
                           const std::array<std::uint8_t, 3>& args, const FlashChunk* payload,
                           std::uint32_t budget);
    CommandStatus FlashCommand(DeviceHandle handle, std::uint8_t code, std::uint32_t address,
                               const FlashChunk* payload);
    bool SendSequence(DeviceHandle handle, const ReadSequence& sequence);
    CommandStatus WaitForReply(DeviceHandle handle, std::uint32_t budget);
    bool ReadInto(DeviceHandle handle, std::uint32_t lba);
    void Pump();
    static CommandStatus Outcome(CommandStatus waitResult, CommandStatus status);

    Transport& transport_;
    Clock& clock_;
    TargetResolver resolveTarget_;
    MessagePump pump_;
    NoEnclosureLock noLock_;
    EnclosureLock* lock_ = &noLock_;

    ReplySector replyBuffer_{};
    CommandStatus lastStatus_ = 0;
    std::atomic<std::uint8_t> chipVariant_{0};
    std::uint8_t queuedCode_ = 0;
    std::array<std::uint8_t, 3> queuedArgs_{};
    std::atomic<bool> inFlight_{false};
};

}  // namespace raid
