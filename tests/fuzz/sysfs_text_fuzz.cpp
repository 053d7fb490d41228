// A disk's attributes in sysfs as a broken or hostile device fills them: its
// model, serial number, unit serial number page and world-wide name, and the
// name of the SCSI device its link resolves to. The report's model and serial
// come out as one clean line each; the disk map takes only a real H:C:T:L name.
#include <array>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <string>

#include "device/disk_map_linux.h"
#include "device/safe_text.h"
#include "sysinfo/fact_text.h"
#include "sysinfo/sysfs_disks_linux.h"
#include "tests/fuzz/input_reader.h"
#include "tests/fuzz/scratch_folder.h"

namespace {

using raid::fuzz::InputReader;

// Up to a little more than the largest attribute we read.
std::string Field(InputReader& in) {
    const std::size_t length = ((std::size_t{in.Byte()} << 8) | in.Byte()) % 5000;
    return std::string(raid::fuzz::AsText(in.Bytes(length)));
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    FUZZ_CHECK(out.good());
}

// A folder name: no separator, no NUL, not "." or "..".
std::string FolderName(std::string text) {
    for (char& c : text) {
        if (c == '/' || c == '\0') {
            c = '_';
        }
    }
    if (text.empty() || text == "." || text == ".." || text.size() > 200) {
        return "6:0:0:0";
    }
    return text;
}

void CheckFact(const std::string& text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        FUZZ_CHECK(byte >= 0x20 && byte != 0x7F);
    }
    FUZZ_CHECK(text.empty() || (text.front() != ' ' && text.back() != ' '));
    FUZZ_CHECK(raid::SafeText(text) == text);
    FUZZ_CHECK(raid::CleanFactText(text) == text);
}

// Four decimal numbers that each fit an unsigned, between three colons.
std::optional<std::array<unsigned, 4>> HctlNumbers(const std::string& name) {
    std::array<unsigned, 4> numbers{};
    std::size_t part = 0;
    std::uint64_t value = 0;
    bool digits = false;
    for (const char c : name + ':') {
        if (c == ':') {
            if (!digits || part == numbers.size()) {
                return std::nullopt;
            }
            numbers[part++] = static_cast<unsigned>(value);
            value = 0;
            digits = false;
        } else if (c >= '0' && c <= '9') {
            value = value * 10 + static_cast<unsigned>(c - '0');
            if (value > std::numeric_limits<unsigned>::max()) {
                return std::nullopt;
            }
            digits = true;
        } else {
            return std::nullopt;
        }
    }
    if (part != numbers.size()) {
        return std::nullopt;
    }
    return numbers;
}

}  // namespace

FUZZ_TARGET(sysfs_text) {
    namespace fs = std::filesystem;
    InputReader in(input);
    raid::fuzz::EmptyScratchFolder();
    const fs::path root = raid::fuzz::ScratchFolder();

    const std::uint8_t flags = in.Byte();
    const std::string hctl = FolderName(in.Text('\n'));
    const bool usb = (flags & 1) != 0;
    const fs::path parent = root / "sys/devices/pci0000:00" /
                            (usb ? "usb2/2-1/2-1:1.0/host6/target6:0:0" : "ata1/host0/target0:0:0");
    const fs::path device = parent / hctl;
    fs::create_directories(device);
    const char* const names[] = {"model", "serial", "vpd_pg80", "wwid"};
    std::string contents[4];
    for (int i = 0; i < 4; ++i) {
        contents[i] = Field(in);
        if (flags & (2 << i)) {
            WriteFile(device / names[i], contents[i]);
        }
    }
    fs::create_directories(root / "sys/block/sdb");
    fs::create_directory_symlink(device, root / "sys/block/sdb/device");

    const auto disks = raid::ListSysfsDisks(root);
    FUZZ_CHECK(disks && disks->size() == 1);
    const raid::DiskFacts& disk = disks->front();
    FUZZ_CHECK(disk.deviceId == "/dev/sdb");
    CheckFact(disk.model);
    CheckFact(disk.serialNumber);
    if (flags & 2) {
        FUZZ_CHECK(
            disk.model ==
            raid::CleanFactText(std::string_view(contents[0]).substr(0, raid::kMaxFactFileBytes)));
    } else {
        FUZZ_CHECK(disk.model.empty());
    }
    if (!(flags & 0x1E)) {
        FUZZ_CHECK(disk.serialNumber.empty());
    }

    const auto map = raid::ReadDiskMap({root / "sys", root / "dev"});
    const auto numbers = HctlNumbers(hctl);
    FUZZ_CHECK(map.size() == (numbers ? 1u : 0u));
    if (numbers) {
        FUZZ_CHECK(map[0].name == "sdb" && map[0].number == 0);
        FUZZ_CHECK(map[0].hctl == *numbers);
        FUZZ_CHECK(map[0].usb == usb);
        FUZZ_CHECK(map[0].devicePath == root / "dev/sdb");
    }
}
