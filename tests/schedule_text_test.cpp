#include "maintenance/schedule_text.h"

#include <gtest/gtest.h>

#include "maintenance/schedule_choice.h"

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

// --- the parameters, the page's controls and the choice ---

constexpr std::uint8_t kHybrid = kFeatureBackup | kFeatureHybrid;

ScheduleParameters Params(std::uint8_t unit, std::uint8_t p1, std::uint8_t p2, std::uint8_t p3) {
    ScheduleParameters params;
    params.unit = unit;
    params.presets = {0, p1, p2, p3};
    return params;
}

TEST(ScheduleChoiceTest, AnEnclosureWithAScheduleLendsItsParametersAndOneWithoutKeepsThem) {
    ScheduleParameters params;
    FoundDevice device;
    device.scheduleUnit = 6;
    device.schedulePresets = {1, 4, 20};
    EXPECT_FALSE(ApplyScheduleParameters(params, device, kFeatureHybrid));
    EXPECT_EQ(params.unit, 24);
    EXPECT_EQ(params.presets, (std::array<std::uint8_t, 4>{0, 1, 7, 30}));

    EXPECT_TRUE(ApplyScheduleParameters(params, device, kFeatureBackup));
    EXPECT_EQ(params.unit, 6);
    EXPECT_EQ(params.presets, (std::array<std::uint8_t, 4>{0, 1, 4, 20}));

    FoundDevice plain;  // defaults of a device without a schedule
    plain.scheduleUnit = 24;
    EXPECT_FALSE(ApplyScheduleParameters(params, plain, 0));
    EXPECT_EQ(params.unit, 6);
}

TEST(ScheduleChoiceTest, ControlsCaptionThePresetsAndOfferTheUserPeriodToHybrids) {
    const ScheduleControls six = ScheduleControlsFor(Params(6, 1, 4, 20), kHybrid);
    EXPECT_EQ(six.presetCaptions, (std::array<std::string, 3>{"6 hours", "1 day", "5 days"}));
    EXPECT_TRUE(six.userPeriod);
    EXPECT_EQ(six.lowerPresetsTop, 152);
    EXPECT_EQ(six.hourItems, (std::vector<std::string>{"00", "06", "12", "18"}));

    const ScheduleControls plain = ScheduleControlsFor(Params(24, 1, 7, 30), kFeatureBackup);
    EXPECT_EQ(plain.presetCaptions, (std::array<std::string, 3>{"1 day", "7 days", "30 days"}));
    EXPECT_FALSE(plain.userPeriod);
    EXPECT_EQ(plain.lowerPresetsTop, 160);

    // A step longer than a day cannot be chosen in days and hours.
    EXPECT_FALSE(ScheduleControlsFor(Params(31, 1, 2, 3), kHybrid).userPeriod);
}

TEST(ScheduleChoiceTest, EntryPreselectsThePresetOrTheUserPeriodOrOff) {
    using B = ScheduleButton;
    struct Case {
        std::uint8_t period;
        ScheduleParameters params;
        std::uint8_t features;
        ScheduleChoice choice;
    } cases[] = {
        {0, Params(24, 1, 7, 30), kHybrid, {B::Off, 0, 0}},
        {1, Params(24, 1, 7, 30), kHybrid, {B::Preset1, 0, 0}},
        {7, Params(24, 1, 7, 30), kHybrid, {B::Preset2, 0, 0}},
        {30, Params(24, 1, 7, 30), kHybrid, {B::Preset3, 0, 0}},
        {7, Params(24, 7, 7, 7), kHybrid, {B::Preset3, 0, 0}},  // the last preset wins
        {10, Params(6, 1, 4, 20), kHybrid, {B::UserPeriod, 2, 2}},
        {3, Params(24, 1, 7, 30), kHybrid, {B::UserPeriod, 3, 0}},
        {3, Params(24, 1, 7, 30), kFeatureBackup, {B::Off, 0, 0}},  // no user period offered
        {31, Params(24, 1, 7, 30), kHybrid, {B::Off, 0, 0}},        // beyond ComboBox1's 30 days
        {5, Params(31, 1, 2, 3), kHybrid, {B::Off, 0, 0}},          // no steps per day: no division
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EntryChoice(c.period, c.params, c.features), c.choice)
            << "period " << int{c.period} << " unit " << int{c.params.unit};
    }
}

TEST(ScheduleChoiceTest, CommandTable) {
    using B = ScheduleButton;
    const ScheduleParameters params = Params(6, 1, 4, 20);
    struct Case {
        ScheduleChoice choice;
        std::uint8_t code;
        std::uint8_t period;
        bool userPeriod;
    } cases[] = {
        {{B::Off}, 0x72, 0, false},
        {{B::Preset1}, 0x73, 1, false},
        {{B::Preset2}, 0x74, 4, false},
        {{B::Preset3}, 0x75, 20, false},
        {{B::UserPeriod, 2, 2}, 0x78, 10, true},  // 2 days and "12" hours in steps of 6
        {{B::UserPeriod, 0, 0}, 0x78, 0, true},
        {{B::UserPeriod, 30, 3}, 0x78, 123, true},
    };
    for (const auto& c : cases) {
        const auto command = CommandFor(c.choice, params);
        ASSERT_TRUE(command.has_value());
        EXPECT_EQ(command->code, c.code);
        EXPECT_EQ(command->period, c.period);
        EXPECT_EQ(command->userPeriod, c.userPeriod);
    }
}

TEST(ScheduleChoiceTest, APeriodThatDoesNotFitItsByteOrItsCombosIsRefused) {
    using B = ScheduleButton;
    struct Case {
        ScheduleParameters params;
        ScheduleChoice choice;
    } cases[] = {
        {Params(1, 1, 2, 3), {B::UserPeriod, 11, 0}},  // 264 steps of one hour
        {Params(6, 1, 4, 20), {B::UserPeriod, 31, 0}},
        {Params(6, 1, 4, 20), {B::UserPeriod, 0, 4}},  // ComboBox2 holds four items
        {Params(6, 1, 4, 20), {B::UserPeriod, -1, 0}},
        {Params(31, 1, 2, 3), {B::UserPeriod, 1, 0}},  // no whole step in a day
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(CommandFor(c.choice, c.params).has_value())
            << c.choice.days << "d " << c.choice.hours;
    }
    EXPECT_EQ(CommandFor({B::UserPeriod, 10, 15}, Params(1, 1, 2, 3))->period, 255);
}

}  // namespace
}  // namespace raid
