#pragma once

#ifdef __linux__

#include <gtest/gtest.h>
#include <stdlib.h>

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

  private:
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
