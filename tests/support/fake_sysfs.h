#pragma once

#ifdef __linux__

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "device/disk_map_linux.h"

namespace raid::testing {

// A throw-away sysfs tree under a fresh temporary directory, laid out like the
// kernel's: /sys/block/<name> is a link into /sys/devices/.../H:C:T:L/block/<name>,
// whose `device` link points back up at the SCSI device.
class FakeSysfs {
  public:
    FakeSysfs() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "raid-sysfs-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            ADD_FAILURE() << "mkdtemp failed";
            return;
        }
        root_ = pattern;
        Make(root_ / "sys" / "block");
        Make(root_ / "dev");
    }
    ~FakeSysfs() {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    FakeSysfs(const FakeSysfs&) = delete;
    FakeSysfs& operator=(const FakeSysfs&) = delete;

    DiskMapRoots Roots() const { return {root_ / "sys", root_ / "dev"}; }
    std::filesystem::path Dev(const std::string& name) const { return root_ / "dev" / name; }

    // A disk behind a USB mass-storage bridge or on an internal SATA port.
    void AddDisk(const std::string& name, const std::string& hctl, bool usb) {
        const std::string host = "host" + hctl.substr(0, hctl.find(':'));
        const std::string parent = usb ? "pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/" + host
                                       : "pci0000:00/0000:00:17.0/ata1/" + host;
        AddDiskAt(name, parent + "/" + hctl);
    }

    // `scsiDevice` is the path below /sys/devices whose last part the disk's
    // `device` link resolves to.
    void AddDiskAt(const std::string& name, const std::string& scsiDevice) {
        const auto real = root_ / "sys" / "devices" / scsiDevice / "block" / name;
        Make(real);
        Link("../../", real / "device");
        Link(real, root_ / "sys" / "block" / name);
    }

    // A /sys/block entry with no `device` link, or one that leads nowhere.
    void AddDiskWithoutDevice(const std::string& name) { Make(root_ / "sys" / "block" / name); }
    void AddDiskWithDanglingDevice(const std::string& name) {
        Make(root_ / "sys" / "block" / name);
        Link("../../devices/gone/0:0:0:0", root_ / "sys" / "block" / name / "device");
    }
    void AddPlainFile(const std::string& name) {
        std::ofstream(root_ / "sys" / "block" / name) << "x";
    }

    std::filesystem::path Proc() const { return root_ / "proc"; }

    // The mount table as /proc/self/mountinfo shows it.
    void WriteMountInfo(const std::string& text) {
        Make(root_ / "proc" / "self");
        Write(root_ / "proc" / "self" / "mountinfo", text);
    }

    // Gives a disk added above the attributes of a block device and the
    // /sys/dev/block/<major:minor> and /sys/class/block links the kernel makes.
    void SetBlockDevice(const std::string& name, const std::string& devNumber,
                        std::uint64_t sectors, bool removable) {
        const auto real = RealFolder(name);
        Write(real / "removable", removable ? "1\n" : "0\n");
        AddBlockAttributes(real, devNumber, sectors);
    }

    // A partition of a disk added above; `start` and `sectors` count 512 bytes.
    void AddPartition(const std::string& disk, const std::string& name,
                      const std::string& devNumber, std::uint64_t start, std::uint64_t sectors) {
        const auto real = RealFolder(disk) / name;
        Make(real);
        Write(real / "partition", "1\n");  // only its presence marks a partition
        Write(real / "start", std::to_string(start) + "\n");
        AddBlockAttributes(real, devNumber, sectors);
    }

    // A block device with no SCSI device behind it: dm-0, md0, loop0, nvme0n1.
    void AddVirtualBlock(const std::string& name, const std::string& devNumber,
                         std::uint64_t sectors) {
        const auto real = root_ / "sys" / "devices" / "virtual" / "block" / name;
        Make(real);
        Link(real, root_ / "sys" / "block" / name);
        Write(real / "removable", "0\n");
        AddBlockAttributes(real, devNumber, sectors);
    }

    // A device node, or a link such as /dev/mapper/x -> ../dm-0.
    void AddDeviceNode(const std::string& name) { Write(root_ / "dev" / name, ""); }
    void AddDeviceLink(const std::string& name, const std::string& target) {
        Make((root_ / "dev" / name).parent_path());
        std::error_code ec;
        std::filesystem::create_symlink(target, root_ / "dev" / name, ec);
        if (ec) {
            ADD_FAILURE() << "symlink " << name << ": " << ec.message();
        }
    }

    // Overwrites or adds one attribute file of a block device or partition,
    // given by its path below the disk's folder ("sda/sda1/start").
    void WriteBlockAttribute(const std::string& disk, const std::string& relative,
                             const std::string& text) {
        Write(RealFolder(disk) / relative, text);
    }

  private:
    std::filesystem::path RealFolder(const std::string& disk) const {
        std::error_code ec;
        auto real = std::filesystem::canonical(root_ / "sys" / "block" / disk, ec);
        if (ec) {
            ADD_FAILURE() << "no disk " << disk << ": " << ec.message();
        }
        return real;
    }

    void AddBlockAttributes(const std::filesystem::path& real, const std::string& devNumber,
                            std::uint64_t sectors) {
        Write(real / "dev", devNumber + "\n");
        Write(real / "size", std::to_string(sectors) + "\n");
        Make(root_ / "sys" / "dev" / "block");
        Make(root_ / "sys" / "class" / "block");
        Link(real, root_ / "sys" / "dev" / "block" / devNumber);
        Link(real, root_ / "sys" / "class" / "block" / real.filename());
    }

    static void Write(const std::filesystem::path& file, const std::string& text) {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out) {
            ADD_FAILURE() << "cannot write " << file;
        }
    }

    static void Make(const std::filesystem::path& dir) {
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        if (ec) {
            ADD_FAILURE() << "create_directories " << dir << ": " << ec.message();
        }
    }
    static void Link(const std::filesystem::path& target, const std::filesystem::path& link) {
        std::error_code ec;
        std::filesystem::create_directory_symlink(target, link, ec);
        if (ec) {
            ADD_FAILURE() << "symlink " << link << ": " << ec.message();
        }
    }

    std::filesystem::path root_;
};

}  // namespace raid::testing

#endif  // __linux__
