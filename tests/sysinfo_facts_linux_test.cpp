#include "sysinfo/system_facts_linux.h"
#include "sysinfo/wmi_query.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace raid {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

// A throw-away root with just the sysfs files a test writes.
class FakeSysfs : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "sysinfo-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root = pattern;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(root, ec);
    }

    void Write(const std::string& relative, const std::string& content) {
        const fs::path path = root / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
    }
    void AddDisk(const std::string& name, const std::string& model) {
        Write("sys/block/" + name + "/device/model", model);
    }

    std::string Collect(LinuxSystemFacts& facts, const char* property, Texts& list) {
        return WmiQueryProperty(facts, "Win32_DiskDrive", property, true, list);
    }

    fs::path root;
};

TEST_F(FakeSysfs, BaseBoardComesFromDmiTrimmed) {
    Write("sys/class/dmi/id/board_vendor", "  ASUSTeK COMPUTER INC.\n");
    Write("sys/class/dmi/id/board_name", "P8H61-M\n");
    LinuxSystemFacts facts(root);
    Texts list;
    EXPECT_EQ(WmiQueryProperty(facts, "Win32_BaseBoard", "Manufacturer", false, list),
              "ASUSTeK COMPUTER INC.");
    EXPECT_EQ(WmiQueryProperty(facts, "Win32_BaseBoard", "Product", false, list), "P8H61-M");
}

TEST_F(FakeSysfs, MissingOrBlankBoardFilesGiveEmptyValues) {
    Write("sys/class/dmi/id/board_vendor", " \n");
    LinuxSystemFacts facts(root);
    Texts list;
    EXPECT_EQ(WmiQueryProperty(facts, "Win32_BaseBoard", "Manufacturer", false, list), "");
    EXPECT_EQ(WmiQueryProperty(facts, "Win32_BaseBoard", "Product", false, list), "");
}

TEST_F(FakeSysfs, DefaultListerTakesWholeScsiDisksInKernelNameOrder) {
    AddDisk("sdb", "Second  \n");
    AddDisk("sdaa", "TwentySeventh\n");
    AddDisk("sda", "First\n");
    AddDisk("sdz", "TwentySixth\n");
    Write("sys/block/sda1/device/model", "partition\n");
    Write("sys/block/nvme0n1/device/model", "nvme\n");
    Write("sys/block/loop0/size", "0\n");

    LinuxSystemFacts facts(root);
    Texts list;
    Collect(facts, "Model", list);
    EXPECT_EQ(list, (Texts{"First", "Second", "TwentySixth", "TwentySeventh"}));
    Collect(facts, "DeviceID", list);
    EXPECT_EQ(list, (Texts{"/dev/sda", "/dev/sdb", "/dev/sdz", "/dev/sdaa"}));
    Collect(facts, "Index", list);
    EXPECT_EQ(list, (Texts{"0", "1", "2", "3"}));
}

TEST_F(FakeSysfs, SerialNumberSources) {
    const std::string kPage80 = std::string("\x00\x80\x00\x08", 4) + "  VPD-12";
    struct Case {
        const char* disk;
        std::vector<std::pair<std::string, std::string>> files;  // under device/
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"sda", {{"serial", "SER-A\n"}, {"vpd_pg80", kPage80}, {"wwid", "naa.1\n"}}, "SER-A"},
        {"sdb", {{"vpd_pg80", kPage80}, {"wwid", "naa.2\n"}}, "VPD-12"},
        // NUL padding inside the page is not part of the serial.
        {"sdc",
         {{"vpd_pg80", std::string("\x00\x80\x00\x06"
                                   "AB\0\0\0\0",
                                   10)}},
         "AB"},
        // A length beyond the bytes there is held to them.
        {"sdd",
         {{"vpd_pg80", std::string("\x00\x80\xff\xff"
                                   "XYZ",
                                   7)}},
         "XYZ"},
        // Not a unit serial page, or too short for its header: next source.
        {"sde",
         {{"vpd_pg80", std::string("\x00\x83\x00\x02"
                                   "NO",
                                   6)},
          {"wwid", "naa.5\n"}},
         "naa.5"},
        {"sdf", {{"vpd_pg80", std::string("\x00\x80", 2)}}, ""},
        {"sdg", {{"serial", "\n"}, {"wwid", "t10.ATA Disk\n"}}, "t10.ATA Disk"},
        {"sdh", {}, ""},
    };
    for (const Case& c : cases) {
        AddDisk(c.disk, "M\n");
        for (const auto& [file, content] : c.files) {
            Write(std::string("sys/block/") + c.disk + "/device/" + file, content);
        }
        EXPECT_EQ(SysfsDiskFacts(root / "sys", c.disk, 0).serialNumber, c.expected) << c.disk;
    }
}

