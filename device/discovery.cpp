#include "device/discovery.h"

#include <algorithm>

#include "device/inquiry_name.h"
#include "device/status_decode.h"

namespace raid {
namespace {

constexpr std::uint32_t kCommandPauseMs = 200;
constexpr std::size_t kFlashTypeOffset = 149;

// Controller-information block offsets.
constexpr std::size_t kFirmware = kBlockFirmwareOffset;
constexpr std::size_t kFamily = 50;
constexpr std::size_t kName = kBlockNameOffset;
constexpr std::size_t kNameLength = kBlockNameLength;
constexpr std::size_t kFirmwareSource = kReplyFirmwareOffset;
constexpr std::size_t kEnvA = 124;
constexpr std::size_t kEnvB = 125;
constexpr std::size_t kBuzzerCaps = 130;
constexpr std::size_t kBackupCaps = 134;  // 0x86
constexpr std::size_t kSchedulePresets = 0x88;
constexpr std::size_t kControllerName = kReplyNameOffset;
constexpr std::size_t kControllerCapacity = 200;

constexpr std::size_t kRawMode = 80;
constexpr std::size_t kHybridEchoCode = 81;
constexpr std::size_t kHybridEchoSub = 82;
constexpr std::size_t kHybridFeatures = 83;
constexpr std::size_t kArrayLength = 94;
constexpr std::size_t kTaskPosition = 119;

bool Recognised(const ControllerBlock& block) {
    return !(block[kFamily + 1] == 0 && (block[kFamily] == 0x50 || block[kFamily] == 0x05));
}

}  // namespace

Discovery::Discovery(CommandChannel& channel, Transport& transport, DiskCatalog& catalog,
                     Clock& clock, DeviceState& devices, ProcessFlags& flags, MessageSink message)
    : channel_(channel),
      transport_(transport),
      catalog_(catalog),
      clock_(clock),
      devices_(devices),
      flags_(flags),
      message_(std::move(message)) {}

int Discovery::DiscoverDevices() {
    ScanVolumes();
    int found = ProbeDisks();
    if (found == 0) {
        found = ProbeDisks();
    }
    return found;
}

int Discovery::CountLetters() {
    return static_cast<int>(std::min(catalog_.Volumes().size(), kMaxLetters));
}

int Discovery::CountDisks() {
    int count = 0;
    for (std::uint8_t d = 0; d < kMaxDisks; ++d) {
        const DeviceHandle h = transport_.OpenDevice(d);
        if (h != kInvalidHandle) {
            transport_.CloseHandle(h);
            ++count;
        }
    }
    return count;
}

void Discovery::ScanVolumes() {
    const std::vector<CatalogVolume> volumes = catalog_.Volumes();
    devices_.volumes.clear();
    const std::size_t letters = std::min(volumes.size(), kMaxLetters);
    for (std::size_t i = 0; i < letters; ++i) {
        if (devices_.volumes.size() == kMaxVolumes) {
            if (message_) {
                message_(kTooManyVolumes);
            }
            return;
        }
        const CatalogVolume& v = volumes[i];
        VolumeRecord record;
        record.letter = static_cast<char>('C' + i);
        record.mountPoint = v.mountPoint;
        record.driveType = v.driveType;
        if (!v.extent) {
            record.driveType = kDriveTypeUnopenable;
        } else {
            record.diskNumber = v.extent->diskNumber;
            record.startingOffset = v.extent->startingOffset;
            record.length = v.extent->length;
        }
        devices_.volumes.push_back(std::move(record));
    }
}

int Discovery::ProbeDisks() {
    std::size_t found = 0;
    int probed = 0;
    for (auto& block : devices_.blocks) {
        block.fill(0);
    }
    for (std::uint8_t d = 0; d < kMaxDisks; ++d) {
        if (flags_.AppClosing.load()) {
            break;
        }
        if (found == kMaxDevices) {
            break;  // the table is full: the first eight enclosures are kept
        }
        // The flash target index names a device-table entry, not a disk.
        const std::uint16_t flashTarget = flags_.flashTargetIndex.load();
        if (!flags_.StartupPass.load() && flashTarget < devices_.table.count &&
            d == devices_.table.Disk(flashTarget)) {
            // The enclosure being flashed is not disturbed by a probe.
            if (KeepAsItWas(d, found)) {
                ++found;
            }
            if (++probed >= devices_.diskCount) {
                break;
            }
            continue;
        }
        const DeviceHandle h = transport_.OpenDevice(d);
        if (h == kInvalidHandle) {
            continue;
        }
        transport_.CloseHandle(h);
        devices_.EntryUnderTest.store(d);
        switch (ProbeOne(d, found)) {
            case ProbeResult::Enclosure:
                devices_.newTable.entries[found++] = d | kEnclosureMark;
                break;
            case ProbeResult::Busy:
                // Another process of ours has the enclosure (an upgrade,
                // say): it is still there, not gone.
                if (KeepAsItWas(d, found)) {
                    ++found;
                } else if (keepBusyPlaces_) {
                    KeepPlaceInUse(d, found++);
                }
                break;
            case ProbeResult::NotEnclosure:
                break;
        }
        if (++probed >= devices_.diskCount) {
            break;
        }
    }
    devices_.newTable.count = static_cast<std::uint8_t>(found);
    return static_cast<int>(found);
}

void Discovery::KeepPlaceInUse(std::uint8_t disk, std::size_t index) {
    devices_.newTable.entries[index] = disk | kEnclosureInUse;
    devices_.devices[index] = FoundDevice{};
    devices_.slots[index] = MonitorSlot{};
    devices_.records[disk] = RaidStatus{};
}

bool Discovery::KeepAsItWas(std::uint8_t disk, std::size_t index) {
    for (std::size_t i = 0; i < devices_.table.count && i < kMaxDevices; ++i) {
        if (devices_.table.Disk(i) != disk) {
            continue;
        }
        devices_.newTable.entries[index] = devices_.table.entries[i];
        // Its block was cleared with the others; what the last run found
        // still holds (name, firmware), so nothing reads as changed.
        devices_.blocks[disk] = devices_.previousBlocks[disk];
        // Entries before it were written at lower indexes only, so entry i
        // is still intact here.
        if (i != index) {
            devices_.devices[index] = devices_.devices[i];
            devices_.slots[index] = devices_.slots[i];
        }
        return true;
    }
    return false;
}

Discovery::ProbeResult Discovery::ProbeOne(std::uint8_t disk, std::size_t index) {
    ControllerBlock& block = devices_.blocks[disk];
    const CommandStatus probe = channel_.SendCommand(CmdProbe, block);
    if (probe == kErrEnclosureBusy) {
        return ProbeResult::Busy;
    }
    if (probe != kStatusOk) {
        return ProbeResult::NotEnclosure;
    }
    MonitorSlot& slot = devices_.slots[index];
    slot.features = 0;
    clock_.SleepMs(kCommandPauseMs);
    if (channel_.SendCommand(CmdGetControllerInfo, block) != kStatusOk) {
        return ProbeResult::NotEnclosure;
    }
    if ((block[kBuzzerCaps] >> 4) == 5) {
        slot.features |= kFeatureBuzzer;
    }
    if ((block[kBackupCaps] & 0xE0) == 0xA0) {
        slot.features |= kFeatureBackup;
    }
    std::copy_n(block.begin() + kFirmwareSource, 8, block.begin() + kFirmware);
    if (!Recognised(block)) {
        return ProbeResult::NotEnclosure;
    }

    FoundDevice& device = devices_.devices[index];
    device = FoundDevice{};
    device.chipVariant = channel_.ChipVariant();
    if (slot.features & kFeatureBackup) {
        device.scheduleUnit = block[kBackupCaps] & 0x1F;
        std::copy_n(block.begin() + kSchedulePresets, 3, device.schedulePresets.begin());
    }
    ReadFlashHeader(index);

    if (block[kControllerName] != 0) {
        device.namePresent = true;
        std::copy_n(block.begin() + kControllerName, kNameLength, block.begin() + kName);
    } else {
        NameFromInquiry(disk, block);
    }
    slot.drivesSwapped = DrivesSwappedByFirmware(block);
    slot.envRefresh = block[kEnvA] == 0 && block[kEnvB] == 0;

    QueryHybrid(slot);

    clock_.SleepMs(kCommandPauseMs);
    ReplySector driveInfo{};
    RaidStatus& record = devices_.records[disk];
    if (channel_.SendCommand(CmdGetDriveInfo, driveInfo) == kStatusOk) {
        DecodeDriveInfo(driveInfo, slot, record, DriveInfoDecode::Discovery);
    }
    const std::uint16_t fan = record.fanRpm;
    const std::uint8_t temperature = record.temperature;
    DecodeControllerInfo(block, slot, record, false);
    if (!slot.envRefresh) {
        record.fanRpm = fan;
        record.temperature = temperature;
    }
    record.driveNumber = disk;
    record.validMark = kValidMark;
    record.envStatus = slot.envRefresh ? 0xA0 : 0xFF;
    ComputeArrayCapacity(index, record, driveInfo);
    return ProbeResult::Enclosure;
}

void Discovery::ReadFlashHeader(std::size_t index) {
    std::array<std::uint8_t, 2 * kPayloadLength> header{};
    if (readFlashHeader_ && readFlashHeader_(header)) {
        devices_.devices[index].flashType = header[kFlashTypeOffset];
    }
}

void Discovery::NameFromInquiry(std::uint8_t disk, ControllerBlock& block) {
    const DeviceHandle h = transport_.OpenDevice(disk);
    if (h == kInvalidHandle) {
        return;
    }
    std::array<std::uint8_t, kInquiryLength> inquiry{};
    const bool ok = transport_.InquiryDevice(h, inquiry);
    transport_.CloseHandle(h);
    if (!ok) {
        return;
    }
    InquiryNameInto(inquiry, std::span(block).subspan<kName, kNameLength>());
}

void Discovery::QueryHybrid(MonitorSlot& slot) {
    channel_.SetQueuedArgs(CmdHybridConfig, 0x33, 0xEF, 0xDF);
    clock_.SleepMs(kCommandPauseMs);
    ReplySector reply{};
    if (channel_.SendCommand(CmdHybridConfig, reply) == kStatusOk &&
        reply[kHybridEchoCode] == 0x78 && reply[kHybridEchoSub] == 0x33) {
        slot.features |= kFeatureHybrid | reply[kHybridFeatures];
    }
}

void Discovery::ComputeArrayCapacity(std::size_t index, RaidStatus& record,
                                     const ReplySector& driveInfo) {
    const ControllerBlock& block = devices_.blocks[record.driveNumber];
    if (driveInfo[kRawMode] == 2) {
        clock_.SleepMs(kCommandPauseMs);
        ReplySector reply{};
        if (channel_.SendCommand(CmdGetExtendedStatus, reply) == kStatusOk) {
            record.raidTaskStatus = reply[kTaskStatusOffset];
            record.arrayCapacity = ReadBigEndian(std::span(reply).subspan(kArrayLength, 6));
            if (record.taskMask == 0) {
                record.progressPercent = 0;
            } else if (auto percent = ProgressPercent(
                           ReadBigEndian(std::span(reply).subspan(kTaskPosition, 5)),
                           record.arrayCapacity)) {
                record.progressPercent = *percent;  // an empty array leaves it as it was
            }
        }
        return;
    }
    if (devices_.devices[index].namePresent) {
        record.arrayCapacity = ReadLittleEndian(std::span(block).subspan(kControllerCapacity, 6));
    } else {
        record.arrayCapacity = 2 * std::min(record.hdd1Capacity, record.hdd2Capacity);
    }
}

}  // namespace raid
