#include "device/command_channel.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "device/command_table.h"

namespace raid {
namespace {

constexpr char kFirstPairHead[] = "__KORVADE6182A__";
constexpr char kFirstPairTail[] = "__SATA6GRAID01__";
constexpr char kSecondPairHead[] = "__DRAVOLT2109A__";
constexpr char kSecondPairTail[] = "_PORTMULTIPLIER_";

constexpr std::array<std::uint8_t, 3> kDefaultArgs = {0xCF, 0xDF, 0xEF};
constexpr std::uint8_t kFlashSelector = 0x01;
constexpr std::uint32_t kReplyPollPauseMs = 10;
constexpr std::uint8_t kAtaIdentify = 0xEC;
constexpr std::uint8_t kAtaSmart = 0xB0;

bool Matches(std::span<const std::uint8_t, kSectorSize> reply, std::size_t offset,
             const char (&text)[kSignatureLength + 1]) {
    return std::memcmp(reply.data() + offset, text, kSignatureLength) == 0;
}

std::array<std::uint8_t, 3> FlashArgs(std::uint32_t address) {
    const std::uint32_t block = (address / kPayloadLength) & 0xFFFFu;
    return {kFlashSelector, static_cast<std::uint8_t>(block >> 8),
            static_cast<std::uint8_t>(block)};
}

// SATA Register Host-to-Device FIS at the head of the relay payload.
FlashChunk AtaFis(std::uint8_t ataCommand) {
    FlashChunk payload{};
    const bool identify = ataCommand == kAtaIdentify;
    const std::array<std::uint8_t, 20> fis = {0x27,
                                              0x80,
                                              identify ? kAtaIdentify : kAtaSmart,
                                              identify ? std::uint8_t{0} : ataCommand,
                                              0x01,
                                              0x4F,
                                              0xC2,
                                              0xE0,
                                              0,
                                              0,
                                              0,
                                              0,
                                              0x01,
                                              0,
                                              0,
                                              0,
                                              0,
                                              0,
                                              0,
                                              0};
    std::copy(fis.begin(), fis.end(), payload.begin());
    return payload;
}

}  // namespace

// Marks the context busy for the length of one command; refuses a nested one.
class CommandChannel::InFlight {
  public:
    explicit InFlight(CommandChannel& channel) : channel_(channel) {
        acquired_ = !channel_.inFlight_.exchange(true);
        assert(acquired_ && "vendor command started while another one is in flight");
    }
    ~InFlight() {
        if (acquired_) {
            channel_.inFlight_.store(false);
        }
    }
    InFlight(const InFlight&) = delete;
    InFlight& operator=(const InFlight&) = delete;
    bool acquired() const { return acquired_; }

