#pragma once

// POSIX only: included by the Linux backends of the two front ends.
#include <signal.h>

namespace raid {

// The signals that end raidgui and raidcli in order, with the event log's last
// save, rather than by their default action: Ctrl+C, a service manager's stop,
// and the terminal or the session going away.
inline sigset_t StopSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace raid
