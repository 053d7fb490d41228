#pragma once

#include <string>

#include "app/platform.h"
#include "device/clock.h"
#include "device/device_changes.h"

namespace raid::cli {

// Runs the engine headless until SIGINT, SIGTERM or SIGHUP: writes the event log,
// prints each new log line and each mail request. Returns the exit code.
// With `metricsFile` set, the Prometheus text file is replaced after every poll.
int RunMonitor(Platform& platform, Clock& clock, DeviceChanges& changes,
               const std::string& metricsFile = {});

}  // namespace raid::cli
