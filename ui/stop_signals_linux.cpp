#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QObject>
#include <QSocketNotifier>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "ui/stop_signals.h"

namespace raid::ui {
namespace {

sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    // The terminal or the session going away: end in order too, rather than
    // losing the event log's last save to the default action.
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace

bool BlockStopSignals() {
    const sigset_t set = StopSignals();
    const int rc = pthread_sigmask(SIG_BLOCK, &set, nullptr);
    if (rc != 0) {
        std::fprintf(stderr, "raidgui: cannot block signals: %s\n", std::strerror(rc));
        return false;
    }
    return true;
}

void WatchStopSignals(QObject* parent, std::function<void()> onStop) {
    const sigset_t set = StopSignals();
    const int fd = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "raidgui: stop signals are not watched: %s\n", std::strerror(errno));
        return;
    }
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, parent);
    QObject::connect(notifier, &QSocketNotifier::activated, parent,
                     [fd, onStop = std::move(onStop)] {
                         signalfd_siginfo info;
                         bool stop = false;
                         while (read(fd, &info, sizeof info) == sizeof info) {
                             stop = true;
                         }
                         if (stop && onStop) {
                             onStop();
                         }
                     });
    QObject::connect(notifier, &QObject::destroyed, [fd] { close(fd); });
}

}  // namespace raid::ui
