#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "device/clock.h"
#include "device/command_channel.h"
#include "device/device_state.h"
#include "device/dialogs.h"
#include "device/transport.h"
#include "monitor/status_sink.h"

namespace raid {

inline constexpr std::uint32_t kFlashPage = 128;
inline constexpr std::uint32_t kFlashEraseStep = 4096;
inline constexpr int kFlashAttempts = 9;

// The three flash primitives over the read-only command channel. Each opens
// its target itself, holds the enclosure's lock while it works and closes
// the target before returning; each returns true on success and leaves its
// progress and failure texts in status panel 4.
class SpiFlashAccess {
  public:
    // A message box (text, caption, icon); discovery reads the flash off the
    // main thread, so the caller decides where the box is shown.
    using MessageSink =
        std::function<void(const std::string& text, const std::string& caption, DialogIcon)>;

    struct Services {
        CommandChannel& channel;
        Transport& transport;
        Clock& clock;
        DeviceState& devices;
        ProcessFlags& flags;
        StatusSink& status;
        MessageSink message;
    };

    SpiFlashAccess(Services services, std::atomic<std::uint32_t>& progressCounter);

    void SetMessagePump(std::function<void()> pump) { pump_ = std::move(pump); }

    // `buffer` must hold `length` bytes; the last command's bytes past it
    // are dropped.
    bool ReadSpiFlash(std::uint32_t start, std::uint32_t length, std::span<std::uint8_t> buffer);
    bool EraseSpiFlash(std::uint32_t start, std::uint32_t length);
    // `source` must hold `length` bytes; a last command that reaches past
    // them is padded with 0xFF, which leaves flash bits as they are.
    bool ProgramSpiFlash(std::uint32_t start, std::uint32_t length,
                         std::span<const std::uint8_t> source);

  private:
    enum class Operation { Read, Erase, Program };

    std::optional<std::uint8_t> TargetDisk(Operation op);
    bool Run(Operation op, std::uint32_t start, std::uint32_t length, std::span<std::uint8_t> into,
             std::span<const std::uint8_t> from);
    CommandStatus Step(Operation op, DeviceHandle handle, std::uint32_t address,
                       std::uint32_t offset, std::uint32_t length, std::span<std::uint8_t> into,
                       std::span<const std::uint8_t> from);
    void Message(const std::string& text, const std::string& caption, DialogIcon icon);
    void Pump();

    Services s_;
    std::atomic<std::uint32_t>& progress_;
    std::function<void()> pump_;
};

// "0080": upper-case hexadecimal, at least four digits.
std::string FlashAddressText(std::uint32_t address);

}  // namespace raid
