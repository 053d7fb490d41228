#include "maintenance/schedule_text.h"

#include <gtest/gtest.h>

namespace raid {
namespace {

RaidStatus Record(std::uint8_t period, std::uint16_t count, std::uint8_t weeks,
                  std::uint8_t taskMask = 0) {
    RaidStatus r;
    r.backupInfo = {period, static_cast<std::uint8_t>(count >> 8),
                    static_cast<std::uint8_t>(count & 0xFF), weeks};
    r.taskMask = taskMask;
    return r;
}

TEST(ScheduleTextTest, PeriodTextNamesDaysOrHoursWithTheirPlural) {
    struct Case {
        unsigned unit, steps;
        const char* text;
    } cases[] = {
        {24, 1, "1 day"}, {24, 7, "7 days"},   {24, 30, "30 days"}, {6, 1, "6 hours"},
        {6, 4, "1 day"},  {6, 20, "5 days"},   {1, 1, "1 hour"},    {6, 10, "60 hours"},
        {24, 0, "0 day"}, {31, 1, "31 hours"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PeriodText(c.unit, c.steps), c.text) << c.unit << " x " << c.steps;
    }
}

TEST(ScheduleTextTest, TimeLeftInMinutesWithItsBracket) {
    const std::string prefix = " Wait to Backup in minutes : ";
    struct Case {
        RaidStatus record;
        const char* tail;
    } cases[] = {
        {Record(1, 0x0007, 0), "2 (0d:0h:2m)"},         // 7 counts round up to 2 minutes
        {Record(1, 0, 1), "10080 (7d:0h:0m)"},          // a whole week
        {Record(1, 0, 0), "0"},                         // nothing left: no bracket
        {Record(1, 8640, 0), "1440 (1d:0h:0m)"},        // one day
        {Record(1, 0xFFFF, 0), "10923 (7d:14h:3m)"},    // the largest count
        {Record(1, 6 * 61, 2), "20221 (14d:1h:1m)"},    // weeks and count add up
        {Record(0, 0x1234, 3), " (Backup off)"},        // off whatever the count says
        {Record(0, 0, 0, 0x02), " (Backup off)"},       // off wins over a busy HDD2
        {Record(7, 100, 0, 0x02), " (Backing up...)"},  // HDD2 busy: a backup runs
        {Record(7, 6, 0, 0x01), "1 (0d:0h:1m)"},        // HDD1 busy is a rebuild, not a backup
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BackupMessageText(c.record), prefix + c.tail);
    }
}

TEST(ScheduleTextTest, PeriodLineInDaysAndHours) {
    const std::string prefix = "Schedule Backup Period(Setted): ";
    struct Case {
        std::uint8_t period;
        unsigned unit;
        const char* tail;
    } cases[] = {
        {0, 24, "off"},
        {0, 6, "off"},
        {1, 24, "1 day "},
        {7, 24, "7 days "},
        {10, 6, "2 days 12 hours"},
        {1, 6, "6 hours"},
        {1, 1, "1 hour"},
        {5, 5, "1 day 1 hour"},
        {255, 31, "329 days 9 hours"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BackupPeriodText(c.period, c.unit), prefix + c.tail);
    }
}

TEST(ScheduleTextTest, HourItemsStepByTheUnitBelowADay) {
    using Items = std::vector<std::string>;
    EXPECT_EQ(HourItems(24), Items{"00"});
    EXPECT_EQ(HourItems(6), (Items{"00", "06", "12", "18"}));
    EXPECT_EQ(HourItems(8), (Items{"00", "08", "16"}));
    EXPECT_EQ(HourItems(5), (Items{"00", "05", "10", "15", "20"}));
    EXPECT_EQ(HourItems(1).size(), 24u);
    EXPECT_EQ(HourItems(1).back(), "23");
    EXPECT_EQ(HourItems(31), Items{"00"});
    EXPECT_EQ(HourItems(0), Items{"00"});  // a unit of 0 must not loop for ever
    EXPECT_EQ(StepsPerDay(6), 4u);
    EXPECT_EQ(StepsPerDay(0), 0u);
    EXPECT_EQ(StepsPerDay(31), 0u);
}

}  // namespace
}  // namespace raid
