#pragma once

#include <string>

#include "app/platform.h"
#include "device/clock.h"

namespace raid::cli {

struct FirmwareRequest {
    std::string action;  // "check" or "upgrade"
    std::string file;
    int device = 1;    // 1 or 2
    std::string disk;  // when set: the target by disk number 0-9 or device node
    bool yes = false;  // upgrade without asking
};

// `raidcli firmware check|upgrade FILE`: loads and checks the image against
// the chosen device like the Upgrade page, and for an upgrade rewrites its
// flash. Returns the exit status: 0 when the image fits (check) or the
// upgrade completed, 1 otherwise.
int RunFirmware(Platform& platform, Clock& clock, const FirmwareRequest& request);

}  // namespace raid::cli
