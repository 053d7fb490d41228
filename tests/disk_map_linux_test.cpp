#ifdef __linux__

#include "device/disk_map_linux.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/fake_sysfs.h"

namespace raid {
namespace {

std::vector<std::string> Names(const std::vector<MappedDisk>& disks) {
    std::vector<std::string> names;
    for (const MappedDisk& d : disks) {
        names.push_back(d.name);
    }
    return names;
}

TEST(DiskMap, UsbDisksFirstThenByNumericHctl) {
    testing::FakeSysfs sys;
    sys.AddDisk("sda", "0:0:0:0", false);
    sys.AddDisk("sdb", "10:0:0:0", false);  // after host 2 although "10" < "2" as text
    sys.AddDisk("sdc", "2:0:0:0", false);
    sys.AddDisk("sdd", "0:0:1:0", false);
    sys.AddDisk("sde", "7:0:0:0", true);
    sys.AddDisk("sdf", "6:0:0:1", true);
    sys.AddDisk("sdg", "6:0:0:0", true);

    const auto disks = ReadDiskMap(sys.Roots());

    EXPECT_EQ(Names(disks),
              (std::vector<std::string>{"sdg", "sdf", "sde", "sda", "sdd", "sdc", "sdb"}));
    for (std::size_t i = 0; i < disks.size(); ++i) {
        EXPECT_EQ(disks[i].number, i);
        EXPECT_EQ(disks[i].devicePath, sys.Dev(disks[i].name));
        EXPECT_EQ(disks[i].usb, i < 3) << disks[i].name;
    }
    EXPECT_EQ(disks[1].hctl, (std::array<unsigned, 4>{6, 0, 0, 1}));
}

TEST(DiskMap, UsbEnclosureKeepsNumberZeroBesideMoreThanTenInternalDisks) {
    testing::FakeSysfs sys;
    const std::vector<std::string> internal = {"sda", "sdb", "sdc", "sdd", "sde", "sdf",
                                               "sdg", "sdh", "sdi", "sdj", "sdk", "sdl"};
    for (std::size_t i = 0; i < internal.size(); ++i) {
        sys.AddDisk(internal[i], std::to_string(i) + ":0:0:0", false);
    }
    sys.AddDisk("sdaa", "12:0:0:0", true);

    const auto disks = ReadDiskMap(sys.Roots());

    ASSERT_EQ(disks.size(), kMaxMappedDisks);
    EXPECT_EQ(disks[0].name, "sdaa");
    EXPECT_EQ(disks[0].devicePath, sys.Dev("sdaa"));
    EXPECT_EQ(disks[9].name, "sdi");
    EXPECT_EQ(DiskDevicePath(sys.Roots(), 0), sys.Dev("sdaa"));
    EXPECT_EQ(DiskDevicePath(sys.Roots(), 9), sys.Dev("sdi"));
    EXPECT_EQ(DiskDevicePath(sys.Roots(), 10), std::nullopt);
}

TEST(DiskMap, SkipsEntriesThatAreNotScsiDisksOrAreBroken) {
    testing::FakeSysfs sys;
    sys.AddDisk("sdb", "3:0:0:0", true);
    sys.AddDisk("nvme0n1", "0:0:0:0", false);  // not an sd name
    sys.AddDisk("sd1", "0:0:0:1", false);
    sys.AddDisk("sdA", "0:0:0:2", false);
    sys.AddDisk("sdc1", "0:0:0:3", false);
    sys.AddDiskAt("sdd", "pci0000:00/ata1/host0/target0:0:0/0:0:0");  // three numbers
    sys.AddDiskAt("sde", "pci0000:00/ata1/host0/x/a:b:c:d");
    sys.AddDiskAt("sdf", "pci0000:00/ata1/host0/y/1:2:3:4:5");
    sys.AddDiskAt("sdg", "pci0000:00/ata1/host0/z/1:2:3:4x");
    sys.AddDiskAt("sdh", "pci0000:00/ata1/host0/w/99999999999:0:0:0");  // overflows unsigned
    sys.AddDiskWithoutDevice("sdi");
    sys.AddDiskWithDanglingDevice("sdj");
    sys.AddPlainFile("sdk");
    sys.AddDisk("sda", "0:0:0:0", false);

    EXPECT_EQ(Names(ReadDiskMap(sys.Roots())), (std::vector<std::string>{"sdb", "sda"}));
}

TEST(DiskMap, MissingSysfsGivesAnEmptyMap) {
    const DiskMapRoots roots{"/nonexistent/raid-sys", "/nonexistent/raid-dev"};
    EXPECT_TRUE(ReadDiskMap(roots).empty());
    EXPECT_EQ(DiskDevicePath(roots, 0), std::nullopt);
}

}  // namespace
}  // namespace raid

#endif  // __linux__
