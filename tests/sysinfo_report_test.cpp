#include "sysinfo/canned_system_facts.h"
#include "sysinfo/system_info.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace raid {
namespace {

using Texts = std::vector<std::string>;

FactObject Disk(const char* model, const char* id, FactValue serial, const char* index) {
    return {{"DeviceID", std::string(id)},
            {"Index", std::string(index)},
            {"Model", std::string(model)},
            {"SerialNumber", std::move(serial)}};
}

// A machine with everything the report asks for.
class SystemInfoReportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        facts.Set("Win32_BaseBoard",
                  {{{"Manufacturer", std::string("ASUSTeK")}, {"Product", std::string("P8H61")}}});
        facts.Set("Win32_DiskDrive",
                  {Disk("WDC WD10", "\\\\.\\PHYSICALDRIVE0", std::string("WD-1"), "0"),
                   Disk("USB RAID", "\\\\.\\PHYSICALDRIVE1", std::string("R-2"), "1")});
        facts.Set("Win32_Bus", {{{"SystemName", std::string("OFFICE-PC")}}});
        facts.Set("Win32_NetworkAdapterConfiguration",
                  {{{"IPAddress", std::monostate{}}},
                   {{"IPAddress", Texts{"192.168.1.20", "fe80::2"}}},
                   {{"IPAddress", Texts{"10.0.0.9"}}}});
    }

    CannedSystemFacts facts;
};

TEST_F(SystemInfoReportTest, FullMachine) {
    const Texts expected = {
        "\n=========== [System Information] ==============",
        "\nMotherBoard : ASUSTeK - P8H61",
        "\nWmiListTemp->Count = 2 - 0 - 1",
        "\nDisk: WDC WD10 - \\\\.\\PHYSICALDRIVE0 - WD-1",
        "\nDisk: USB RAID - \\\\.\\PHYSICALDRIVE1 - R-2",
        "\nSystem Name : OFFICE-PC",
        "\nIP Address  : 192.168.1.20, fe80::2",
        "\n===============================================",
    };
    const auto lines = BuildSystemInfoLines(facts);
    EXPECT_EQ(lines, expected);
    std::string joined;
    for (const auto& line : expected) {
        joined += line;
    }
    EXPECT_EQ(SystemInfoText(lines), joined);
}

TEST_F(SystemInfoReportTest, BoardWithoutProductEndsTheLineInTheSeparator) {
    facts.Set("Win32_BaseBoard",
              {{{"Manufacturer", std::string("ASUSTeK")}, {"Product", std::monostate{}}}});
    EXPECT_EQ(BuildSystemInfoLines(facts).at(1), "\nMotherBoard : ASUSTeK - ");
}

TEST_F(SystemInfoReportTest, NoDisksGiveACountOfZeroAndNoDiskLines) {
    facts.Set("Win32_DiskDrive", {});
    const auto lines = BuildSystemInfoLines(facts);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[2], "\nWmiListTemp->Count = 0");
    EXPECT_EQ(lines[3], "\nSystem Name : OFFICE-PC");
}

// Each disk list holds only non-empty values, so a disk without a serial
// hands its slot to the next disk's serial and the last disk line gets none;
// a disk without a model does the same to the models.
TEST_F(SystemInfoReportTest, DiskListsArePairedByPositionAndShortListsGiveEmptyText) {
    facts.Set("Win32_DiskDrive",
              {Disk("M0", "D0", std::monostate{}, "0"), Disk("", "D1", std::string("S1"), "1"),
               Disk("M2", "D2", std::string("S2"), "2")});
    const auto lines = BuildSystemInfoLines(facts);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[2], "\nWmiListTemp->Count = 3 - 0 - 1 - 2");
    EXPECT_EQ(lines[3], "\nDisk: M0 - D0 - S1");
    EXPECT_EQ(lines[4], "\nDisk: M2 - D1 - S2");
    EXPECT_EQ(lines[5], "\nDisk:  - D2 - ");
}

TEST_F(SystemInfoReportTest, DiskLinesFollowTheIndexesNotTheOtherLists) {
    // Models for three disks but only one index: one disk line.
    facts.Set("Win32_DiskDrive", {Disk("M0", "D0", std::string("S0"), "0"),
                                  {{"Model", std::string("M1")}},
                                  {{"Model", std::string("M2")}}});
    const auto lines = BuildSystemInfoLines(facts);
    EXPECT_EQ(lines[2], "\nWmiListTemp->Count = 1 - 0");
    EXPECT_EQ(lines[3], "\nDisk: M0 - D0 - S0");
    EXPECT_EQ(lines[4], "\nSystem Name : OFFICE-PC");
}

TEST(SystemInfoReport, FailingQueriesStillGiveEveryLine) {
    CannedSystemFacts nothing;  // every class fails
    const Texts expected = {
        "\n=========== [System Information] ==============",
        "\nMotherBoard :  - ",
        "\nWmiListTemp->Count = 0",
        "\nSystem Name : ",
        "\nIP Address  : ",
        "\n===============================================",
    };
    EXPECT_EQ(BuildSystemInfoLines(nothing), expected);
}

}  // namespace
}  // namespace raid
