#ifdef __linux__

#include "device/disk_catalog_linux.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/fake_sysfs.h"

namespace raid {
namespace {

using namespace std::string_literals;

// One readable line per volume, so a wrong order or field shows in the diff.
std::string Describe(const CatalogVolume& v) {
    std::string text = v.mountPoint + " type " + std::to_string(v.driveType);
    if (v.extent) {
        text += " disk " + std::to_string(v.extent->diskNumber) + " at " +
                std::to_string(v.extent->startingOffset) + " length " +
                std::to_string(v.extent->length);
    } else {
        text += " no extent";
    }
    return text;
}

std::vector<std::string> Describe(const std::vector<CatalogVolume>& volumes) {
    std::vector<std::string> lines;
    for (const CatalogVolume& v : volumes) {
        lines.push_back(Describe(v));
    }
    return lines;
}

DiskCatalogRoots RootsOf(const testing::FakeSysfs& sys) {
    return {sys.Proc(), sys.Roots()};
}

struct MountLineCase {
    const char* name;
    std::string line;
    std::optional<MountInfoEntry> expected;
};

MountInfoEntry Entry(unsigned major, unsigned minor, std::string mountPoint, std::string source) {
    return {major, minor, std::move(mountPoint), std::move(source)};
}

TEST(MountInfoLine, ParsesGoodLinesAndRejectsAnythingElse) {
    const std::vector<MountLineCase> cases = {
        {"optional fields", "36 35 8:17 / /mnt/a rw,noatime shared:1 master:2 - ext4 /dev/sdb1 rw",
         Entry(8, 17, "/mnt/a", "/dev/sdb1")},
        {"no optional fields", "29 1 259:2 / / rw - xfs /dev/nvme0n1p2 rw,attr2",
         Entry(259, 2, "/", "/dev/nvme0n1p2")},
        {"no super options", "29 1 8:1 / / rw - ext4 /dev/sda1", Entry(8, 1, "/", "/dev/sda1")},
        {"escaped space, tab, newline, backslash",
         R"(40 29 8:33 / /media/My\040Disk\011x\012y\134z rw - vfat /dev/sdc1 rw)",
         Entry(8, 33, "/media/My Disk\tx\ny\\z", "/dev/sdc1")},
        {"escape of the source", R"(40 29 8:33 / /m rw - fuseblk /dev/by\040label rw)",
         Entry(8, 33, "/m", "/dev/by label")},
        {"backslashes that are no escapes",
         R"(40 29 8:33 / /a\9b\400c\08d\1 rw - ext4 /dev/sdc1 rw)",
         Entry(8, 33, R"(/a\9b\400c\08d\1)", "/dev/sdc1")},
        {"escape at the very end", R"(40 29 8:33 / /a\040 rw - ext4 /dev/sdc1 rw)",
         Entry(8, 33, "/a ", "/dev/sdc1")},
        {"dash inside a field", "40 29 8:33 / /a-b rw,x-y - ext4 /dev/sdc1 rw",
         Entry(8, 33, "/a-b", "/dev/sdc1")},

        {"empty", "", std::nullopt},
        {"blank", " ", std::nullopt},
        {"words", "this is not a mount table line at all - x y", std::nullopt},
        {"id not a number", "3x 35 8:17 / /mnt rw - ext4 /dev/sdb1 rw", std::nullopt},
        {"negative parent", "36 -1 8:17 / /mnt rw - ext4 /dev/sdb1 rw", std::nullopt},
        {"device without colon", "36 35 8.17 / /mnt rw - ext4 /dev/sdb1 rw", std::nullopt},
        {"device without minor", "36 35 8: / /mnt rw - ext4 /dev/sdb1 rw", std::nullopt},
        {"device without major", "36 35 :17 / /mnt rw - ext4 /dev/sdb1 rw", std::nullopt},
        {"device number overflows", "36 35 99999999999:1 / /mnt rw - ext4 /dev/sdb1 rw",
         std::nullopt},
        {"no separator", "36 35 8:17 / /mnt rw shared:1 ext4 /dev/sdb1 rw", std::nullopt},
        {"options missing", "36 35 8:17 / /mnt - ext4 /dev/sdb1 rw", std::nullopt},
        {"cut after separator", "36 35 8:17 / /mnt rw shared:1 -", std::nullopt},
        {"cut after type", "36 35 8:17 / /mnt rw - ext4", std::nullopt},
        {"double space", "36 35 8:17 /  /mnt rw - ext4 /dev/sdb1 rw", std::nullopt},
        {"trailing space", "36 35 8:17 / /mnt rw - ext4 /dev/sdb1 rw ", std::nullopt},
        {"relative mount point", "36 35 8:17 / mnt rw - ext4 /dev/sdb1 rw", std::nullopt},
        {"escaped NUL in the mount point", R"(36 35 8:17 / /mnt\000x rw - ext4 /dev/sdb1 rw)",
         std::nullopt},
        {"NUL inside", "36 35 8:17 / /mnt rw - ext4 /dev/sdb1\0 rw"s,
         Entry(8, 17, "/mnt", "/dev/sdb1\0"s)},
    };
    for (const MountLineCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto parsed = ParseMountInfoLine(c.line);
        ASSERT_EQ(parsed.has_value(), c.expected.has_value());
        if (parsed) {
            EXPECT_EQ(parsed->major, c.expected->major);
            EXPECT_EQ(parsed->minor, c.expected->minor);
            EXPECT_EQ(parsed->mountPoint, c.expected->mountPoint);
            EXPECT_EQ(parsed->source, c.expected->source);
        }
    }
}

// A laptop with an internal disk, a RAID enclosure and a USB stick, plus the
// usual non-disk mounts.
class DiskCatalogTest : public ::testing::Test {
  protected:
    DiskCatalogTest() {
        sys_.AddDisk("sda", "0:0:0:0", false);
        sys_.SetBlockDevice("sda", "8:0", 500'000'000, false);
        sys_.AddPartition("sda", "sda1", "8:1", 2048, 1'048'576);
        sys_.AddPartition("sda", "sda2", "8:2", 1'050'624, 400'000'000);
        sys_.AddDisk("sdb", "6:0:0:0", true);  // the enclosure: disk number 0
        sys_.SetBlockDevice("sdb", "8:16", 7'814'037'168, false);
        sys_.AddPartition("sdb", "sdb1", "8:17", 2048, 7'814'035'087);
        sys_.AddDisk("sdc", "7:0:0:0", true);  // a stick formatted without partitions
        sys_.SetBlockDevice("sdc", "8:32", 30'000'000, true);
    }

    std::vector<std::string> Scan(const std::string& mountinfo) {
        sys_.WriteMountInfo(mountinfo);
        LinuxDiskCatalog catalog(RootsOf(sys_));
        return Describe(catalog.Volumes());
    }

    testing::FakeSysfs sys_;
};

TEST_F(DiskCatalogTest, OneVolumePerBlockMountOrderedByMountPoint) {
    const std::string mountinfo =
        "21 26 0:20 / /proc rw,relatime - proc proc rw\n"
        "26 1 8:2 / /home rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
        "garbage that is no mount line\n"
        "1 0 8:1 / / rw,relatime shared:2 - ext4 /dev/root rw\n"
        "\n"
        "50 1 0:45 / /net/share rw - nfs4 server:/export rw,addr=10.0.0.1\n"
        "51 1 0:46 / /tmp rw - tmpfs tmpfs rw\n"
        "60 1 8:17 / /media/user/RAID\\040DATA rw,nosuid - exfat /dev/sdb1 rw\n"
        "61 1 8:32 / /media/user/STICK rw,nosuid - vfat /dev/sdc rw";  // no line end

    EXPECT_EQ(Scan(mountinfo), (std::vector<std::string>{
                                   "/ type 3 disk 2 at 1048576 length 536870912",
                                   "/home type 3 disk 2 at 537919488 length 204800000000",
                                   "/media/user/RAID DATA type 3 disk 0 at 1048576 length "
                                   "4000785964544",
                                   "/media/user/STICK type 2 disk 1 at 0 length 15360000000",
                               }));
}

TEST_F(DiskCatalogTest, SameDeviceMountedTwiceIsOneVolumeUnderItsFirstMount) {
    sys_.AddPartition("sda", "sda3", "8:3", 401'050'624, 90'000'000);
    // Bind mount of /home, and two btrfs subvolumes that report anonymous
    // device numbers. The first mount listed wins even where a later one
    // would sort first.
    const std::string mountinfo =
        "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
        "26 1 8:2 / /home rw - ext4 /dev/sda2 rw\n"
        "27 1 8:2 /user /bind/user rw - ext4 /dev/sda2 rw\n"
        "30 1 0:45 /@var /var rw - btrfs /dev/sda3 rw,subvol=/@var\n"
        "31 1 0:46 /@data /data rw - btrfs /dev/sda3 rw,subvol=/@data\n";

    EXPECT_EQ(Scan(mountinfo), (std::vector<std::string>{
                                   "/ type 3 disk 2 at 1048576 length 536870912",
                                   "/home type 3 disk 2 at 537919488 length 204800000000",
                                   "/var type 3 disk 2 at 205337919488 length 46080000000",
                               }));
}

TEST_F(DiskCatalogTest, CoveredMountIsNoVolumeButItsDeviceMayShowElsewhere) {
    const std::string mountinfo =
        "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
        "40 1 8:17 / /mnt rw - ext4 /dev/sdb1 rw\n"  // covered by the stick below
        "41 1 8:17 / /raid rw - ext4 /dev/sdb1 rw\n"
        "43 40 8:32 / /mnt rw - vfat /dev/sdc rw\n";

    EXPECT_EQ(Scan(mountinfo), (std::vector<std::string>{
                                   "/ type 3 disk 2 at 1048576 length 536870912",
                                   "/mnt type 2 disk 1 at 0 length 15360000000",
                                   "/raid type 3 disk 0 at 1048576 length 4000785964544",
                               }));
}

TEST_F(DiskCatalogTest, DevicesOutsideTheDiskMapHaveNoExtent) {
    sys_.AddDisk("sr0", "1:0:0:0", false);
    sys_.SetBlockDevice("sr0", "11:0", 1'400'000, true);
    sys_.AddVirtualBlock("dm-0", "253:0", 200'000);
    sys_.AddDeviceLink("mapper/vg-srv", "../dm-0");
    sys_.AddDeviceNode("dm-0");
    sys_.AddVirtualBlock("dm-1", "253:1", 200'000);
    sys_.AddDeviceLink("mapper/vg-pool", "../dm-1");
    sys_.AddDeviceNode("dm-1");
    sys_.AddVirtualBlock("nvme0n1", "259:0", 1'000'000);
    sys_.AddPartition("nvme0n1", "nvme0n1p1", "259:1", 2048, 500'000);
    sys_.AddVirtualBlock("loop3", "7:3", 100'000);
    sys_.AddVirtualBlock("md0", "9:0", 100'000);
    const std::string mountinfo =
        "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
        "70 1 11:0 / /media/cdrom ro - iso9660 /dev/sr0 ro\n"
        "71 1 253:0 / /srv rw - ext4 /dev/mapper/vg-srv rw\n"
        // btrfs on LVM: found through the /dev/mapper link, not the number.
        "72 1 0:50 / /pool rw - btrfs /dev/mapper/vg-pool rw\n"
        "73 1 259:1 / /fast rw - xfs /dev/nvme0n1p1 rw\n"
        "74 1 7:3 / /snap/core/1 ro - squashfs /dev/loop3 ro\n"
        "75 1 9:0 / /array rw - ext4 /dev/md0 rw\n"
        // Unknown device numbers with sources that lead nowhere useful.
        "76 1 0:51 / /gone rw - btrfs /dev/sdz9 rw\n"
        "77 1 0:52 / /dots rw - btrfs /dev/.. rw\n"
        "78 1 0:53 / /devroot rw - btrfs /dev/ rw\n";

    EXPECT_EQ(Scan(mountinfo), (std::vector<std::string>{
                                   "/ type 3 disk 2 at 1048576 length 536870912",
                                   "/array type 3 no extent",
                                   "/fast type 3 no extent",
                                   "/media/cdrom type 5 no extent",
                                   "/pool type 3 no extent",
                                   "/srv type 3 no extent",
                               }));
}

TEST_F(DiskCatalogTest, UnreadableSizesGiveNoExtent) {
    const std::uint64_t tooManySectors = std::numeric_limits<std::uint64_t>::max() / 512 + 1;
    sys_.WriteBlockAttribute("sda", "sda1/start", std::to_string(tooManySectors) + "\n");
    sys_.WriteBlockAttribute("sda", "sda2/size", "lots\n");
    sys_.WriteBlockAttribute("sdc", "size", "");
    sys_.WriteBlockAttribute("sdc", "removable", "yes\n");  // not "1": fixed
    const std::string mountinfo =
        "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
        "2 1 8:2 / /home rw - ext4 /dev/sda2 rw\n"
        "3 1 8:17 / /raid rw - ext4 /dev/sdb1 rw\n"
        "4 1 8:32 / /stick rw - vfat /dev/sdc rw\n";

    EXPECT_EQ(Scan(mountinfo), (std::vector<std::string>{
                                   "/ type 3 no extent",
                                   "/home type 3 no extent",
                                   "/raid type 3 disk 0 at 1048576 length 4000785964544",
                                   "/stick type 3 no extent",
                               }));
}

TEST(DiskCatalog, NoMountTableMeansNoVolumes) {
    testing::FakeSysfs sys;
    sys.AddDisk("sda", "0:0:0:0", false);
    sys.SetBlockDevice("sda", "8:0", 1000, false);
    LinuxDiskCatalog catalog(RootsOf(sys));
    EXPECT_TRUE(catalog.Volumes().empty());
}

}  // namespace
}  // namespace raid

#endif  // __linux__
