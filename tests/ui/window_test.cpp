// The main window as a whole: closing, the buzzer box, the status bar, the
// SMART countdown label and the log button.
#include <QCheckBox>
#include <QtTest>
#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>

#include "sysinfo/system_info.h"
#include "tests/ui/test_classes.h"
#include "tests/ui/window_rig.h"
#include "ui/guarded_application.h"
#include "ui/log_viewer.h"

using raid::uitest::WindowRig;

namespace {

bool HasLineContaining(const std::vector<std::string>& lines, const std::string& part) {
    for (const std::string& line : lines) {
        if (line.find(part) != std::string::npos) {
            return true;
        }
    }
    return false;
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void closeAndLogOffRefusedDuringAnUpgrade() {
        WindowRig rig;
        rig.StartUp();
        rig.window.show();
        rig.state.flags.MaintenanceBusy.store(1);
        QVERIFY(!rig.window.close());
        QVERIFY(rig.window.isVisible());
        QCOMPARE(rig.dialogs.boxes.size(), std::size_t{1});
        QCOMPARE(rig.dialogs.boxes[0].text,
                 std::string("Firmware is upgrading, please wait a moment."));
        QCOMPARE(rig.dialogs.boxes[0].caption, std::string("Message"));

        QVERIFY(!rig.window.QueryEndSession());
        QVERIFY(rig.window.isVisible());
        QCOMPARE(rig.dialogs.boxes.size(), std::size_t{2});
        QCOMPARE(rig.dialogs.boxes[1].text, rig.dialogs.boxes[0].text);
        QCOMPARE(rig.state.flags.AppClosing.load(), 0);

        rig.state.flags.MaintenanceBusy.store(0);
        QVERIFY(rig.window.QueryEndSession());
        QVERIFY(!rig.window.isVisible());
        QCOMPARE(rig.state.flags.AppClosing.load(), 1);
        QCOMPARE(rig.dialogs.boxes.size(), std::size_t{2});
    }

    // A close that arrives while a worker's hand-over runs (its wait lets the
    // window handle events) must not stop the workers under it: the work is
    // told to give up and the window closes once it has returned.
    void closeDuringAHandOverWaitsForIt() {
        WindowRig rig;
        rig.window.show();
        bool visibleInside = false;
        std::uint8_t closingInside = 0;
        std::thread worker([&] {
            rig.engine.queue().RunSync([&] {
                rig.window.close();
                visibleInside = rig.window.isVisible();
                closingInside = rig.state.flags.AppClosing.load();
            });
        });
        QVERIFY(rig.engine.queue().WaitForWork(5000));
        rig.window.RunHandOvers();
        worker.join();
        QVERIFY(visibleInside);
        QCOMPARE(closingInside, 1);
        QTRY_VERIFY(!rig.window.isVisible());
    }

    // The safety net of the program's application object: an exception out
    // of a handler goes to the error display, and the next events are still
    // handled.
    void exceptionFromAHandlerIsShownAndTheProgramGoesOn() {
        auto* app = qobject_cast<raid::ui::GuardedApplication*>(qApp);
        QVERIFY(app != nullptr);
        std::vector<std::string> shown;
        app->SetErrorDisplay([&shown](const std::string& text) { shown.push_back(text); });
        WindowRig rig;
        rig.window.show();
        QTimer::singleShot(0, &rig.window, [] { throw std::runtime_error("handler threw"); });
        bool later = false;
        QTimer::singleShot(10, &rig.window, [&later] { later = true; });
        QTRY_VERIFY(later);
        app->SetErrorDisplay({});
        QCOMPARE(shown, std::vector<std::string>{"handler threw"});
        QVERIFY(rig.window.isVisible());
    }

    // Engine work handed over by a worker that throws: the error is shown,
    // the worker goes on, and the window can still be closed.
    void exceptionFromAHandOverIsShownAndTheWindowStillCloses() {
        auto* app = qobject_cast<raid::ui::GuardedApplication*>(qApp);
        QVERIFY(app != nullptr);
        std::vector<std::string> shown;
        app->SetErrorDisplay([&shown](const std::string& text) { shown.push_back(text); });
        auto owner = std::make_unique<WindowRig>();
        WindowRig& rig = *owner;
        rig.window.show();
        auto returned = std::make_shared<std::atomic<bool>>(false);
        std::thread worker([&rig, returned] {
            rig.engine.queue().RunSync([] { throw std::runtime_error("poll threw"); });
            *returned = true;
        });
        QVERIFY(rig.engine.queue().WaitForWork(5000));
        QMetaObject::invokeMethod(
            &rig.window, [&rig] { rig.window.RunHandOvers(); }, Qt::QueuedConnection);
        if (!QTest::qWaitFor([&returned] { return returned->load(); }, 2000)) {
            // Left behind with the rig it waits on, so that the test fails
            // instead of hanging.
            app->SetErrorDisplay({});
            worker.detach();
            owner.release()->window.hide();
            QFAIL("the worker is still waiting for its hand-over");
        }
        worker.join();
        app->SetErrorDisplay({});
        QCOMPARE(shown, std::vector<std::string>{"poll threw"});
        QVERIFY(rig.window.close());
    }

    void buzzerMuteQueuesTheCommandAndReadsItBack() {
        WindowRig rig;
        rig.StartUp();
        auto* buzzer = rig.Find<QCheckBox>("CheckBox5");
        QVERIFY(!buzzer->isHidden());
        QVERIFY(!buzzer->isChecked());  // the mirror's buzzer sounds

        buzzer->click();
        QCOMPARE(rig.state.poll.QueuedCommand.load(), raid::CmdBuzzerMuteOn);
        QVERIFY(rig.state.poll.PollRequest.load() & raid::ReqApplySetting);
        QVERIFY(!buzzer->isEnabled());
        QVERIFY(rig.state.devices.slots[0].buzzerChanged);

        rig.ServeAll();
        rig.PollOnce();  // reads the buzzer back and logs the setting
        QVERIFY(!rig.state.devices.slots[0].buzzerChanged);
        QCOMPARE(rig.Record(0).controlFlags & 0x01, 0);
        QVERIFY(buzzer->isEnabled());
        QVERIFY(buzzer->isChecked());
        QVERIFY(HasLineContaining(rig.state.log.EventLog, "D1 Buzzer Mute(setted): ON, "));

        buzzer->click();
        QCOMPARE(rig.state.poll.QueuedCommand.load(), raid::CmdBuzzerMuteOff);
        rig.ServeAll();
        rig.PollOnce();
        QCOMPARE(rig.Record(0).controlFlags & 0x01, 1);
        QVERIFY(!buzzer->isChecked());
        QVERIFY(HasLineContaining(rig.state.log.EventLog, "D1 Buzzer Mute(setted): OFF, "));
    }

    void buzzerBoxIgnoredDuringStartUp() {
        WindowRig rig;
        rig.StartUp();
        rig.state.flags.StartupPass.store(1);
        rig.Find<QCheckBox>("CheckBox5")->click();
        QCOMPARE(rig.state.poll.QueuedCommand.load(), 0);
        QCOMPARE(rig.state.poll.PollRequest.load() & raid::ReqApplySetting, 0);
    }

    void buzzerBoxFollowsTheShownEnclosure() {
        WindowRig rig;
        rig.StartUp();
        auto* buzzer = rig.Find<QCheckBox>("CheckBox5");
        QTest::mouseClick(rig.Find<QWidget>("Image0_D2"), Qt::LeftButton);
        // The stripe's buzzer is muted.
        QVERIFY(buzzer->isChecked());
        QCOMPARE(rig.state.poll.QueuedCommand.load(), 0);
    }

    void statusBarDoubleClickShowsTheSystemReport() {
        WindowRig rig;
        rig.StartUp();
        QTest::mouseDClick(rig.Find<QWidget>("StatusBar1"), Qt::LeftButton);
        QCOMPARE(rig.dialogs.boxes.size(), std::size_t{1});
        QCOMPARE(rig.dialogs.boxes[0].caption, std::string("System Information"));
        QCOMPARE(rig.dialogs.boxes[0].text, raid::SystemInfoText(rig.state.systemInfoLines));
        QVERIFY(rig.dialogs.boxes[0].text.find("[System Information]") != std::string::npos);
    }

    void pollTracesReachTheStatusBar() {
        WindowRig rig;
        rig.StartUp();
        rig.PollOnce();
        raid::ui::StatusPanels& bar = rig.window.statusPanels();
        QCOMPARE(bar.PanelText(3), QString("G = 2x, 02"));
        QCOMPARE(bar.PanelText(2), QString("SC = 1x0202"));
        QCOMPARE(bar.PanelText(0), QString("5x,02"));
        QVERIFY(bar.PanelText(1).startsWith("y"));
    }

    void smartCountdownLabel_data() {
        QTest::addColumn<int>("countdown");
        QTest::addColumn<bool>("pending");
        QTest::addColumn<QString>("expected");
        QTest::newRow("a minute") << 60 << false << "Updates after 60 seconds.";
        QTest::newRow("two") << 2 << false << "Updates after 2 seconds.";
        QTest::newRow("one") << 1 << false << "Updates after 1 second.";
        QTest::newRow("due") << 0 << false << "Updating...";
        QTest::newRow("pending") << 30 << true << "Updating...";
    }
    void smartCountdownLabel() {
        QFETCH(int, countdown);
        QFETCH(bool, pending);
        QFETCH(QString, expected);
        WindowRig rig;
        rig.StartUp();
        QTest::mouseClick(rig.Find<QWidget>("Image_SMART"), Qt::LeftButton);
        QCOMPARE(rig.state.CurrentPage, 5);
        rig.state.SmartCountdown = static_cast<std::uint8_t>(countdown);
        if (pending) {
            rig.state.poll.PollRequest.fetch_or(raid::ReqSmartData);
        }
        rig.engine.Timer3Tick();
        QCOMPARE(rig.Text("Label21"), expected);
    }

    void noEnclosureFound() {
        raid::sim::Scenario empty;
        WindowRig rig(empty);
        rig.StartUp();
        QCOMPARE(rig.Text("StaticText1"), QString("No Drive found! "));
        QVERIFY(!rig.Find<QWidget>("StaticText1")->isHidden());
        // Only the pages that need no enclosure open.
        QVERIFY(rig.Find<QWidget>("Image_Sts")->isEnabled());
        QVERIFY(rig.Find<QWidget>("Image_Email")->isEnabled());
        QVERIFY(!rig.Find<QWidget>("Image_FWUpg")->isEnabled());
        QVERIFY(!rig.Find<QWidget>("Image_SMART")->isEnabled());
        QVERIFY(!rig.Find<QWidget>("Image2_Upgrade")->isEnabled());
        QVERIFY(rig.Find<QWidget>("CheckBox1")->isHidden());
        QVERIFY(rig.Find<QWidget>("Image0_Log")->isHidden());
        QVERIFY(!rig.engine.Timer2Enabled());
    }

    void enclosuresGoneClearsTheStatusPage() {
        WindowRig rig;
        rig.StartUp();
        QVERIFY(!rig.Text("Label17").isEmpty());
        rig.window.DevicesApplied(0);
        for (const char* name : {"Label17", "Label18", "Label25", "Label51", "Label48"}) {
            QVERIFY2(rig.Text(name).isEmpty(), name);
        }
        QVERIFY(rig.Find<QWidget>("Panel11")->isHidden());
    }

    void logButtonOpensOneViewer() {
        WindowRig rig;
        rig.StartUp();
        rig.window.show();
        QTest::mouseClick(rig.Find<QWidget>("Image0_Log"), Qt::LeftButton);
        raid::ui::LogViewer* viewer = rig.window.logViewer();
        QVERIFY(viewer != nullptr);
        QVERIFY(viewer->isVisible());
        QCOMPARE(viewer->windowModality(), Qt::ApplicationModal);
        QTest::mouseClick(rig.Find<QWidget>("Image0_Log"), Qt::LeftButton);
        QCOMPARE(rig.window.findChildren<raid::ui::LogViewer*>().size(), 1);
        viewer->close();
        QTRY_VERIFY(rig.window.logViewer() == nullptr);
    }

    void logButtonMovesWhilePressed() {
        WindowRig rig;
        rig.StartUp();
        auto* button = rig.Find<QWidget>("Image0_Log");
        const QPoint rest = button->pos();
        QTest::mousePress(button, Qt::LeftButton);
        QCOMPARE(button->pos(), rest + QPoint(0, 2));
        QTest::mousePress(button, Qt::LeftButton);  // a second press does not move it again
        QCOMPARE(button->pos(), rest + QPoint(0, 2));
        QTest::mouseRelease(button, Qt::LeftButton);
        QCOMPARE(button->pos(), rest);
        rig.window.logViewer()->close();
    }
};

QObject* raid::uitest::MakeWindowTest() {
    return new WindowTest;
}

#include "window_test.moc"
