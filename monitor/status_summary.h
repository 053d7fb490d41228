#pragma once

#include <string>

#include "device/raid_status.h"

namespace raid {

// The array line of the status page: a rebuild's percentage and direction,
// or the state of the array. Lines are separated by "\n".
std::string ArrayStateText(const RaidStatus& record);

// "present", "absent", "failed" or "inserted" for one drive's class bits
// (HDD1 position).
const char* DriveClassName(std::uint8_t classBits);

// The fan and temperature are reported by the enclosure.
bool ReportsEnvironment(const RaidStatus& record);

}  // namespace raid
