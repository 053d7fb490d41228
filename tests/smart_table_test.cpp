// The SMART page's rules: health codes, the attribute table, the overall
// word and the 4K sector line, from small hand-made sectors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "maintenance/smart_attributes.h"
#include "maintenance/smart_store.h"
#include "maintenance/smart_table.h"

namespace raid {
namespace {

struct Attr {
    std::size_t slot;
    std::uint8_t id;
    std::uint8_t worst;
    std::uint8_t threshold;
    std::uint64_t raw;
    std::uint8_t value = 100;
};

struct Sectors {
    SmartSector data{};
    SmartSector thresholds{};
};

Sectors Make(const std::vector<Attr>& attributes) {
    Sectors s;
    for (const Attr& a : attributes) {
        const std::size_t at = 2 + a.slot * 12;
        s.data[at] = a.id;
        s.data[at + 3] = a.value;
        s.data[at + 4] = a.worst;
        for (std::size_t i = 0; i < 6; ++i) {
            s.data[at + 5 + i] = static_cast<std::uint8_t>(a.raw >> (8 * i));
        }
        s.thresholds[at] = a.id;
        s.thresholds[at + 1] = a.threshold;
    }
    return s;
}

SmartTable Build(const std::vector<Attr>& attributes, std::uint32_t word = 0x6003) {
    const Sectors s = Make(attributes);
    return BuildSmartTable(s.data, s.thresholds, word);
}

struct CodeCase {
    std::uint8_t id;
    std::uint8_t worst;
    std::uint8_t threshold;
    bool raw;
    std::uint8_t code;
};

TEST(SmartHealth, CodesPerAttribute) {
    const CodeCase cases[] = {
        {5, 100, 36, false, 0},  {5, 100, 36, true, 1},  {5, 35, 36, true, 16},
        {7, 35, 36, true, 16},   {8, 36, 36, true, 0},   {10, 100, 36, true, 4},
        {10, 20, 36, false, 16}, {11, 100, 36, true, 4}, {11, 20, 36, false, 0},
        {190, 20, 45, true, 4},  {190, 50, 45, true, 0}, {196, 100, 36, true, 1},
        {197, 100, 0, true, 2},  {198, 100, 0, true, 1}, {199, 100, 0, true, 1},
        {9, 1, 200, true, 0},    {194, 10, 20, true, 0}, {0x0F, 1, 200, true, 0},
    };
    for (const CodeCase& c : cases) {
        EXPECT_EQ(SmartHealthCode(c.id, c.worst, c.threshold, c.raw), c.code)
            << "ID " << int(c.id) << " worst " << int(c.worst) << " threshold " << int(c.threshold)
            << " raw " << c.raw;
    }
}

struct OverallCase {
    const char* what;
    std::vector<Attr> attributes;
    std::vector<std::string> statuses;
    std::string overall;
    SmartColour colour;
};

TEST(SmartTable, StatusesAndOverallWord) {
    const OverallCase cases[] = {
        {"reallocated, none", {{0, 5, 100, 36, 0}}, {"Good"}, " Good ", SmartColour::Black},
        {"one reallocated sector", {{0, 5, 100, 36, 1}}, {"Alert"}, " Good ", SmartColour::Black},
        {"two noted counters",
         {{0, 5, 100, 36, 1}, {1, 196, 100, 0, 1}},
         {"Alert", "Alert"},
         " Warning ",
         SmartColour::Maroon},
        {"a pending sector", {{0, 197, 100, 0, 1}}, {"Alert"}, " Warning ", SmartColour::Maroon},
        {"spin-up retries", {{0, 10, 100, 36, 3}}, {"Alert"}, " Warning ", SmartColour::Maroon},
        {"airflow below threshold",
         {{0, 190, 30, 45, 0}},
         {"Alert"},
         " Warning ",
         SmartColour::Maroon},
        {"worn below threshold", {{0, 5, 30, 36, 0}}, {"Error"}, " Error ", SmartColour::Red},
        {"error stays after later alerts",
         {{0, 7, 10, 30, 0}, {1, 197, 100, 0, 5}, {2, 5, 100, 36, 1}},
         {"Error", "Alert", "Alert"},
         " Error ",
         SmartColour::Red},
        {"unknown ID", {{0, 0x0F, 1, 200, 9}}, {"Good"}, " Good ", SmartColour::Black},
    };
    for (const OverallCase& c : cases) {
        const SmartTable t = Build(c.attributes);
        ASSERT_EQ(t.rows.size(), c.statuses.size()) << c.what;
        for (std::size_t r = 0; r < c.statuses.size(); ++r) {
            EXPECT_EQ(t.rows[r].cells[5], c.statuses[r]) << c.what << " row " << r;
        }
        EXPECT_EQ(t.overallText, c.overall) << c.what;
        EXPECT_EQ(t.overallColour, c.colour) << c.what;
    }
}

TEST(SmartTable, RowColoursFollowTheStatus) {
    const SmartTable t = Build({{0, 5, 10, 36, 0}, {1, 197, 100, 0, 1}, {2, 9, 100, 0, 7}});
    ASSERT_EQ(t.rows.size(), 3u);
    EXPECT_EQ(t.rows[0].colour, SmartColour::Red);
    EXPECT_EQ(t.rows[1].colour, SmartColour::Yellow);
    EXPECT_EQ(t.rows[2].colour, SmartColour::White);
}

// Duplicated IDs in a garbled sector: noted counters add up, but never to
// the error bit that only a worn attribute may set.
TEST(SmartTable, NotedCountersNeverAddUpToAnError) {
    std::vector<Attr> many;
    for (std::size_t slot = 0; slot < 20; ++slot) {
        many.push_back({slot, 5, 100, 36, 1});
    }
    const SmartTable t = Build(many);
    EXPECT_EQ(t.rows.size(), 20u);
    EXPECT_EQ(t.overallText, " Warning ");
    EXPECT_EQ(t.overall & kHealthError, 0);
}

TEST(SmartTable, EmptyFirstSlotHidesEverything) {
    const SmartTable t = Build({{1, 5, 10, 36, 0}, {2, 9, 100, 0, 1}});
    EXPECT_TRUE(t.rows.empty());
    EXPECT_EQ(t.overallText, "");
    EXPECT_EQ(t.fourK.text, "");
    EXPECT_EQ(t.fourK.hint, "");
}

// Rows after an empty slot are shown too: an attribute that counts towards
// the overall word never hides outside the grid.
TEST(SmartTable, SlotsAfterAGapGetRowsOfTheirOwn) {
    const SmartTable t = Build({{0, 9, 100, 0, 1}, {1, 12, 100, 0, 2}, {5, 5, 10, 36, 0}});
    ASSERT_EQ(t.rows.size(), 3u);
    EXPECT_EQ(t.rows[2].slot, 5u);
    EXPECT_EQ(t.rows[2].cells[0], "05-Reallocated sector count");
    EXPECT_EQ(t.overallText, " Error ");
}

TEST(SmartTable, CellsOfARow) {
    Sectors s = Make({{0, 0xE1, 97, 30, 0x0000123456789AULL, 98}, {1, 0x0F, 100, 0, 0xFFULL}});
    // The threshold comes from the same slot, whatever ID that entry names.
    s.thresholds[2 + 12] = 0x33;
    s.thresholds[2 + 12 + 1] = 7;
    const SmartTable t = BuildSmartTable(s.data, s.thresholds, 0x6003);
    ASSERT_EQ(t.rows.size(), 2u);
    EXPECT_EQ(t.rows[0].cells, (std::array<std::string, 6>{"E1-Load/Unload Cycle Count", "98", "97",
                                                           "30", "00123456789A", "Good"}));
    EXPECT_EQ(t.rows[1].cells[0], "0Fh-UnKnown");
    EXPECT_EQ(t.rows[1].cells[3], "7");
    EXPECT_EQ(t.rows[1].cells[4], "0000000000FF");
    EXPECT_EQ(t.rows[1].raw, 0xFFu);
}

TEST(SmartTable, RawValueUsesAllSixBytesMostSignificantFirst) {
    EXPECT_EQ(SmartRawText(0xFEDCBA987654ULL), "FEDCBA987654");
    EXPECT_EQ(SmartRawText(0), "000000000000");
}

TEST(SmartTable, FourKLineAndHint) {
    struct Case {
        std::uint32_t word;
        const char* text;
        const char* hint;
    };
    const Case cases[] = {
        {0x6003, " 4K Sector supported : Yes ", "WORD[106]=0x6003"},
        {0x4000, " 4K Sector supported : No ", "WORD[106]=0x4000"},
        {0x0000, " 4K Sector supported : No ", "WORD[106]=0x0000"},
        {0xFFFF, " 4K Sector supported : Unknown ", "Code=0xFFFF"},
        {0xFFF7, " 4K Sector supported : Unknown ", "Code=0xFFF7"},
        {0xFFFE, " 4K Sector supported : Unknown ", "Code=0xFFFE"},
        {0xB2EC, " 4K Sector supported : Unknown ", "Code=0xB2EC"},
    };
    for (const Case& c : cases) {
        const SmartLine line = FourKLine(c.word);
        EXPECT_EQ(line.text, c.text) << std::hex << c.word;
        EXPECT_EQ(line.hint, c.hint) << std::hex << c.word;
    }
    EXPECT_EQ(Build({{0, 9, 100, 0, 1}}, 0xFFFF).fourK.hint, "Code=0xFFFF");
}

TEST(SmartAttributeNames, FirstRowWithTheIdGivesTheName) {
    EXPECT_EQ(SmartAttributeNames().size(), 61u);
    EXPECT_STREQ(SmartAttributeNameOf(5), "Reallocated sector count");
    EXPECT_STREQ(SmartAttributeNameOf(226), "Load 'In'-time");
    EXPECT_STREQ(SmartAttributeNameOf(254), "Free Fall Protection");
    EXPECT_EQ(SmartAttributeNameOf(0x0F), nullptr);
    EXPECT_EQ(SmartAttributeNameOf(210), nullptr);
    for (const SmartAttributeName& row : SmartAttributeNames()) {
        EXPECT_LE(std::string(row.name).size(), 33u) << int(row.id);
    }
}

}  // namespace
}  // namespace raid
