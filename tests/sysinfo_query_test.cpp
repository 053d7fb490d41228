#include "sysinfo/canned_system_facts.h"
#include "sysinfo/disk_identity.h"
#include "sysinfo/wmi_query.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace raid {
namespace {

using Texts = std::vector<std::string>;

TEST(FactValueText, ReadsEveryKindOfValue) {
    struct Case {
        const char* what;
        FactValue value;
        std::string expected;
    };
    const Case cases[] = {
        {"null", std::monostate{}, ""},
        {"scalar", std::string("ASUSTeK"), "ASUSTeK"},
        {"empty scalar", std::string(), ""},
        {"one element", Texts{"10.0.0.2"}, "10.0.0.2"},
        {"elements joined", Texts{"10.0.0.2", "fe80::1", "::2"}, "10.0.0.2, fe80::1, ::2"},
        {"empty array", Texts{}, ""},
        {"empty elements keep separators", Texts{"", "a"}, ", a"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FactValueText(c.value), c.expected) << c.what;
    }
}

// Three disks as the service lists them; the middle one reports no serial
// and an empty array where the others have one.
class WmiQueryPropertyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        facts.Set("Win32_DiskDrive", {
                                         {{"Index", std::string("0")},
                                          {"SerialNumber", std::string("S0")},
                                          {"Tags", Texts{"a", "b"}}},
                                         {{"Index", std::string("1")},
                                          {"SerialNumber", std::monostate{}},
                                          {"Tags", Texts{}}},
                                         {{"Index", std::string("2")},
                                          {"SerialNumber", std::string("S2")},
                                          {"Tags", Texts{"c"}}},
                                     });
        facts.Set("Win32_Empty", {});
        list = {"stale"};
    }

    std::string Query(const char* className, const char* property, bool collectAll) {
        return WmiQueryProperty(facts, className, property, collectAll, list);
    }

    CannedSystemFacts facts;
    Texts list;
};

TEST_F(WmiQueryPropertyTest, FirstModeReturnsTheFirstNonEmptyValueAndCollectsNothing) {
    EXPECT_EQ(Query("Win32_DiskDrive", "Index", false), "0");
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(Query("Win32_DiskDrive", "Tags", false), "a, b");
}

TEST_F(WmiQueryPropertyTest, FirstModeLooksPastObjectsWithoutAValue) {
    facts.Set("Win32_BaseBoard",
              {{{"Product", std::monostate{}}}, {{"Product", std::string("B2")}}});
    EXPECT_EQ(Query("Win32_BaseBoard", "Product", false), "B2");
}

TEST_F(WmiQueryPropertyTest, CollectAllTakesOneNonEmptyValuePerObject) {
    struct Case {
        const char* property;
        Texts expected;
    };
    const Case cases[] = {
        // Index 0 is text "0", not empty, so it is collected.
        {"Index", {"0", "1", "2"}},
        // A disk without a serial leaves no gap: later serials move up.
        {"SerialNumber", {"S0", "S2"}},
        // An empty array reads as empty text and is not collected.
        {"Tags", {"a, b", "c"}},
        {"NoSuchProperty", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Query("Win32_DiskDrive", c.property, true), "") << c.property;
        EXPECT_EQ(list, c.expected) << c.property;
    }
}

TEST_F(WmiQueryPropertyTest, CollectAllIgnoresARepeatedPropertyInTheSameObject) {
    facts.Set("Win32_Odd", {{{"Name", std::string("first")}, {"Name", std::string("second")}},
                            {{"Name", std::string("other")}}});
    Query("Win32_Odd", "Name", true);
    EXPECT_EQ(list, (Texts{"first", "other"}));
}

TEST_F(WmiQueryPropertyTest, NamesMatchExactly) {
    EXPECT_EQ(Query("Win32_DiskDrive", "index", false), "");
    EXPECT_EQ(Query("Win32_DiskDrive", "Index ", false), "");
}

TEST_F(WmiQueryPropertyTest, NothingToFindClearsTheListAndGivesEmptyText) {
    struct Case {
        const char* className;
        const char* property;
        bool collectAll;
    };
    const Case cases[] = {
        {"Win32_Unknown", "Index", true},   // the query fails
        {"Win32_Unknown", "Index", false},  // the query fails
        {"Win32_Empty", "Index", true},     // a class with no objects
        {"Win32_DiskDrive", "", true},      // no property asked for
        {"Win32_DiskDrive", "", false},
    };
    for (const Case& c : cases) {
        list = {"stale"};
        EXPECT_EQ(Query(c.className, c.property, c.collectAll), "") << c.className;
        EXPECT_TRUE(list.empty()) << c.className << " " << c.property;
    }
}

TEST(DiskIdentities, KeepEachSerialWithItsOwnDisk) {
    CannedSystemFacts facts;
    facts.Set("Win32_DiskDrive",
              {
                  {{"Index", std::string("0")}, {"SerialNumber", std::string("S0")}},
                  {{"Index", std::string("3")}, {"SerialNumber", std::monostate{}}},
                  {{"SerialNumber", std::string("no index")}},
                  {{"Index", std::string("x1")}, {"SerialNumber", std::string("bad index")}},
                  {{"SerialNumber", std::string("S1")}, {"Index", std::string("1")}},
              });
    const auto identities = ReadDiskIdentities(facts);
    ASSERT_EQ(identities.size(), 3u);
    EXPECT_EQ(DiskSerialNumber(identities, 0), "S0");
    EXPECT_EQ(DiskSerialNumber(identities, 3), "");
    EXPECT_EQ(DiskSerialNumber(identities, 1), "S1");
    EXPECT_EQ(DiskSerialNumber(identities, 7), "");
}

TEST(DiskIdentities, FailedQueryGivesNone) {
    CannedSystemFacts facts;
    EXPECT_TRUE(ReadDiskIdentities(facts).empty());
}

}  // namespace
}  // namespace raid
