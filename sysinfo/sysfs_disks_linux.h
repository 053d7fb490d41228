#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace raid {

// What the report and discovery know of one disk.
struct DiskFacts {
    std::string model;
    std::string deviceId;  // "/dev/sda"
    std::string serialNumber;
    std::uint32_t index = 0;  // the program's physical disk number
};

// Model, device path and serial number of block device `blockName` ("sdb")
// under `sysDir`/block (`sysDir` is where sysfs is mounted, "/sys"), with the
// given index. The serial comes from
// device/serial, else the unit serial number page (device/vpd_pg80), else
// device/wwid; empty when none of them has one.
DiskFacts SysfsDiskFacts(const std::filesystem::path& sysDir, const std::string& blockName,
                         std::uint32_t index);

// The SCSI disks `root`/sys/block/sd*, in kernel name order (sda..sdz, sdaa..),
// indexed 0, 1, ... in that order. nullopt when /sys/block cannot be listed.
std::optional<std::vector<DiskFacts>> ListSysfsDisks(const std::filesystem::path& root);

}  // namespace raid
