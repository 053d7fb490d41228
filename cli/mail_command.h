#pragma once

#include <string>
#include <vector>

#include "app/platform.h"
#include "device/clock.h"

namespace raid::cli {

// `raidcli mail show|set|test ...`: the mail settings without the window,
// through the same operations as its E-mail page. `args` are the words after
// "mail". Returns the exit code.
int RunMail(const std::vector<std::string>& args, Platform& platform, Clock& clock);

}  // namespace raid::cli