  private:
    CommandChannel& channel_;
    bool acquired_ = false;
};

SignaturePair MatchSignature(std::span<const std::uint8_t, kSectorSize> reply) {
    if (Matches(reply, 0, kFirstPairHead) &&
        Matches(reply, kSecondSignatureOffset, kFirstPairTail)) {
        return SignaturePair::First;
    }
    if (Matches(reply, 0, kSecondPairHead) &&
        Matches(reply, kSecondSignatureOffset, kSecondPairTail)) {
        return SignaturePair::Second;
    }
    return SignaturePair::None;
}

CommandStatus MapDeviceStatus(std::uint8_t raw) {
    switch (raw) {
        case 0x00:
        case 0x10:
        case 0x20:
        case 0xC0:
        case 0xD0:
        case 0xE0:
        case 0xF0:
        case 0xFF:
            return raw;
        default:
            return kErrUnknownStatus;
    }
}

CommandChannel::CommandChannel(Transport& transport, Clock& clock)
    : transport_(transport), clock_(clock), resolveTarget_([] { return std::uint8_t{0}; }) {}

void CommandChannel::SetQueuedArgs(std::uint8_t code, std::uint8_t arg1, std::uint8_t arg2,
                                   std::uint8_t arg3) {
    queuedCode_ = code;
    queuedArgs_ = {arg1, arg2, arg3};
}

CommandStatus CommandChannel::SendCommand(std::uint8_t code,
                                          std::span<std::uint8_t, kSectorSize> reply) {
    const auto args = UsesQueuedArgs(code) ? queuedArgs_ : kDefaultArgs;
    return RunOnTarget(code, args, nullptr, CommandRowFor(code).budget, reply);
}

CommandStatus CommandChannel::SendCommandTo(std::uint8_t disk, std::uint8_t code,
                                            std::span<std::uint8_t, kSectorSize> reply) {
    const auto args = UsesQueuedArgs(code) ? queuedArgs_ : kDefaultArgs;
    return RunOnDisk(disk, code, args, nullptr, CommandRowFor(code).budget, reply);
}

CommandStatus CommandChannel::AtaIssue(std::uint8_t ataCommand, std::uint8_t drive,
                                       std::span<std::uint8_t, kSectorSize> reply) {
    const FlashChunk fis = AtaFis(ataCommand);
    return RunOnTarget(CmdAtaIssue, {ataCommand, drive, 0}, &fis, kAtaBudget, reply);
}

CommandStatus CommandChannel::AtaFetch(std::uint8_t ataCommand, std::uint8_t drive,
                                       std::uint8_t part,
                                       std::span<std::uint8_t, kSectorSize> reply) {
    return RunOnTarget(CmdAtaFetch, {ataCommand, drive, part}, nullptr, kAtaBudget, reply);
}

CommandStatus CommandChannel::FlashRead(DeviceHandle handle, std::uint32_t address,
                                        std::span<std::uint8_t, kPayloadLength> data) {
    const CommandStatus result = FlashCommand(handle, CmdFlashRead, address, nullptr);
    if (result == kStatusOk) {
        std::copy_n(replyBuffer_.begin() + kReplyDataOffset, kReplyDataLength, data.begin());
    }
    return result;
}

CommandStatus CommandChannel::FlashProgram(DeviceHandle handle, std::uint32_t address,
                                           std::span<const std::uint8_t, kPayloadLength> data) {
    FlashChunk payload;
    std::copy(data.begin(), data.end(), payload.begin());
    return FlashCommand(handle, CmdFlashProgram, address, &payload);
}

CommandStatus CommandChannel::FlashErase(DeviceHandle handle, std::uint32_t address) {
    return FlashCommand(handle, CmdFlashErase, address, nullptr);
}

CommandStatus CommandChannel::FlashCommand(DeviceHandle handle, std::uint8_t code,
                                           std::uint32_t address, const FlashChunk* payload) {
    InFlight guard(*this);
    if (!guard.acquired()) {
        return kErrSequenceRead;
    }
    const CommandStatus waitResult =
        Exchange(handle, code, FlashArgs(address), payload, CommandRowFor(code).budget);
    return Outcome(waitResult, lastStatus_);
}

CommandStatus CommandChannel::RunOnTarget(std::uint8_t code,
                                          const std::array<std::uint8_t, 3>& args,
                                          const FlashChunk* payload, std::uint32_t budget,
                                          std::span<std::uint8_t, kSectorSize> reply) {
    return RunOnDisk(resolveTarget_(), code, args, payload, budget, reply);
}

CommandStatus CommandChannel::RunOnDisk(std::uint8_t target, std::uint8_t code,
                                        const std::array<std::uint8_t, 3>& args,
                                        const FlashChunk* payload, std::uint32_t budget,
                                        std::span<std::uint8_t, kSectorSize> reply) {
    InFlight guard(*this);
    if (!guard.acquired()) {
        return kErrSequenceRead;
    }
    const std::uint8_t disk = target & 0x0F;
    const EnclosureLockHold hold(*lock_, disk, clock_, kLockWaitMs, pump_);
    if (!hold.held()) {
        lastStatus_ = kErrEnclosureBusy;
        return kErrEnclosureBusy;
    }
    const DeviceHandle handle = transport_.OpenDevice(disk);
    if (handle == kInvalidHandle) {
        lastStatus_ = kErrOpenFailed;
        return kErrOpenFailed;
    }
    const CommandStatus waitResult = Exchange(handle, code, args, payload, budget);
    transport_.CloseHandle(handle);
    if (waitResult == kErrSequenceRead) {
        return waitResult;
    }
    std::copy(replyBuffer_.begin(), replyBuffer_.end(), reply.begin());
    return Outcome(waitResult, lastStatus_);
}

CommandStatus CommandChannel::Exchange(DeviceHandle handle, std::uint8_t code,
                                       const std::array<std::uint8_t, 3>& args,
                                       const FlashChunk* payload, std::uint32_t budget) {
    const CommandFrame frame = BuildFrame(code, CommandRowFor(code).headerSecond, args, payload);
    if (!SendSequence(handle, EncodeFrame(frame))) {
        lastStatus_ = kErrSequenceRead;
        return kErrSequenceRead;
    }
    return WaitForReply(handle, budget);
}

CommandStatus CommandChannel::Outcome(CommandStatus waitResult, CommandStatus status) {
    if (waitResult != kStatusOk) {
        return waitResult;
    }
    return status == kDeviceSuccess ? kStatusOk : status;
}

bool CommandChannel::SendSequence(DeviceHandle handle, const ReadSequence& sequence) {
    std::uint32_t previous = 0;
    for (std::uint32_t lba : sequence.view()) {
        Pump();
        // The controller only sees a change of address, so a repeated LBA
        // needs another sector read in between.
        if (lba == previous && !ReadInto(handle, kSeparatorSector)) {
            return false;
        }
        if (!ReadInto(handle, lba)) {
            return false;
        }
        previous = lba;
    }
    return true;
}

CommandStatus CommandChannel::WaitForReply(DeviceHandle handle, std::uint32_t budget) {
    const std::uint64_t start = clock_.NowMs();
    std::uint32_t polls = 0;
    bool isSigned = false;
    bool stopped = false;
    while (!isSigned && !stopped) {
        Pump();
        ReadInto(handle, kSeparatorSector);  // its outcome does not matter
        if (!ReadInto(handle, kReplySector)) {
            lastStatus_ = kErrReplyRead;
            return kErrReplyRead;
        }
        ++polls;
        const SignaturePair pair = MatchSignature(replyBuffer_);
        if (pair != SignaturePair::None) {
            chipVariant_.store(pair == SignaturePair::First ? 0 : 1);
            isSigned = true;
        } else if (budget >= 10) {
            // Whole seconds only: a 1000 ms budget gives up after 2 s, 3000 ms after 4 s.
            const std::uint64_t elapsedSeconds = (clock_.NowMs() - start) / 1000;
            stopped = elapsedSeconds > budget / 1000;
        } else {
            stopped = polls > budget;
        }
        clock_.SleepMs(kReplyPollPauseMs);
    }
    if (!isSigned) {
        lastStatus_ = kErrNoReply;
        return kErrNoReply;
    }
    lastStatus_ = MapDeviceStatus(replyBuffer_[kReplyStatusOffset]);
    return kStatusOk;
}

bool CommandChannel::ReadInto(DeviceHandle handle, std::uint32_t lba) {
    return transport_.ReadSectors(handle, lba, replyBuffer_, 1);
}

void CommandChannel::Pump() {
    if (pump_) {
        pump_();
    }
}

}  // namespace raid
