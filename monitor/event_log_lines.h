#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/device_state.h"
#include "monitor/event_log.h"

namespace raid {

// The texts of the event log's lines; `n` is the enclosure's number as the
// user sees it (device-table slot + 1), `dt` the time text of the pass.

// The block that describes one enclosure after start-up, a day change or a
// change of the enclosure set.
std::vector<std::string> DeviceInformationBlock(std::size_t n, const RaidStatus& record,
                                                const ControllerBlock& block);

enum class DriveEvent { None, Removed, Initialized, Failed, Inserted };

struct DriveChange {
    DriveEvent event = DriveEvent::None;
    std::vector<std::string> lines;
};

// The line (and detail lines) for drive `drive` (0 HDD1, 1 HDD2) whose class
// went from `oldClass` to the record's class; the new class decides, and
// nothing is written when the old class already had the same bit.
DriveChange DriveTransition(std::size_t n, int drive, std::uint8_t oldClass,
                            const RaidStatus& record, const std::string& dt);

// Rebuild progress and end: updates the slot and returns the line to log, if
// any. A returned line always means the log has changed.
std::optional<std::string> RebuildLine(LogSlot& slot, std::size_t n, const RaidStatus& record,
                                       const std::string& dt);

}  // namespace raid
