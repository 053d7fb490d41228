// The window on the desktop: start at login, the second start that brings
// the running window forward, the tray's menu and the close box.
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <thread>

#include "tests/ui/test_classes.h"
#include "tests/ui/window_rig.h"
#include "ui/desktop/autostart.h"
#include "ui/desktop/instance_activation.h"
#include "ui/gui_options.h"

using raid::uitest::WindowRig;

class DesktopTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void autostartLocation_data() {
        QTest::addColumn<QString>("config");
        QTest::addColumn<QString>("home");
        QTest::addColumn<QString>("expected");
        QTest::newRow("config folder") << "/c"
                                       << "/h"
                                       << "/c/autostart/raidgui.desktop";
        QTest::newRow("home only") << ""
                                   << "/h"
                                   << "/h/.config/autostart/raidgui.desktop";
        QTest::newRow("relative config is ignored") << "c"
                                                    << "/h"
                                                    << "/h/.config/autostart/raidgui.desktop";
        QTest::newRow("neither") << ""
                                 << ""
                                 << "";
    }
    void autostartLocation() {
        QFETCH(QString, config);
        QFETCH(QString, home);
        QFETCH(QString, expected);
        const QByteArray c = config.toUtf8();
        const QByteArray h = home.toUtf8();
        QCOMPARE(QString::fromStdString(raid::ui::AutostartLocation(
                     config.isEmpty() ? nullptr : c.constData(), h.constData())),
                 expected);
    }

    void autostartEntryQuotesTheProgram() {
        const std::string entry = raid::ui::AutostartEntry("/opt/my \"raid\"/raidgui");
        QVERIFY(QString::fromStdString(entry).contains("Exec=\"/opt/my \\\"raid\\\"/raidgui\"\n"));
    }

    // The tray's "Start at login" writes and removes the entry.
    void trayStartAtLogin() {
        QTemporaryDir config;
        const std::string location = config.filePath("autostart/raidgui.desktop").toStdString();
        WindowRig rig;
        rig.window.SetAutostartLocation(location);
        QAction& action = rig.window.tray().autostartAction();
        QVERIFY(!action.isChecked());
        action.trigger();
        QVERIFY(action.isChecked());
        QVERIFY(raid::ui::AutostartEnabled(location));
        action.trigger();
        QVERIFY(!action.isChecked());
        QVERIFY(!QFile::exists(QString::fromStdString(location)));
        QVERIFY(rig.dialogs.boxes.empty());
    }

    void autostartThatCannotBeWrittenSaysSo() {
        QTemporaryDir config;
        QFile blocker(config.filePath("autostart"));  // a file where the folder belongs
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        WindowRig rig;
        rig.window.SetAutostartLocation(config.filePath("autostart/raidgui.desktop").toStdString());
        rig.window.tray().autostartAction().trigger();
        QVERIFY(!rig.window.tray().autostartAction().isChecked());
        QCOMPARE(rig.dialogs.boxes.size(), std::size_t{1});
        QVERIFY(QString::fromStdString(rig.dialogs.boxes[0].text)
                    .startsWith("Start at login could not be switched on"));
    }

    void autostartOption_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("expected");  // 1 on, 0 off, -1 refused
        QTest::newRow("on") << QStringList{"--autostart", "on"} << 1;
        QTest::newRow("off") << QStringList{"--autostart=off"} << 0;
        QTest::newRow("no value") << QStringList{"--autostart"} << -1;
        QTest::newRow("other value") << QStringList{"--autostart=yes"} << -1;
        QTest::newRow("not alone") << QStringList{"--autostart=on", "--simulate"} << -1;
    }
    void autostartOption() {
        QFETCH(QStringList, args);
        QFETCH(int, expected);
        std::vector<std::string> list;
        for (const QString& a : args) {
            list.push_back(a.toStdString());
        }
        const raid::ui::GuiOptions o = raid::ui::ParseGuiOptions(list);
        if (expected < 0) {
            QVERIFY(!o.error.empty());
        } else {
            QCOMPARE(QString::fromStdString(o.error), QString());
            QCOMPARE(o.autostart, std::optional<bool>(expected == 1));
        }
    }

    // The running window hears a second start on the socket beside its lock.
    void secondStartAsksTheRunningWindow() {
        QTemporaryDir runtime;
        const QString path =
            raid::ui::ActivationSocketPath(runtime.filePath("KV_GUI.lock").toStdString());
        QCOMPARE(path, runtime.filePath("KV_GUI.sock"));
        QVERIFY(!raid::ui::AskRunningWindowToShow(path, 200));  // nobody listens yet

        // A socket left by a window that crashed does not stand in the way.
        QFile stale(path);
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        raid::ui::ActivationServer server(nullptr);
        QString error;
        QVERIFY2(server.Listen(path, error), qPrintable(error));
        QSignalSpy shown(&server, &raid::ui::ActivationServer::showRequested);

        bool answered = false;
        std::thread second([&] { answered = raid::ui::AskRunningWindowToShow(path, 5000); });
        QTRY_COMPARE(shown.count(), 1);
        second.join();
        QVERIFY(answered);
    }

    void trayMenuOffersItsEntries() {
        WindowRig rig;
        QStringList entries;
        for (QAction* action : rig.window.tray().menu().actions()) {
            if (!action->isSeparator()) {
                entries << action->text();
            }
        }
        QCOMPARE(entries,
                 QStringList({"Show", "Start at login", "Keep watching when the window is closed",
                              "Acknowledge alarm", "Quit"}));
    }

    // Without a tray the desktop shows, the close box ends the program
    // whatever was chosen: nothing would be left to bring the window back.
    void closeBoxEndsTheProgramWithoutATray() {
        WindowRig rig;
        rig.StartUp();
        rig.window.tray().keepWatchingAction().setChecked(true);
        rig.window.show();
        QVERIFY(!raid::ui::TrayAlarm::TrayShown());
        QVERIFY(rig.window.close());
        QCOMPARE(rig.state.flags.AppClosing.load(), 1);
    }
};

QObject* raid::uitest::MakeDesktopTest() {
    return new DesktopTest;
}

#include "desktop_test.moc"
