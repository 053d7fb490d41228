#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "device/command_channel.h"
#include "device/device_state.h"
#include "device/transport.h"
#include "maintenance/upgrade_checks.h"

namespace raid {

// The enclosure an upgrade is aimed at, as its checks saw it: where it is,
// what the image was checked against, and what tells it from any other
// enclosure (name, firmware bytes, the serials of its drives).
struct UpgradeTarget {
    std::size_t device = 0;  // device-table index
    std::uint8_t disk = 0;
    UpgradeDeviceFacts facts;
    std::array<std::uint8_t, kBlockNameLength> name{};  // pair-swapped
    std::array<std::uint8_t, 20> hdd1Serial{};
    std::array<std::uint8_t, 20> hdd2Serial{};
};

// The target as discovery and the last poll know it. `device` must be below
// the table's count.
UpgradeTarget KnownTarget(const DeviceState& devices, std::size_t device);

// Asks the enclosure at the target's disk who it is, now: its controller
// information (and INQUIRY when the controller gives no name) and its drive
// information. Nothing when it does not answer.
std::optional<UpgradeTarget> AskTarget(CommandChannel& channel, Transport& transport,
                                       const DeviceState& devices, const UpgradeTarget& known);

// What differs between two views of a target ("name", "firmware", "drive
// serials"), or empty text when they are the same enclosure.
std::string IdentityDifference(const UpgradeTarget& checked, const UpgradeTarget& now);

// "RAID Dock" "14040310 62180000": the name and firmware as printed.
std::string TargetNameText(const UpgradeTarget& target);
std::string TargetFirmwareText(const UpgradeTarget& target);

}  // namespace raid