TEST_F(FakeSysfs, DiskWithoutSerialIsNotCollected) {
    AddDisk("sda", "A\n");
    AddDisk("sdb", "B\n");
    Write("sys/block/sdb/device/serial", "SB\n");
    LinuxSystemFacts facts(root);
    Texts list;
    Collect(facts, "SerialNumber", list);
    EXPECT_EQ(list, (Texts{"SB"}));
}

TEST_F(FakeSysfs, NoBlockFolderFailsTheDiskQuery) {
    LinuxSystemFacts facts(root);
    EXPECT_FALSE(facts.Query("Win32_DiskDrive").has_value());
}

TEST_F(FakeSysfs, GivenDiskListerSuppliesTheIndexes) {
    AddDisk("sda", "Internal\n");  // ignored: the given lister decides
    LinuxSystemFacts facts(root, [] {
        return std::optional<std::vector<DiskFacts>>{
            {{"Enclosure", "/dev/sdc", "R1", 0}, {"Other", "/dev/sdd", "", 4}}};
    });
    Texts list;
    Collect(facts, "Index", list);
    EXPECT_EQ(list, (Texts{"0", "4"}));
    Collect(facts, "DeviceID", list);
    EXPECT_EQ(list, (Texts{"/dev/sdc", "/dev/sdd"}));

    LinuxSystemFacts failing(root, [] { return std::optional<std::vector<DiskFacts>>{}; });
    EXPECT_FALSE(failing.Query("Win32_DiskDrive").has_value());
}

TEST_F(FakeSysfs, HostNameAndItsFailure) {
    LinuxSystemFacts named(root, {}, {}, [] { return std::optional<std::string>("office-pc"); });
    Texts list;
    EXPECT_EQ(WmiQueryProperty(named, "Win32_Bus", "SystemName", false, list), "office-pc");

    LinuxSystemFacts failing(root, {}, {}, [] { return std::optional<std::string>(); });
    EXPECT_FALSE(failing.Query("Win32_Bus").has_value());
}

TEST_F(FakeSysfs, UnknownClassFails) {
    LinuxSystemFacts facts(root);
    EXPECT_FALSE(facts.Query("Win32_Processor").has_value());
}

InterfaceAddress V4(const char* name, unsigned index, std::array<std::uint8_t, 4> bytes,
                    bool loopback = false) {
    InterfaceAddress a;
    a.interfaceName = name;
    a.interfaceIndex = index;
    a.loopback = loopback;
    a.family = InterfaceAddress::Family::IPv4;
    std::copy(bytes.begin(), bytes.end(), a.address.begin());
    return a;
}

InterfaceAddress V6(const char* name, unsigned index, std::array<std::uint8_t, 16> bytes,
                    bool loopback = false) {
    InterfaceAddress a;
    a.interfaceName = name;
    a.interfaceIndex = index;
    a.loopback = loopback;
    a.family = InterfaceAddress::Family::IPv6;
    a.address = bytes;
    return a;
}

constexpr std::array<std::uint8_t, 16> kLinkLocal = {
    0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0x02, 0x11, 0x22, 0xff, 0xfe, 0x33, 0x44, 0x55};
constexpr std::array<std::uint8_t, 16> kLoopback6 = {0, 0, 0, 0, 0, 0, 0, 0,
                                                     0, 0, 0, 0, 0, 0, 0, 1};

