#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace raid {

// Where a volume lies: the disk and the first extent.
struct VolumeExtent {
    std::uint8_t diskNumber = 0;
    std::uint64_t startingOffset = 0;  // bytes
    std::uint64_t length = 0;          // bytes
};

// One volume of the machine, in the order that gives it its letter (the
// first one is C). On Linux a volume is a mounted partition and its
// "letter" stands for the mount point.
struct CatalogVolume {
    std::string mountPoint;
    std::uint8_t driveType = 0;          // 2 removable, 3 fixed, ...
    std::optional<VolumeExtent> extent;  // none when the volume cannot be opened
};

inline constexpr std::uint8_t kDriveTypeFixed = 3;
inline constexpr std::uint8_t kDriveTypeUnopenable = 0xFF;

// The machine's volumes, as discovery counts and scans them.
class DiskCatalog {
  public:
    virtual ~DiskCatalog() = default;
    virtual std::vector<CatalogVolume> Volumes() = 0;
};

}  // namespace raid
