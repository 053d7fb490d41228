#include "sysinfo/sysfs_disks_linux.h"

#include "sysinfo/fact_text.h"

#include <algorithm>
#include <cstddef>
#include <string_view>
#include <system_error>

namespace raid {
namespace {

// "sd" followed by letters only: whole disks, not partitions such as "sda1".
bool IsScsiDiskName(std::string_view name) {
    if (name.size() < 3 || name.substr(0, 2) != "sd") {
        return false;
    }
    return std::all_of(name.begin() + 2, name.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

// Unit serial number page: peripheral byte, page code 0x80, a 16-bit
// big-endian length, then the serial. The length is the device's word, so it
// is held to the bytes actually read.
std::string SerialFromUnitSerialPage(const std::string& page) {
    constexpr std::size_t kHeader = 4;
    if (page.size() < kHeader || static_cast<unsigned char>(page[1]) != 0x80) {
        return {};
    }
    const std::size_t declared =
        (static_cast<std::size_t>(static_cast<unsigned char>(page[2])) << 8) |
        static_cast<unsigned char>(page[3]);
    const std::size_t length = std::min(declared, page.size() - kHeader);
    return CleanFactText(std::string_view(page).substr(kHeader, length));
}

std::string ReadSerial(const std::filesystem::path& deviceDir) {
    if (std::string serial = ReadFactFile(deviceDir / "serial"); !serial.empty()) {
        return serial;
    }
    if (const auto page = ReadSmallFile(deviceDir / "vpd_pg80")) {
        if (std::string serial = SerialFromUnitSerialPage(*page); !serial.empty()) {
            return serial;
        }
    }
    return ReadFactFile(deviceDir / "wwid");
}

}  // namespace

DiskFacts SysfsDiskFacts(const std::filesystem::path& sysDir, const std::string& blockName,
                         std::uint32_t index) {
    const std::filesystem::path deviceDir = sysDir / "block" / blockName / "device";
    DiskFacts disk;
    disk.model = ReadFactFile(deviceDir / "model");
    disk.deviceId = "/dev/" + blockName;
    disk.serialNumber = ReadSerial(deviceDir);
    disk.index = index;
    return disk;
}

std::optional<std::vector<DiskFacts>> ListSysfsDisks(const std::filesystem::path& root) {
    std::error_code ec;
    std::filesystem::directory_iterator it(root / "sys/block", ec);
    if (ec) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (IsScsiDiskName(name)) {
            names.push_back(std::move(name));
        }
    }
    if (ec) {
        return std::nullopt;
    }
    // The kernel hands out sdz before sdaa, so shorter names come first.
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    std::vector<DiskFacts> disks;
    for (std::size_t i = 0; i < names.size(); ++i) {
        disks.push_back(SysfsDiskFacts(root / "sys", names[i], static_cast<std::uint32_t>(i)));
    }
    return disks;
}

}  // namespace raid
