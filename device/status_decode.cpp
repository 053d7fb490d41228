#include "device/status_decode.h"

#include <algorithm>

namespace raid {
namespace {

constexpr std::size_t kTemperature = 0x7F;
constexpr std::size_t kFanHigh = 0x80;
constexpr std::size_t kBuzzer = 0x82;
constexpr std::uint8_t kBuzzerOn = 0x5A;
constexpr std::size_t kBackupPeriod = 0x83;
constexpr std::size_t kBackupValid = 0x86;
constexpr std::size_t kBackupWeeks = 0x87;

constexpr std::size_t kFirmwareVersion = 46;  // of the processed block

constexpr std::size_t kRawMode = 0x50;
constexpr std::size_t kEntryA = 0x54;
constexpr std::size_t kEntryB = 0xA0;
constexpr std::size_t kEntryModel = 4;
constexpr std::size_t kEntrySerial = 0x2C;
constexpr std::size_t kEntryCapacity = 0x46;

constexpr std::size_t kTaskLength = 0x5E;
constexpr std::size_t kTaskPosition = 0x77;

struct DriveFields {
    std::uint8_t& state;
    std::array<std::uint8_t, 40>& model;
    std::array<std::uint8_t, 20>& serial;
    std::uint64_t& capacity;
};

void DecodeEntry(ReplyView reply, std::size_t entry, DriveFields drive, int shift,
                 RaidStatus& record, std::uint8_t& driveClass, std::uint8_t& taskMask,
                 DriveInfoDecode how) {
    const std::uint8_t state = reply[entry];
    const std::uint8_t cls = ClassOfState(state);
    drive.state = state;
    driveClass |= static_cast<std::uint8_t>(cls << shift);
    if (state == 1) {
        taskMask |= static_cast<std::uint8_t>(shift == 0 ? 0x01 : 0x02);
    }
    const bool copy = how == DriveInfoDecode::Poll ? cls != kClassAbsent
                                                   : (cls == kClassPresent || cls == kClassFailed);
    if (copy) {
        std::copy_n(reply.begin() + entry + kEntryModel, drive.model.size(), drive.model.begin());
        std::copy_n(reply.begin() + entry + kEntrySerial, drive.serial.size(),
                    drive.serial.begin());
        drive.capacity = ReadBigEndian(reply.subspan(entry + kEntryCapacity, 6));
    } else if (how == DriveInfoDecode::Discovery && record.validMark != kValidMark) {
        drive.model.fill(' ');
        drive.serial.fill(' ');
        drive.capacity = 0;
    }
}

}  // namespace

std::uint8_t ClassOfState(std::uint8_t state) {
    switch (state) {
        case 0:
        case 1:
            return kClassPresent;
        case 6:
            return kClassInserted;
        case 9:
        case 0x12:
            return kClassFailed;
        default:
            return kClassAbsent;
    }
}

std::uint8_t RaidModeOfRaw(std::uint8_t raw) {
    switch (raw) {
        case 0:
            return kModeJbod;
        case 1:
            return kModeStriping;
        case 2:
            return kModeMirroring;
        default:
            return kModeBypass;
    }
}

bool DrivesSwappedByFirmware(ReplyView block) {
    if (block[kFirmwareVersion] == 0x14 && block[kFirmwareVersion + 1] == 0x04 &&
        block[kFirmwareVersion + 2] == 0x03) {
        return false;
    }
    const std::uint8_t b = block[kFirmwareVersion + 3];
    return !(b == 0 || (b & 0x10) != 0);
}

void DecodeControllerInfo(ReplyView reply, MonitorSlot& slot, RaidStatus& record,
                          bool applySettingPending) {
    record.fanRpm = static_cast<std::uint16_t>((reply[kFanHigh] << 8) | reply[kFanHigh + 1]);
    record.temperature = reply[kTemperature];
    if (slot.features & kFeatureBuzzer) {
        if (reply[kBuzzer] == kBuzzerOn) {
            record.controlFlags |= 0x01;
        } else {
            record.controlFlags &= static_cast<std::uint8_t>(~0x01);
        }
        if (!applySettingPending) {
            slot.buzzerChanged = false;
        }
    }
    if ((reply[kBackupValid] & 0xE0) == 0xA0) {
        record.backupInfo = {reply[kBackupPeriod], reply[kBackupPeriod + 1],
                             reply[kBackupPeriod + 2], reply[kBackupWeeks]};
    } else {
        record.backupInfo = {0, 0, 0, 0};
    }
}

void DecodeDriveInfo(ReplyView reply, MonitorSlot& slot, RaidStatus& record, DriveInfoDecode how) {
    record.raidMode = RaidModeOfRaw(reply[kRawMode]);
    const std::size_t hdd1Entry = slot.drivesSwapped ? kEntryB : kEntryA;
    const std::size_t hdd2Entry = slot.drivesSwapped ? kEntryA : kEntryB;
    std::uint8_t driveClass = 0;
    std::uint8_t taskMask = 0;
    DecodeEntry(reply, hdd1Entry,
                {record.hdd1State, record.hdd1Model, record.hdd1Serial, record.hdd1Capacity}, 0,
                record, driveClass, taskMask, how);
    DecodeEntry(reply, hdd2Entry,
                {record.hdd2State, record.hdd2Model, record.hdd2Serial, record.hdd2Capacity}, 4,
                record, driveClass, taskMask, how);
    record.driveClass = driveClass;
    record.taskMask = taskMask;
    if (taskMask != 0) {
        slot.progressActive = true;
    }
}

std::uint64_t TaskLength(ReplyView reply) {
    return ReadBigEndian(reply.subspan(kTaskLength, 6));
}

std::uint64_t TaskPosition(ReplyView reply) {
    return ReadBigEndian(reply.subspan(kTaskPosition, 5));
}

std::optional<std::uint8_t> ProgressPercent(std::uint64_t position, std::uint64_t length) {
    if (length == 0) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(position * 100 / length);
}

std::uint64_t ReadBigEndian(std::span<const std::uint8_t> bytes) {
    std::uint64_t value = 0;
    for (std::uint8_t b : bytes.first(std::min<std::size_t>(bytes.size(), 8))) {
        value = (value << 8) | b;
    }
    return value;
}

std::uint64_t ReadLittleEndian(std::span<const std::uint8_t> bytes) {
    std::uint64_t value = 0;
    const std::size_t n = std::min<std::size_t>(bytes.size(), 8);
    for (std::size_t i = n; i-- > 0;) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

}  // namespace raid
