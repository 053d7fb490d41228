#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "app/stop_signal_set.h"
#include "cli/main_loop.h"

namespace raid::cli {
namespace {

void Drain(int fd) {
    std::uint64_t value = 0;
    while (read(fd, &value, sizeof value) > 0) {
    }
}

}  // namespace

struct MainLoopWaiter::Waits {
    Waits() = default;
    Waits(const Waits&) = delete;
    Waits& operator=(const Waits&) = delete;
    ~Waits() {
        for (int fd : {signalFd, wakeFd}) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }
    int signalFd = -1;
    int wakeFd = -1;
};

MainLoopWaiter::MainLoopWaiter() : waits_(std::make_unique<Waits>()) {}

MainLoopWaiter::~MainLoopWaiter() = default;

bool MainLoopWaiter::Open(std::string& error) {
    const sigset_t stop = StopSignalSet();
    if (int rc = pthread_sigmask(SIG_BLOCK, &stop, nullptr); rc != 0) {
        error = std::string("cannot block signals: ") + std::strerror(rc);
        return false;
    }
    waits_->signalFd = signalfd(-1, &stop, SFD_NONBLOCK | SFD_CLOEXEC);
    if (waits_->signalFd < 0) {
        error = std::string("cannot watch signals: ") + std::strerror(errno);
        return false;
    }
    waits_->wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (waits_->wakeFd < 0) {
        error = std::string("cannot make the main loop's wake-up: ") + std::strerror(errno);
        return false;
    }
    return true;
}

void MainLoopWaiter::Wake() {
    const std::uint64_t one = 1;
    // A full counter still wakes the loop, so a failed write loses nothing.
    [[maybe_unused]] const ssize_t n = write(waits_->wakeFd, &one, sizeof one);
}

bool MainLoopWaiter::Wait(std::uint64_t timeoutMs, int extraFd) {
    pollfd fds[3] = {
        {waits_->signalFd, POLLIN, 0}, {waits_->wakeFd, POLLIN, 0}, {extraFd, POLLIN, 0}};
    const nfds_t count = extraFd >= 0 ? 3 : 2;
    const int timeout = static_cast<int>(std::min<std::uint64_t>(timeoutMs, 60'000));
    const int ready = poll(fds, count, timeout);
    if (ready <= 0) {
        return false;  // timed out, or interrupted: the caller looks again
    }
    if (fds[1].revents & POLLIN) {
        Drain(waits_->wakeFd);
    }
    if (fds[0].revents & POLLIN) {
        signalfd_siginfo info;
        return read(waits_->signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info);
    }
    return false;
}

}  // namespace raid::cli
