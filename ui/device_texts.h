#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/device_state.h"
#include "device/disk_catalog.h"

namespace raid::ui {

// Whether the status page may offer the fan and temperature panel: the
// enclosure said so at discovery (`envRefresh`), or its firmware is dated
// after 100125 ("NNNNNN." with six digits first).
bool EnvPanelSupportedFor(const std::string& versionText, bool envRefresh);

// The volumes of a disk as the device list shows them: the fixed volumes
// that lie on it, by mount point (or letter when a volume has none).
std::string VolumeListText(const std::vector<VolumeRecord>& volumes, std::uint8_t disk);

// "<enclosure name> [<volumes>]", or the name alone when no volume is known:
// a device's hint and its part of the caption.
std::string DeviceText(const ControllerBlock& block, const std::vector<VolumeRecord>& volumes,
                       std::uint8_t disk);

// "<firmware version> (<disk serial>)", shown beside "Firmware Version:".
std::string DeviceLabelText(const std::string& versionText, const std::string& serial);

// The hint of a device's check box: "PhysicalDrive" and the disk number.
std::string DiskHint(std::uint8_t disk);

}  // namespace raid::ui
