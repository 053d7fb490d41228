#include "device/disk_catalog_linux.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <limits>
#include <set>
#include <system_error>
#include <utility>

namespace raid {

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kSectorBytes = 512;  // sysfs counts `start` and `size` in these

template <typename Number>
bool ParseNumber(std::string_view text, Number& value) {
    if (text.empty()) {
        return false;
    }
    const auto [next, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc{} && next == text.data() + text.size();
}

bool IsOctalDigit(char c) {
    return c >= '0' && c <= '7';
}

// The kernel writes space, tab, newline and backslash in paths as \ooo. A
// backslash not followed by a byte-sized octal number is taken literally.
std::string Unescape(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && field.size() - i > 3 && field[i + 1] >= '0' &&
            field[i + 1] <= '3' && IsOctalDigit(field[i + 2]) && IsOctalDigit(field[i + 3])) {
            const int value =
                (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            out.push_back(static_cast<char>(value));
            i += 3;
        } else {
            out.push_back(field[i]);
        }
    }
    return out;
}

// Fields are separated by single spaces; an empty field means the line is not
// one the kernel wrote.
std::optional<std::vector<std::string_view>> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t begin = 0;
    while (begin <= line.size()) {
        std::size_t end = line.find(' ', begin);
        if (end == std::string_view::npos) {
            end = line.size();
        }
        if (end == begin) {
            return std::nullopt;
        }
        fields.push_back(line.substr(begin, end - begin));
        begin = end + 1;
    }
    return fields;
}

