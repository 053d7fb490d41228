#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/device_state.h"

namespace raid {

// A drive's SMART overall word as the alerts see it. Unknown until the
// drive's data and thresholds have both been read: attributes compared with
// thresholds that never arrived would all read "Good".
enum class SmartWord : std::uint8_t { Unknown, Good, Warning, Error };
const char* SmartWordText(SmartWord word);  // "unknown", "Good", "Warning", "Error"

// The raw counts that grow as a disk wears out: reallocated sectors,
// sectors waiting for reallocation, sectors no offline scan could read.
inline constexpr std::array<std::uint8_t, 3> kWatchedAttributes = {0x05, 0xC5, 0xC6};

// A growing count is told at most this often per drive; the log has every change.
inline constexpr std::int64_t kCountAlertPauseSeconds = 3600;

inline constexpr std::uint8_t kDefaultHeatLimit = 55;  // degrees Celsius
inline constexpr std::uint8_t kHeatHysteresis = 5;

struct DriveAlert {
    bool watched = false;  // a reading was taken since the start or the last device change
    SmartWord word = SmartWord::Unknown;
    // The last word that was known; a drive starts as if it had been Good.
    SmartWord lastKnown = SmartWord::Good;
    // The last threshold pass read this drive's thresholds.
    bool thresholdsRead = false;
    std::array<std::optional<std::uint64_t>, kWatchedAttributes.size()> counts{};
    std::int64_t lastCountAlertAt = 0;  // 0: never
    // What the last SMART notification of this drive reports.
    std::vector<std::string> report;
};

struct RebuildEnd {
    bool failed = false;
    std::uint8_t taskStatus = 0;
    std::uint8_t direction = 0;  // 0: HDD2 -> HDD1, 1: HDD1 -> HDD2
};

struct SlotAlert {
    bool overHeat = false;
    bool fanFailed = false;
    bool fanSeen = false;  // the fan has been seen turning, so 0 RPM means it stopped
    std::uint8_t temperature = 0;
    std::uint16_t fanRpm = 0;
    RebuildEnd rebuild;
    std::array<DriveAlert, 2> drives{};
};

// What the alerts beyond a lost drive last saw, per monitored slot; main
// thread only. Notifications read it to say what happened.
struct AlertState {
    std::array<SlotAlert, kMaxSlots> slots{};
    std::uint8_t heatLimit = kDefaultHeatLimit;
    std::int64_t lastEventAt = 0;  // calendar seconds of the last alert line, 0: none
};

}  // namespace raid
