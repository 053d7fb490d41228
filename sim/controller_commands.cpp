#include <algorithm>

#include "device/command_codes.h"
#include "sim/ata_text.h"
#include "sim/controller.h"

// The answers of the stand-in controller, one per command of the vendor table.
namespace raid::sim {
namespace {

constexpr std::size_t kFirmwareAt = 88;
constexpr std::size_t kEnvironmentAt = 124;  // bytes 124 and 125: zero = environment reported
constexpr std::size_t kTemperatureAt = 0x7F;
constexpr std::size_t kFanAt = 0x80;
constexpr std::size_t kBuzzerAt = 0x82;
constexpr std::size_t kBackupPeriodAt = 0x83;
constexpr std::size_t kBackupCountAt = 0x84;
constexpr std::size_t kBackupMarkAt = 0x86;
constexpr std::size_t kBackupWeeksAt = 0x87;
constexpr std::size_t kBackupPresetsAt = 0x88;
constexpr std::size_t kNameAt = 160;
constexpr std::size_t kNameSize = 40;
constexpr std::size_t kCapacityAt = 200;

constexpr std::size_t kTaskStatusAt = 0x54;
constexpr std::size_t kTaskLengthAt = 0x5E;
constexpr std::size_t kTaskPositionAt = 0x77;

constexpr std::size_t kModeAt = 0x50;
constexpr std::array<std::size_t, 2> kEntryAt = {0x54, 0xA0};
constexpr std::size_t kEntryModel = 4;
constexpr std::size_t kEntrySerial = 0x2C;
constexpr std::size_t kEntryCapacity = 0x46;

constexpr std::size_t kEchoCodeAt = 76;
constexpr std::size_t kEchoArgAt = 77;
constexpr std::size_t kDataAt = 80;
constexpr std::size_t kQuarter = 128;

constexpr std::uint8_t kBuzzerOnByte = 0x5A;
constexpr std::uint8_t kBuzzerMutedByte = 0x55;  // high nibble 5: buzzer control still offered
constexpr std::uint8_t kBackupValidMark = 0xA0;

constexpr std::uint8_t kFlashSelector = 0x01;
constexpr std::uint8_t kHybridQuery = 0x33;
constexpr std::uint8_t kHybridSetPeriod = 0x02;
constexpr std::uint8_t kHybridSetBuzzer = 0x01;
constexpr std::uint8_t kHybridTail = 0xDF;

constexpr std::uint8_t kFisHostToDevice = 0x27;
constexpr std::uint8_t kAtaIdentify = 0xEC;
constexpr std::uint8_t kAtaSmart = 0xB0;
constexpr std::uint8_t kSmartReadData = 0xD0;
constexpr std::uint8_t kSmartReadThresholds = 0xD1;

// One step of the backup count is 10 seconds; a week holds 60480 of them.
constexpr std::uint32_t kCountsPerHour = 360;
constexpr std::uint32_t kCountsPerWeek = 7 * 24 * kCountsPerHour;
constexpr std::uint64_t kMsPerCount = 10'000;

bool IsAbsentState(std::uint8_t state) {
    return state != kStatePresent && state != kStateBusy && state != kStateInserted &&
           state != kStateFailed && state != kStateRebuildFailed;
}

std::span<std::uint8_t> Field(Sector& sector, std::size_t at, std::size_t size) {
    return std::span<std::uint8_t>(sector).subspan(at, size);
}

}  // namespace

std::uint8_t Controller::Execute(const ReceivedFrame& frame, std::uint64_t nowMs, Sector& reply) {
    reply.fill(0);
    switch (frame.code()) {
        case CmdProbe:
            return kReplySuccess;
        case CmdGetControllerInfo:
            FillControllerInfo(nowMs, reply);
            return kReplySuccess;
        case CmdGetExtendedStatus:
            FillExtendedStatus(nowMs, reply);
            return kReplySuccess;
        case CmdGetDriveInfo:
            FillDriveInfo(reply);
            return kReplySuccess;
        case CmdFlashRead:
        case CmdFlashErase:
        case CmdFlashProgram:
            return Flash(frame, reply);
        case CmdBuzzerMuteOn:
        case CmdBuzzerMuteOff:
            return Buzzer(frame.code());
        case CmdSyncEvery10Min:
        case CmdSyncEvery30Min:
        case CmdSyncEvery1Hour:
        case CmdSyncEvery3Hours:
            return Sync(frame.code(), nowMs);
        case CmdHybridConfig:
            return HybridConfig(frame, nowMs, reply);
        case CmdAtaIssue:
            reply[kEchoCodeAt] = CmdAtaIssue;
            reply[kEchoArgAt] = frame.args()[0];
            return AtaIssue(frame);
        case CmdAtaFetch:
            reply[kEchoCodeAt] = CmdAtaFetch;
            reply[kEchoArgAt] = frame.args()[0];
            return AtaFetch(frame, reply);
        default:
            return kReplyUnsupported;
    }
}

void Controller::FillControllerInfo(std::uint64_t nowMs, Sector& reply) const {
    std::copy(config_.firmware.begin(), config_.firmware.end(), reply.begin() + kFirmwareAt);
    const std::uint8_t environment = config_.environment ? 0x00 : 0xFF;
    reply[kEnvironmentAt] = environment;
    reply[kEnvironmentAt + 1] = environment;
    reply[kTemperatureAt] = state_.temperature;
    PutBigEndian(Field(reply, kFanAt, 2), state_.fanRpm);
    switch (state_.buzzer) {
        case BuzzerKind::On:
            reply[kBuzzerAt] = kBuzzerOnByte;
            break;
        case BuzzerKind::Muted:
            reply[kBuzzerAt] = kBuzzerMutedByte;
            break;
        case BuzzerKind::None:
            reply[kBuzzerAt] = 0;
            break;
    }
    if (state_.backup) {
        const BackupConfig& b = *state_.backup;
        reply[kBackupPeriodAt] = b.period;
        std::uint16_t count = b.count;
        std::uint8_t weeks = b.weeks;
        if (b.period != 0) {
            // Time left in whole 10-second counts, rounded up; none while a
            // backup runs or once one is overdue.
            std::uint64_t counts = 0;
            if (!state_.backupEndMs && state_.backupDueMs > nowMs) {
                counts = (state_.backupDueMs - nowMs + kMsPerCount - 1) / kMsPerCount;
            }
            weeks =
                static_cast<std::uint8_t>(std::min<std::uint64_t>(counts / kCountsPerWeek, 0xFF));
            count = static_cast<std::uint16_t>(counts % kCountsPerWeek);
        }
        PutBigEndian(Field(reply, kBackupCountAt, 2), count);
        reply[kBackupMarkAt] = static_cast<std::uint8_t>(kBackupValidMark | (b.unit & 0x1F));
        reply[kBackupWeeksAt] = weeks;
        std::copy(b.presets.begin(), b.presets.end(), reply.begin() + kBackupPresetsAt);
    }
    if (config_.name) {
        PutAtaText(Field(reply, kNameAt, kNameSize), *config_.name);
    }
    PutLittleEndian(Field(reply, kCapacityAt, 6), state_.arrayCapacity);
    for (const auto& [offset, value] : config_.infoBytes) {
        if (offset < reply.size()) {
            reply[offset] = value;
        }
    }
}

void Controller::FillExtendedStatus(std::uint64_t nowMs, Sector& reply) const {
    reply[kTaskStatusAt] = state_.taskStatus;
    PutBigEndian(Field(reply, kTaskLengthAt, 6), state_.arrayCapacity);
    PutBigEndian(Field(reply, kTaskPositionAt, 5), TaskPosition(nowMs));
}

void Controller::FillDriveInfo(Sector& reply) const {
    reply[kModeAt] = state_.raidMode;
    for (std::size_t i = 0; i < state_.drives.size(); ++i) {
        const DriveConfig& drive = state_.drives[i];
        const std::size_t entry = kEntryAt[i];
        reply[entry] = drive.state;
        if (IsAbsentState(drive.state)) {
            continue;  // an empty bay has no identity to report
        }
        PutAtaText(Field(reply, entry + kEntryModel, 40), drive.model);
        PutAtaText(Field(reply, entry + kEntrySerial, 20), drive.serial);
        PutBigEndian(Field(reply, entry + kEntryCapacity, 6), drive.capacity);
    }
}

std::uint8_t Controller::Flash(const ReceivedFrame& frame, Sector& reply) {
    const auto args = frame.args();
    if (args[0] != kFlashSelector) {
        return kReplyBadArgument;
    }
    const std::uint32_t address = ((std::uint32_t{args[1]} << 8) | args[2]) * SpiFlash::kPageSize;
    switch (frame.code()) {
        case CmdFlashRead: {
            auto data = std::span<std::uint8_t, SpiFlash::kPageSize>(reply.data() + kDataAt,
                                                                     SpiFlash::kPageSize);
            return flash_.Read(address, data) ? kReplySuccess : kReplyBadArgument;
        }
        case CmdFlashErase:
            return flash_.EraseSectorAt(address) ? kReplySuccess : kReplyBadArgument;
        default:
            if (!frame.longForm) {
                return kReplyBadArgument;
            }
            return flash_.Program(address, frame.payload()) ? kReplySuccess : kReplyBadArgument;
    }
}

std::uint8_t Controller::Buzzer(std::uint8_t code) {
    if (state_.buzzer == BuzzerKind::None) {
        return kReplyUnsupported;
    }
    state_.buzzer = code == CmdBuzzerMuteOn ? BuzzerKind::Muted : BuzzerKind::On;
    return kReplySuccess;
}

void Controller::SetPeriod(std::uint8_t period, std::uint64_t nowMs) {
    BackupConfig& b = *state_.backup;
    b.period = period;
    // The next backup is one whole period away.
    const std::uint32_t counts = std::uint32_t{period} * b.unit * kCountsPerHour;
    b.weeks = static_cast<std::uint8_t>(counts / kCountsPerWeek);
    b.count = static_cast<std::uint16_t>(counts % kCountsPerWeek);
    state_.backupDueMs = nowMs + std::uint64_t{counts} * kMsPerCount;
}

std::uint8_t Controller::Sync(std::uint8_t code, std::uint64_t nowMs) {
    if (!state_.backup) {
        return kReplyUnsupported;
    }
    const std::size_t choice = code - CmdSyncEvery10Min;
    SetPeriod(choice == 0 ? 0 : state_.backup->presets[choice - 1], nowMs);
    return kReplySuccess;
}

std::uint8_t Controller::HybridConfig(const ReceivedFrame& frame, std::uint64_t nowMs,
                                      Sector& reply) {
    if (!config_.hybridConfig) {
        return kReplyUnsupported;
    }
    const auto args = frame.args();
    if (args[0] == kHybridQuery && args[1] == 0xEF && args[2] == kHybridTail) {
        reply[81] = CmdHybridConfig;
        reply[82] = kHybridQuery;
        reply[83] = config_.hybridFeatures;
        return kReplySuccess;
    }
    if (args[0] == kHybridSetPeriod && args[2] == kHybridTail) {
        if (!state_.backup) {
            return kReplyUnsupported;
        }
        SetPeriod(args[1], nowMs);
        return kReplySuccess;
    }
    if (args[0] == kHybridSetBuzzer && args[2] == kHybridTail) {
        // The buzzer byte itself: 0x5A sounds, anything else mutes.
        return Buzzer(args[1] == kBuzzerOnByte ? CmdBuzzerMuteOff : CmdBuzzerMuteOn);
    }
    return kReplyBadArgument;
}

bool Controller::DriveAnswers(std::size_t drive) const {
    const std::uint8_t state = state_.drives[drive].state;
    return state == kStatePresent || state == kStateBusy || state == kStateInserted;
}

std::uint8_t Controller::AtaIssue(const ReceivedFrame& frame) {
    const auto args = frame.args();
    if (!frame.longForm || args[1] > 1) {
        return kReplyBadArgument;
    }
    const auto fis = frame.payload();
    if (fis[0] != kFisHostToDevice) {
        return kReplyBadArgument;
    }
    // The relay argument and the FIS must name the same ATA command.
    const bool identify = args[0] == kAtaIdentify;
    if (identify ? fis[2] != kAtaIdentify : (fis[2] != kAtaSmart || fis[3] != args[0])) {
        return kReplyBadArgument;
    }
    const std::size_t drive = args[1];
    if (!DriveAnswers(drive)) {
        return kReplyDriveError;
    }
    const DriveConfig& d = state_.drives[drive];
    AtaResult result{args[0], {}};
    if (identify) {
        result.sector = IdentifySector(d);
    } else if (args[0] == kSmartReadData) {
        result.sector = SmartDataSector(d);
    } else if (args[0] == kSmartReadThresholds) {
        result.sector = SmartThresholdSector(d);
    } else {
        return kReplyDriveError;  // the drive aborts other SMART features
    }
    ataResults_[drive] = result;
    return kReplySuccess;
}

std::uint8_t Controller::AtaFetch(const ReceivedFrame& frame, Sector& reply) {
    const auto args = frame.args();
    const std::uint8_t part = args[2];
    if (args[1] > 1 || part < 1 || part > 4) {
        return kReplyBadArgument;
    }
    const auto& result = ataResults_[args[1]];
    if (!result || result->ataCommand != args[0]) {
        return kReplyBadArgument;  // nothing of that command to hand out
    }
    std::copy_n(result->sector.begin() + (part - 1) * kQuarter, kQuarter, reply.begin() + kDataAt);
    return kReplySuccess;
}

}  // namespace raid::sim
