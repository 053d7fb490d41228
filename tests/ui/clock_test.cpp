// Waits on the window's thread let the window run.
#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

#include "tests/ui/test_classes.h"
#include "ui/event_loop_clock.h"

class ClockTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void sleepOnTheWindowThreadHandlesEvents() {
        raid::ui::EventLoopClock clock;
        int fired = 0;
        QTimer timer;
        timer.setInterval(5);
        connect(&timer, &QTimer::timeout, [&] { ++fired; });
        timer.start();
        QElapsedTimer elapsed;
        elapsed.start();
        clock.SleepMs(100);
        // Whole milliseconds on both clocks: the last one may be cut short.
        QVERIFY(elapsed.elapsed() >= 99);
        QVERIFY2(fired >= 5, qPrintable(QString("the timer fired %1 times").arg(fired)));
    }
};

QObject* raid::uitest::MakeClockTest() {
    return new ClockTest;
}

#include "clock_test.moc"
