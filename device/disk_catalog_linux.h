#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/disk_catalog.h"
#include "device/disk_map_linux.h"

namespace raid {

inline constexpr std::uint8_t kDriveTypeRemovable = 2;
inline constexpr std::uint8_t kDriveTypeOptical = 5;

// Where the mount table, sysfs and the device nodes live; tests point all
// three at a fake tree.
struct DiskCatalogRoots {
    std::filesystem::path proc = "/proc";
    DiskMapRoots disks;
};

// The fields of one mountinfo line that the catalog needs, with the kernel's
// octal escapes (\040 for a space, ...) already decoded.
struct MountInfoEntry {
    unsigned major = 0;
    unsigned minor = 0;
    std::string mountPoint;
    std::string source;
};

// One line of /proc/<pid>/mountinfo, without its line end. Lines that do not
// have the layout "id parent major:minor root mountpoint options [optional...]
// - fstype source [superoptions]" give nothing.
std::optional<MountInfoEntry> ParseMountInfoLine(std::string_view line);

// The machine's volumes: every filesystem mounted from a block device, once
// per device, ordered by mount point (byte-wise, so "/" is first and takes
// the letter C). Ordering by mount point rather than by device number keeps
// a volume's letter from moving when a disk is re-enumerated under another
// number. Mounts that are not on a block device (proc, tmpfs, network
// filesystems, ...) are not volumes here.
//
// A volume on a partition or whole disk that the disk map numbers carries an
// extent; volumes on other block devices (device mapper, md, loop, NVMe,
// optical drives) have none, like a Windows volume that cannot be opened.
class LinuxDiskCatalog final : public DiskCatalog {
  public:
    explicit LinuxDiskCatalog(DiskCatalogRoots roots = {});
    std::vector<CatalogVolume> Volumes() override;

  private:
    DiskCatalogRoots roots_;
};

}  // namespace raid
