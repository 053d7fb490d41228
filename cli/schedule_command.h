#pragma once

#include <string>
#include <vector>

#include "app/platform.h"
#include "device/clock.h"

namespace raid::cli {

// `raidcli schedule [--device 1|2]` prints the backup schedule an enclosure
// reports; `raidcli schedule set off|preset1|preset2|preset3` or
// `... set --days D --hours H` sends a new period through the window's queued
// path, waits for the poll that follows and prints what the enclosure then
// reports. `args` are the words after the verb, --simulate taken out.
// Returns the exit code: non-zero when the schedule did not change.
int RunSchedule(Platform& platform, Clock& clock, const std::vector<std::string>& args);

}  // namespace raid::cli
