#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/device_state.h"

namespace raid {

// The radio buttons of the schedule sub-page.
enum class ScheduleButton {
    Off,         // RadioButton_10min
    Preset1,     // RadioButton_30min
    Preset2,     // RadioButton_1Hour
    Preset3,     // RadioButton_3Hour
    UserPeriod,  // RadioButton1, with ComboBox1 (days) and ComboBox2 (hours)
};

// What the user chose: a button, and for a user period the two combo-box
// indexes (days, and steps of the unit within a day).
struct ScheduleChoice {
    ScheduleButton button = ScheduleButton::Off;
    int days = 0;
    int hours = 0;
    bool operator==(const ScheduleChoice&) const = default;
};

inline constexpr int kMaxScheduleDays = 30;  // ComboBox1 holds "00" to "30"

// How the sub-page looks for the parameters in force.
struct ScheduleControls {
    std::array<std::string, 3> presetCaptions;  // RadioButton_30min, _1Hour, _3Hour
    bool userPeriod = false;                    // RadioButton1 shown
    int lowerPresetsTop = 160;                  // top of RadioButton_1Hour and _3Hour
    std::vector<std::string> hourItems;         // ComboBox2, the first selected
};

// An enclosure that keeps a schedule lends the process-wide parameters its
// unit and presets; one without leaves the last ones in force. True when the
// parameters now come from this enclosure.
bool ApplyScheduleParameters(ScheduleParameters& params, const FoundDevice& device,
                             std::uint8_t features);

// The captions and the user-period controls for these parameters.
ScheduleControls ScheduleControlsFor(const ScheduleParameters& params, std::uint8_t features);

// Whether the enclosure takes a period of the user's own.
bool OffersUserPeriod(const ScheduleParameters& params, std::uint8_t features);

// The controls pre-selected when the Setup page is opened, for the period
// `period` the enclosure reports.
ScheduleChoice EntryChoice(std::uint8_t period, const ScheduleParameters& params,
                           std::uint8_t features);

// The vendor command of a choice.
struct ScheduleCommand {
    std::uint8_t code = 0;
    std::uint8_t period = 0;  // the period that command selects, in steps
    // 0x78 carries its arguments (0x02, period, 0xDF) through the argument
    // setter; the sync commands use their fixed ones.
    bool userPeriod = false;
};

// nullopt when the choice names a period the enclosure cannot be sent: more
// steps than its period byte holds, or days in a unit that makes none.
std::optional<ScheduleCommand> CommandFor(const ScheduleChoice& choice,
                                          const ScheduleParameters& params);

// The "no change" rule: the command would select the period in force.
inline bool ScheduleUnchanged(std::uint8_t currentPeriod, const ScheduleCommand& command) {
    return currentPeriod == command.period;
}

}  // namespace raid
