#include "device/disk_map_linux.h"

#include <algorithm>
#include <charconv>
#include <system_error>
#include <tuple>

namespace raid {

namespace {

// "sd" followed by lower-case letters only: sda, sdz, sdaa. Partitions and
// anything else under /sys/block are not candidates.
bool IsScsiDiskName(const std::string& name) {
    if (name.size() < 3 || name.compare(0, 2, "sd") != 0) {
        return false;
    }
    return std::all_of(name.begin() + 2, name.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

// Parses "H:C:T:L" with four decimal numbers and nothing else.
std::optional<std::array<unsigned, 4>> ParseHctl(const std::string& text) {
    std::array<unsigned, 4> hctl{};
    const char* p = text.data();
    const char* end = text.data() + text.size();
    for (std::size_t i = 0; i < hctl.size(); ++i) {
        if (i > 0) {
            if (p == end || *p != ':') {
                return std::nullopt;
            }
            ++p;
        }
        const auto [next, ec] = std::from_chars(p, end, hctl[i]);
        if (ec != std::errc{} || next == p) {
            return std::nullopt;
        }
        p = next;
    }
    if (p != end) {
        return std::nullopt;
    }
    return hctl;
}

// Every USB device hangs below a root hub directory named usb<bus>.
bool IsBelowUsbHub(const std::filesystem::path& resolved) {
    for (const auto& part : resolved) {
        const std::string s = part.string();
        if (s.size() > 3 && s.compare(0, 3, "usb") == 0 &&
            std::all_of(s.begin() + 3, s.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            return true;
        }
    }
    return false;
}

std::optional<MappedDisk> ReadCandidate(const DiskMapRoots& roots,
                                        const std::filesystem::directory_entry& entry) {
    MappedDisk disk;
    disk.name = entry.path().filename().string();
    if (!IsScsiDiskName(disk.name)) {
        return std::nullopt;
    }
    std::error_code ec;
    const std::filesystem::path resolved = std::filesystem::canonical(entry.path() / "device", ec);
    if (ec) {
        return std::nullopt;
    }
    const auto hctl = ParseHctl(resolved.filename().string());
    if (!hctl) {
        return std::nullopt;
    }
    disk.hctl = *hctl;
    disk.usb = IsBelowUsbHub(resolved);
    disk.devicePath = roots.dev / disk.name;
    return disk;
}

}  // namespace

std::vector<MappedDisk> ReadDiskMap(const DiskMapRoots& roots) {
    std::vector<MappedDisk> disks;
    std::error_code ec;
    std::filesystem::directory_iterator it(roots.sys / "block", ec);
    const std::filesystem::directory_iterator end;
    while (!ec && it != end) {
        if (auto disk = ReadCandidate(roots, *it)) {
            disks.push_back(std::move(*disk));
        }
        it.increment(ec);
    }
    // Names break ties only on a broken tree; they keep the order stable.
    const auto key = [](const MappedDisk& d) {
        return std::tuple<bool, const std::array<unsigned, 4>&, const std::string&>(!d.usb, d.hctl,
                                                                                    d.name);
    };
    std::sort(disks.begin(), disks.end(),
              [&key](const MappedDisk& a, const MappedDisk& b) { return key(a) < key(b); });
    if (disks.size() > kMaxMappedDisks) {
        disks.resize(kMaxMappedDisks);
    }
    for (std::size_t i = 0; i < disks.size(); ++i) {
        disks[i].number = static_cast<std::uint8_t>(i);
    }
    return disks;
}

std::optional<std::filesystem::path> DiskDevicePath(const DiskMapRoots& roots,
                                                    std::uint8_t number) {
    const auto disks = ReadDiskMap(roots);
    if (number >= disks.size()) {
        return std::nullopt;
    }
    return disks[number].devicePath;
}

}  // namespace raid
