#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/platform.h"
#include "device/device_changes.h"
#include "monitor/event_log.h"

namespace raid {

// What every front end does at the start and at the end of a run.

// The device notifications a run follows: the simulated machine's own when
// simulating, otherwise what `watchHost` opens for the real disks. Never null.
std::unique_ptr<DeviceChanges> RunDeviceChanges(
    Platform& platform, bool simulate,
    const std::function<std::unique_ptr<DeviceChanges>()>& watchHost);

// At the end of a run, lines that failed saves kept in memory (of today and
// of earlier days) get one more chance; a day file whose lines could not be
// read is never replaced. Returns an error text, empty when nothing was owed
// or it worked.
std::string SaveOwedLogLines(EventLogState& log);

}  // namespace raid