std::optional<std::uint64_t> ReadSysfsNumber(const fs::path& file) {
    std::ifstream in(file);
    if (!in) {
        return std::nullopt;
    }
    std::string text;
    if (!std::getline(in, text)) {
        return std::nullopt;
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.pop_back();
    }
    std::uint64_t value = 0;
    if (!ParseNumber(text, value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::uint64_t> SectorsToBytes(std::optional<std::uint64_t> sectors) {
    if (!sectors || *sectors > std::numeric_limits<std::uint64_t>::max() / kSectorBytes) {
        return std::nullopt;
    }
    return *sectors * kSectorBytes;
}

bool IsOpticalName(const std::string& name) {
    return name.size() > 2 && name.compare(0, 2, "sr") == 0 &&
           std::all_of(name.begin() + 2, name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<fs::path> Canonical(const fs::path& path) {
    std::error_code ec;
    fs::path resolved = fs::canonical(path, ec);
    if (ec) {
        return std::nullopt;
    }
    return resolved;
}

// The sysfs folder of the mounted block device. The device number finds it
// for most filesystems; btrfs reports an anonymous number instead, so its
// source device node (possibly a /dev/mapper or /dev/disk/by-* link) is the
// way in.
std::optional<fs::path> BlockDeviceFolder(const DiskCatalogRoots& roots,
                                          const MountInfoEntry& mount) {
    const std::string number = std::to_string(mount.major) + ":" + std::to_string(mount.minor);
    if (auto folder = Canonical(roots.disks.sys / "dev" / "block" / number)) {
        return folder;
    }
    constexpr std::string_view kDevPrefix = "/dev/";
    if (mount.source.size() <= kDevPrefix.size() ||
        mount.source.compare(0, kDevPrefix.size(), kDevPrefix) != 0) {
        return std::nullopt;
    }
    const fs::path node = fs::path(mount.source.substr(kDevPrefix.size())).relative_path();
    const auto resolved = Canonical(roots.disks.dev / node);
    const fs::path name = resolved ? resolved->filename() : node.filename();
    if (name.empty() || name == "." || name == "..") {
        return std::nullopt;
    }
    return Canonical(roots.disks.sys / "class" / "block" / name);
}

std::optional<std::uint8_t> DiskNumber(const std::vector<MappedDisk>& map,
                                       const std::string& diskName) {
    for (const MappedDisk& disk : map) {
        if (disk.name == diskName) {
            return disk.number;
        }
    }
    return std::nullopt;
}

CatalogVolume DescribeVolume(const fs::path& folder, std::string mountPoint,
                             const std::vector<MappedDisk>& map) {
    std::error_code ec;
    const bool partition = fs::exists(folder / "partition", ec) && !ec;
    const fs::path disk = partition ? folder.parent_path() : folder;
    const std::string diskName = disk.filename().string();

    CatalogVolume volume;
    volume.mountPoint = std::move(mountPoint);
    if (IsOpticalName(diskName)) {
        volume.driveType = kDriveTypeOptical;
    } else if (ReadSysfsNumber(disk / "removable") == 1U) {
        volume.driveType = kDriveTypeRemovable;
    } else {
        volume.driveType = kDriveTypeFixed;
    }

    const auto number = DiskNumber(map, diskName);
    const auto length = SectorsToBytes(ReadSysfsNumber(folder / "size"));
    const auto start = partition ? SectorsToBytes(ReadSysfsNumber(folder / "start"))
                                 : std::optional<std::uint64_t>(0);
    if (number && length && start) {
        volume.extent = VolumeExtent{*number, *start, *length};
    }
    return volume;
}

std::vector<MountInfoEntry> ReadMountTable(const fs::path& file) {
    std::vector<MountInfoEntry> mounts;
    std::ifstream in(file);
    if (!in) {
        return mounts;
    }
    std::string line;
    while (std::getline(in, line)) {
        if (auto entry = ParseMountInfoLine(line)) {
            mounts.push_back(std::move(*entry));
        }
    }
    return mounts;
}

// A later mount on the same mount point covers the earlier one, which is then
// out of reach and is no volume any more.
std::vector<MountInfoEntry> VisibleMounts(std::vector<MountInfoEntry> mounts) {
    std::vector<MountInfoEntry> visible;
    std::set<std::string> seen;
    for (auto it = mounts.rbegin(); it != mounts.rend(); ++it) {
        if (seen.insert(it->mountPoint).second) {
            visible.push_back(std::move(*it));
        }
    }
    std::reverse(visible.begin(), visible.end());
    return visible;
}

}  // namespace

std::optional<MountInfoEntry> ParseMountInfoLine(std::string_view line) {
    const auto fields = SplitFields(line);
    // id, parent, major:minor, root, mount point, options, [optional...], "-",
    // type, source
    constexpr std::size_t kSeparatorIndexMin = 6;
    if (!fields || fields->size() < kSeparatorIndexMin + 3) {
        return std::nullopt;
    }
    const auto& f = *fields;
    unsigned id = 0;
    unsigned parent = 0;
    if (!ParseNumber(f[0], id) || !ParseNumber(f[1], parent)) {
        return std::nullopt;
    }
    MountInfoEntry entry;
    const std::size_t colon = f[2].find(':');
    if (colon == std::string_view::npos || !ParseNumber(f[2].substr(0, colon), entry.major) ||
        !ParseNumber(f[2].substr(colon + 1), entry.minor)) {
        return std::nullopt;
    }
    const auto separator = std::find(f.begin() + kSeparatorIndexMin, f.end(), "-");
    if (separator == f.end() || f.end() - separator < 3) {
        return std::nullopt;
    }
    entry.mountPoint = Unescape(f[4]);
    // The kernel never escapes a NUL; a path holding one would name another folder.
    if (entry.mountPoint.empty() || entry.mountPoint.front() != '/' ||
        entry.mountPoint.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    entry.source = Unescape(separator[2]);
    return entry;
}

LinuxDiskCatalog::LinuxDiskCatalog(DiskCatalogRoots roots) : roots_(std::move(roots)) {}

std::vector<CatalogVolume> LinuxDiskCatalog::Volumes() {
    const std::vector<MappedDisk> map = ReadDiskMap(roots_.disks);
    std::vector<CatalogVolume> volumes;
    std::set<fs::path> devices;
    for (MountInfoEntry& mount :
         VisibleMounts(ReadMountTable(roots_.proc / "self" / "mountinfo"))) {
        const auto folder = BlockDeviceFolder(roots_, mount);
        // A device mounted twice (bind mounts, btrfs subvolumes) is one
        // volume; the mount listed first is the one it is known by.
        if (!folder || !devices.insert(*folder).second) {
            continue;
        }
        // Loop devices are images of files (snaps, mounted ISOs), not volumes
        // of a disk: listing them would fill the volume table on a desktop.
        if (folder->filename().string().rfind("loop", 0) == 0) {
            continue;
        }
        volumes.push_back(DescribeVolume(*folder, std::move(mount.mountPoint), map));
    }
    std::stable_sort(
        volumes.begin(), volumes.end(),
        [](const CatalogVolume& a, const CatalogVolume& b) { return a.mountPoint < b.mountPoint; });
    return volumes;
}

}  // namespace raid
