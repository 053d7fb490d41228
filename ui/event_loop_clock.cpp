#include "ui/event_loop_clock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <algorithm>

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
    const std::uint64_t deadline = steady_.NowMs() + ms;
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        const std::uint64_t now = steady_.NowMs();
        if (now >= deadline) {
            return;
        }
        steady_.SleepMs(
            static_cast<std::uint32_t>(std::min<std::uint64_t>(deadline - now, kSliceMs)));
    }
}

}  // namespace raid::ui
