#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "cli/main_loop.h"

namespace raid::cli {
namespace {

sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    // A closed terminal or a service manager's reload ends the monitor in
    // order too, with the last save of the event log.
    sigaddset(&set, SIGHUP);
    return set;
}

void Drain(int fd) {
    std::uint64_t value = 0;
    while (read(fd, &value, sizeof value) > 0) {
    }
}

}  // namespace

MainLoopWaiter::~MainLoopWaiter() {
    for (int fd : {signalFd_, wakeFd_}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

bool MainLoopWaiter::Open(std::string& error) {
    const sigset_t stop = StopSignals();
    if (int rc = pthread_sigmask(SIG_BLOCK, &stop, nullptr); rc != 0) {
        error = std::string("cannot block signals: ") + std::strerror(rc);
        return false;
    }
    signalFd_ = signalfd(-1, &stop, SFD_NONBLOCK | SFD_CLOEXEC);
    if (signalFd_ < 0) {
        error = std::string("cannot watch signals: ") + std::strerror(errno);
        return false;
    }
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0) {
        error = std::string("cannot make the main loop's wake-up: ") + std::strerror(errno);
        return false;
    }
    return true;
}

void MainLoopWaiter::Wake() {
    const std::uint64_t one = 1;
    // A full counter still wakes the loop, so a failed write loses nothing.
    [[maybe_unused]] const ssize_t n = write(wakeFd_, &one, sizeof one);
}

bool MainLoopWaiter::Wait(std::uint64_t timeoutMs, int extraFd) {
    pollfd fds[3] = {{signalFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}, {extraFd, POLLIN, 0}};
    const nfds_t count = extraFd >= 0 ? 3 : 2;
    const int timeout = static_cast<int>(std::min<std::uint64_t>(timeoutMs, 60'000));
    const int ready = poll(fds, count, timeout);
    if (ready <= 0) {
        return false;  // timed out, or interrupted: the caller looks again
    }
    if (fds[1].revents & POLLIN) {
        Drain(wakeFd_);
    }
    if (fds[0].revents & POLLIN) {
        signalfd_siginfo info;
        return read(signalFd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info);
    }
    return false;
}

}  // namespace raid::cli
