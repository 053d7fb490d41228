#pragma once

#include "app/platform.h"
#include "device/clock.h"

namespace raid::cli {

// Sends the probe and the controller-information command to every disk that
// opens and prints what answered. Returns the exit code.
int RunProbe(Platform& platform, Clock& clock);

}  // namespace raid::cli
