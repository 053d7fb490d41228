#include "maintenance/upgrade_target.h"

#include <algorithm>

#include "device/command_codes.h"
#include "device/inquiry_name.h"
#include "device/status_decode.h"
#include "monitor/status_text.h"

namespace raid {

UpgradeTarget KnownTarget(const DeviceState& devices, std::size_t device) {
    UpgradeTarget target;
    target.device = device;
    target.disk = devices.table.Disk(device);
    const ControllerBlock& block = devices.blocks[target.disk % kMaxDisks];
    target.facts.chipVariant = devices.devices[device % kMaxDevices].chipVariant;
    target.facts.flashType = devices.devices[device % kMaxDevices].flashType;
    std::copy_n(block.begin() + kBlockFirmwareOffset, kBlockFirmwareLength,
                target.facts.firmware.begin());
    std::copy_n(block.begin() + kBlockNameOffset, kBlockNameLength, target.name.begin());
    const RaidStatus& record = devices.records[target.disk % kMaxDisks];
    target.hdd1Serial = record.hdd1Serial;
    target.hdd2Serial = record.hdd2Serial;
    return target;
}

std::optional<UpgradeTarget> AskTarget(CommandChannel& channel, Transport& transport,
                                       const DeviceState& devices, const UpgradeTarget& known) {
    UpgradeTarget now = known;
    ReplySector info{};
    if (channel.SendCommandTo(known.disk, CmdGetControllerInfo, info) != kStatusOk) {
        return std::nullopt;
    }
    std::copy_n(info.begin() + kReplyFirmwareOffset, kBlockFirmwareLength,
                now.facts.firmware.begin());
    if (info[kReplyNameOffset] != 0) {
        std::copy_n(info.begin() + kReplyNameOffset, kBlockNameLength, now.name.begin());
    } else {
        const DeviceHandle handle = transport.OpenDevice(known.disk);
        if (handle == kInvalidHandle) {
            return std::nullopt;
        }
        std::array<std::uint8_t, kInquiryLength> inquiry{};
        const bool asked = transport.InquiryDevice(handle, inquiry);
        transport.CloseHandle(handle);
        if (!asked) {
            return std::nullopt;
        }
        InquiryNameInto(inquiry, now.name);
    }
    ReplySector drives{};
    if (channel.SendCommandTo(known.disk, CmdGetDriveInfo, drives) != kStatusOk) {
        return std::nullopt;
    }
    // Decoded the way a poll decodes it onto the record the checks saw, so
    // that a drive the poll already knew as gone reads the same both times.
    RaidStatus record = devices.records[known.disk % kMaxDisks];
    MonitorSlot slot = devices.slots[known.device % kMaxDevices];
    DecodeDriveInfo(drives, slot, record, DriveInfoDecode::Poll);
    now.hdd1Serial = record.hdd1Serial;
    now.hdd2Serial = record.hdd2Serial;
    return now;
}

std::string IdentityDifference(const UpgradeTarget& checked, const UpgradeTarget& now) {
    std::string what;
    auto add = [&what](bool differs, const char* name) {
        if (differs) {
            what += (what.empty() ? "" : ", ") + std::string(name);
        }
    };
    add(checked.name != now.name, "name");
    add(checked.facts.firmware != now.facts.firmware, "firmware");
    add(checked.hdd1Serial != now.hdd1Serial || checked.hdd2Serial != now.hdd2Serial,
        "drive serials");
    return what;
}

std::string TargetNameText(const UpgradeTarget& target) {
    return ModelText(target.name);
}

std::string TargetFirmwareText(const UpgradeTarget& target) {
    return FirmwareText(target.facts.firmware);
}

}  // namespace raid
