#pragma once

#include "app/platform.h"
#include "device/clock.h"

namespace raid::cli {

// One discovery and one poll, then every enclosure as the status page shows
// it (or as one JSON document). Returns the exit code.
int RunStatus(Platform& platform, Clock& clock, bool json);

}  // namespace raid::cli
