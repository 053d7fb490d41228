#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "device/device_state.h"
#include "maintenance/smart_reader.h"
#include "maintenance/smart_store.h"
#include "monitor/alert_state.h"

namespace raid {

struct SmartFindings {
    std::vector<std::string> lines;  // each ending in its time text
    // (device-table slot, drive) of every drive to notify about.
    std::vector<std::pair<std::uint8_t, std::uint8_t>> drives;
};

// The overall word of a drive from what the SMART store holds of it; Unknown
// while its data is missing or its thresholds were not read.
SmartWord DriveSmartWord(const SmartStore& store, const DriveAlert& alert, std::size_t slot,
                         std::size_t drive);

// After a SMART pass of `feature`: a threshold pass notes which drives'
// thresholds were read; a data pass compares each present drive's overall
// word and watched counts with the last ones. A worse word is told at once,
// a better one only logged; a growing count is told at most once an hour per
// drive, and every change is logged. The first reading of a drive is its
// base for the counts; its word counts as a change from "Good".
SmartFindings WatchSmartPass(AlertState& alerts, const SmartStore& store,
                             const DeviceState& devices, std::uint8_t feature,
                             const SmartPassReport& report, std::int64_t now,
                             const std::string& dt);

}  // namespace raid
