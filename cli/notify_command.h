#pragma once

#include <string>
#include <vector>

#include "app/platform.h"
#include "device/clock.h"

namespace raid::cli {

// `raidcli notify show|set|test ...`: the command run for every notification
// and the over-heat limit, in the same settings store as the mail. `args`
// are the words after "notify". Returns the exit code.
int RunNotify(const std::vector<std::string>& args, Platform& platform, Clock& clock);

}  // namespace raid::cli
