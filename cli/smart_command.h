#pragma once

#include "app/platform.h"
#include "device/clock.h"

namespace raid::cli {

// One discovery, one SMART threshold pass and one data pass, then the
// attribute table of every drive (or one JSON document). `device` 1 or 2
// limits the report to that enclosure; 0 reports all. Exit code 0 when every
// drive present was read.
int RunSmart(Platform& platform, Clock& clock, bool json, int device);

}  // namespace raid::cli
