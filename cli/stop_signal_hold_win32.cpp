#include <windows.h>

#include "cli/stop_signal_hold.h"

namespace raid::cli {

// The console's Ctrl+C is ignored meanwhile. Whether one came is not
// recorded: a handler routine has no place of its own to note it.
StopSignalHold::StopSignalHold() {
    held_ = SetConsoleCtrlHandler(nullptr, TRUE) != 0;
}

StopSignalHold::~StopSignalHold() {
    if (held_) {
        SetConsoleCtrlHandler(nullptr, FALSE);
    }
}

bool StopSignalHold::TakeArrived() {
    return false;
}

}  // namespace raid::cli
