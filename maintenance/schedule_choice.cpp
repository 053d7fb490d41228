#include "maintenance/schedule_choice.h"

#include "device/command_codes.h"
#include "maintenance/schedule_text.h"

namespace raid {
namespace {

constexpr int kTopWithUserPeriod = 152;
constexpr int kTopWithoutUserPeriod = 160;

}  // namespace

bool ApplyScheduleParameters(ScheduleParameters& params, const FoundDevice& device,
                             std::uint8_t features) {
    if ((features & kFeatureBackup) == 0) {
        return false;
    }
    params.unit = device.scheduleUnit;
    for (std::size_t i = 0; i < device.schedulePresets.size(); ++i) {
        params.presets[i + 1] = device.schedulePresets[i];
    }
    return true;
}

bool OffersUserPeriod(const ScheduleParameters& params, std::uint8_t features) {
    // A unit that makes no whole step per day could not be chosen in days
    // and hours at all.
    return (features & kFeatureBackup) != 0 && (features & kFeatureHybrid) != 0 &&
           StepsPerDay(params.unit) != 0;
}

ScheduleControls ScheduleControlsFor(const ScheduleParameters& params, std::uint8_t features) {
    ScheduleControls controls;
    for (std::size_t i = 0; i < controls.presetCaptions.size(); ++i) {
        controls.presetCaptions[i] = PeriodText(params.unit, params.presets[i + 1]);
    }
    controls.userPeriod = OffersUserPeriod(params, features);
    controls.lowerPresetsTop = controls.userPeriod ? kTopWithUserPeriod : kTopWithoutUserPeriod;
    controls.hourItems = HourItems(params.unit);
    return controls;
}

ScheduleChoice EntryChoice(std::uint8_t period, const ScheduleParameters& params,
                           std::uint8_t features) {
    // Tested from the last preset down, so equal presets select the last.
    for (ScheduleButton b :
         {ScheduleButton::Preset3, ScheduleButton::Preset2, ScheduleButton::Preset1}) {
        if (period == params.presets[static_cast<std::size_t>(b)]) {
            return ScheduleChoice{b, 0, 0};
        }
    }
    if (period != 0 && OffersUserPeriod(params, features)) {
        const unsigned perDay = StepsPerDay(params.unit);
        const int days = static_cast<int>(period / perDay);
        // ComboBox1 ends at 30 days; a longer period cannot be shown there.
        if (days <= kMaxScheduleDays) {
            return ScheduleChoice{ScheduleButton::UserPeriod, days,
                                  static_cast<int>(period % perDay)};
        }
    }
    return ScheduleChoice{};
}

std::optional<ScheduleCommand> CommandFor(const ScheduleChoice& choice,
                                          const ScheduleParameters& params) {
    if (choice.button != ScheduleButton::UserPeriod) {
        const auto index = static_cast<std::size_t>(choice.button);
        return ScheduleCommand{static_cast<std::uint8_t>(CmdSyncEvery10Min + index),
                               params.presets[index], false};
    }
    const unsigned perDay = StepsPerDay(params.unit);
    const int hourItems = static_cast<int>(HourItems(params.unit).size());
    if (choice.days < 0 || choice.days > kMaxScheduleDays || choice.hours < 0 ||
        choice.hours >= hourItems || (perDay == 0 && choice.days != 0)) {
        return std::nullopt;
    }
    const unsigned steps =
        static_cast<unsigned>(choice.days) * perDay + static_cast<unsigned>(choice.hours);
    // The period travels in one byte: a longer one would arrive cut short
    // and select a period nobody chose.
    if (steps > 0xFF) {
        return std::nullopt;
    }
    return ScheduleCommand{CmdHybridConfig, static_cast<std::uint8_t>(steps), true};
}

}  // namespace raid