TEST(NetworkAdapterObjects, AddressesAsText) {
    EXPECT_EQ(AddressText(V4("eth0", 2, {192, 168, 1, 20})), "192.168.1.20");
    EXPECT_EQ(AddressText(V6("eth0", 2, kLinkLocal)), "fe80::211:22ff:fe33:4455");
    EXPECT_EQ(AddressText(V6("lo", 1, kLoopback6)), "::1");
}

TEST(NetworkAdapterObjects, OrderedByIndexIPv4FirstLoopbackLeftOut) {
    // As getifaddrs may list them: IPv6 entries after all IPv4 ones, any interface order.
    const std::vector<InterfaceAddress> canned = {
        V4("lo", 1, {127, 0, 0, 1}, true), V4("wlan0", 3, {10, 0, 0, 7}),
        V4("eth0", 2, {192, 168, 1, 20}),  V4("eth0", 2, {192, 168, 1, 21}),
        V6("lo", 1, kLoopback6, true),     V6("eth0", 2, kLinkLocal),
        V6("wlan0", 3, kLoopback6),
    };
    const auto objects = NetworkAdapterObjects(canned);
    ASSERT_EQ(objects.size(), 2u);
    Texts expectedNames = {"eth0", "wlan0"};
    std::vector<Texts> expectedAddresses = {
        {"192.168.1.20", "192.168.1.21", "fe80::211:22ff:fe33:4455"},
        {"10.0.0.7", "::1"},
    };
    for (std::size_t i = 0; i < objects.size(); ++i) {
        std::string name;
        Texts addresses;
        for (const auto& property : objects[i]) {
            if (property.name == "Description") {
                name = FactValueText(property.value);
            } else if (property.name == "IPAddress") {
                addresses = std::get<Texts>(property.value);
            }
        }
        EXPECT_EQ(name, expectedNames[i]);
        EXPECT_EQ(addresses, expectedAddresses[i]);
    }
}

TEST(NetworkAdapterObjects, ReportShowsTheFirstAdapterThatHasAddresses) {
    const std::vector<InterfaceAddress> canned = {
        V4("lo", 1, {127, 0, 0, 1}, true),
        V4("eth1", 3, {10, 1, 1, 1}),
        V6("eth0", 2, kLinkLocal),
    };
    LinuxSystemFacts facts("/nonexistent", {}, [&] { return std::optional(canned); });
    Texts list;
    EXPECT_EQ(
        WmiQueryProperty(facts, "Win32_NetworkAdapterConfiguration", "IPAddress", false, list),
        "fe80::211:22ff:fe33:4455");

    const std::vector<InterfaceAddress> onlyLoopback = {V4("lo", 1, {127, 0, 0, 1}, true)};
    LinuxSystemFacts lonely("/nonexistent", {}, [&] { return std::optional(onlyLoopback); });
    EXPECT_EQ(
        WmiQueryProperty(lonely, "Win32_NetworkAdapterConfiguration", "IPAddress", false, list),
        "");

    LinuxSystemFacts failing("/nonexistent", {},
                             [] { return std::optional<std::vector<InterfaceAddress>>(); });
    EXPECT_FALSE(failing.Query("Win32_NetworkAdapterConfiguration").has_value());
}

// The system calls themselves, on this machine: every network namespace has a
// loopback interface, and it must be recognised as one.
TEST(SystemSources, InterfaceListFlagsTheLoopback) {
    const auto addresses = ReadInterfaceAddresses();
    ASSERT_TRUE(addresses.has_value());
    bool sawLoopback = false;
    for (const auto& address : *addresses) {
        if (address.interfaceName == "lo") {
            EXPECT_TRUE(address.loopback);
            EXPECT_NE(address.interfaceIndex, 0u);
            sawLoopback = true;
        }
    }
    EXPECT_TRUE(sawLoopback);
}

TEST(SystemSources, HostNameIsNotEmpty) {
    const auto name = ReadHostName();
    ASSERT_TRUE(name.has_value());
    EXPECT_FALSE(name->empty());
}

}  // namespace
}  // namespace raid
