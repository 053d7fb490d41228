#include "maintenance/schedule_choice.h"

#include <gtest/gtest.h>

namespace raid {
namespace {

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
