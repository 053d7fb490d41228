#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/raid_status.h"
#include "monitor/alert_state.h"

namespace raid {

// What one look at an enclosure found: lines for the event log (each ending
// in its time text) and the notification kinds to ask for.
struct AlertFindings {
    std::vector<std::string> lines;
    std::vector<std::uint8_t> kinds;
};

// Heat and fan of a polled enclosure, `n` its number as the user sees it.
// Over heat from the limit on, normal again once the temperature is
// kHeatHysteresis below it; a fan that was seen turning and now stands, or
// the fan-failure bit. One finding per change.
AlertFindings WatchEnvironment(SlotAlert& alert, std::size_t n, const RaidStatus& record,
                               std::uint8_t heatLimit, const std::string& dt);

// The end of a rebuild the log followed: the task's failed status is a failed
// rebuild; both drives present is a finished one; anything else (a drive
// gone) is told by the drive's own line. `direction` as LogSlot keeps it.
AlertFindings RebuildEnded(SlotAlert& alert, std::size_t n, const RaidStatus& record,
                           std::uint8_t direction, const std::string& dt);

}  // namespace raid
