#include "ui/event_loop_clock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

namespace raid::ui {

bool OnGuiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

void PumpEventsIfGuiThread() {
    if (OnGuiThread()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

void EventLoopClock::SleepMs(std::uint32_t ms) {
    if (!OnGuiThread()) {
        steady_.SleepMs(ms);
        return;
    }
    // The thread sleeps in the event loop itself: it wakes for each event as
    // it comes and, when none comes, once at the deadline, which the timer's
    // own event marks. No polling in slices, so a wait costs no wake-ups.
    const std::uint64_t deadline = steady_.NowMs() + ms;
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(static_cast<int>(ms));
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    while (steady_.NowMs() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

}  // namespace raid::ui
