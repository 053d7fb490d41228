#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace raid {

// Where sysfs and the device nodes live; tests point both at a fake tree.
struct DiskMapRoots {
    std::filesystem::path sys = "/sys";
    std::filesystem::path dev = "/dev";
};

inline constexpr std::size_t kMaxMappedDisks = 10;

struct MappedDisk {
    std::uint8_t number = 0;  // the physical disk number, 0..9
    std::string name;         // "sdb"
    std::filesystem::path devicePath;
    std::array<unsigned, 4> hctl{};  // SCSI host, channel, target, lun
    bool usb = false;
};

// Which Linux disk each physical disk number is. Candidates are the SCSI disks
// /sys/block/sd<letters> whose `device` link resolves to a SCSI device named
// H:C:T:L. USB-attached disks (a usbN root hub on the resolved path) come
// first, then the others; within each group the order is (H, C, T, L) by
// number. The first ten get the numbers 0..9, so an enclosure keeps a number
// even on a machine with many internal disks. Entries that do not look like
// that are skipped.
std::vector<MappedDisk> ReadDiskMap(const DiskMapRoots& roots);

// The device node of disk `number`, if the map has one.
std::optional<std::filesystem::path> DiskDevicePath(const DiskMapRoots& roots, std::uint8_t number);

}  // namespace raid
