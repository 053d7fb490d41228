#include <pthread.h>
#include <signal.h>
#include <time.h>

#include <array>

#include "cli/stop_signal_hold.h"

namespace raid::cli {
namespace {

constexpr std::array<int, 4> kStopSignals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

sigset_t StopSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : kStopSignals) {
        sigaddset(&set, sig);
    }
    return set;
}

}  // namespace

StopSignalHold::StopSignalHold() {
    const sigset_t set = StopSet();
    sigset_t before;
    sigemptyset(&before);
    held_ = pthread_sigmask(SIG_BLOCK, &set, &before) == 0;
    for (std::size_t i = 0; i < kStopSignals.size(); ++i) {
        if (held_ && sigismember(&before, kStopSignals[i]) == 1) {
            blockedBefore_ |= 1u << i;
        }
    }
}

StopSignalHold::~StopSignalHold() {
    if (!held_) {
        return;
    }
    TakeArrived();
    sigset_t release;
    sigemptyset(&release);
    for (std::size_t i = 0; i < kStopSignals.size(); ++i) {
        if ((blockedBefore_ & (1u << i)) == 0) {
            sigaddset(&release, kStopSignals[i]);
        }
    }
    pthread_sigmask(SIG_UNBLOCK, &release, nullptr);
}

bool StopSignalHold::TakeArrived() {
    if (!held_) {
        return false;
    }
    const sigset_t set = StopSet();
    const timespec none{0, 0};
    bool arrived = false;
    // Only signals blocked here are pending here, so this never waits.
    while (sigtimedwait(&set, nullptr, &none) > 0) {
        arrived = true;
    }
    return arrived;
}

bool IgnoreBrokenPipes() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    return sigaction(SIGPIPE, &ignore, nullptr) == 0;
}

}  // namespace raid::cli
