// Alarms: every notification also shows on the window and the desktop, the
// state in red while it is not normal, the tray's worst state, and the
// acknowledgement that leaves the state shown.
#include <QPushButton>
#include <QtTest>

#include "tests/ui/test_classes.h"
#include "tests/ui/window_rig.h"

using raid::ArrayHealth;
using raid::uitest::LeavePicture;
using raid::uitest::WindowRig;

namespace {

QColor TextColour(QWidget* w) {
    return w->palette().color(QPalette::Active, QPalette::WindowText);
}

const QColor kRed(0xFF, 0x00, 0x00);

// The default scenario pulls HDD2 out of the mirror at 150 s and takes the
// stripe away at 200 s, counted from the rig clock's start.
void RunTo(WindowRig& rig, std::uint64_t ms) {
    const std::uint64_t start = raid::VirtualClock().NowMs();
    while (rig.clock.NowMs() - start < ms) {
        rig.PollOnce();
    }
}

// The disks are recounted after a device change and the new set applied.
void FollowDeviceChange(WindowRig& rig) {
    rig.engine.DeviceChanged();
    for (int tick = 0; tick < 11; ++tick) {
        rig.engine.Timer4Tick();
    }
    QVERIFY(rig.engine.RunDetectionPass());
    rig.engine.Timer4Tick();
    rig.ServeAll();
}

}  // namespace

class AlarmTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void driveGoneIsShownUntilAcknowledged() {
        WindowRig rig;
        rig.StartUp();
        RunTo(rig, 125000);  // the rebuild is over: both drives, "Normal"
        QCOMPARE(rig.Text("Label18"), QString("Normal"));
        QVERIFY(TextColour(rig.Find("Label18")) != kRed);
        QCOMPARE(rig.window.tray().health(), std::optional(ArrayHealth::Normal));
        // The end of the rebuild was told; once acknowledged nothing is pending.
        for (const auto& request : rig.mail.Requests()) {
            QVERIFY(request.kind != raid::kMailDriveRemoved);
        }
        rig.window.tray().acknowledgeAction().trigger();
        QVERIFY(!rig.window.tray().pending());
        const std::size_t before = rig.mail.Requests().size();

        RunTo(rig, 160000);
        // The mail request and the window's alarm come from the same place.
        QCOMPARE(rig.mail.Requests().size(), before + 1);
        QCOMPARE(rig.mail.Requests().back().kind, raid::kMailDriveRemoved);
        QCOMPARE(rig.Text("Label18"), QString("Single HDD\nPresent(02)"));
        QCOMPARE(TextColour(rig.Find("Label18")), kRed);
        QCOMPARE(TextColour(rig.Find("Label46")), kRed);  // "HDD2"
        QVERIFY(TextColour(rig.Find("Label45")) != kRed);
        raid::ui::TrayAlarm& tray = rig.window.tray();
        QVERIFY(tray.pending());
        QCOMPARE(tray.lastTitle(), QString("RAID GUI: Hard Disks Fail"));
        QVERIFY2(tray.lastMessage().startsWith("Device1 Sim Mirror Dock, HDD2: Hard Disks Fail"),
                 qPrintable(tray.lastMessage()));
        QCOMPARE(tray.health(), std::optional(ArrayHealth::Degraded));
        QVERIFY(tray.toolTip().contains("Device1 degraded"));
        QVERIFY(tray.toolTip().contains("Not acknowledged: Device1 Sim Mirror Dock, HDD2"));
        auto* mark = rig.Find<QPushButton>("AlarmAcknowledge");
        QVERIFY(mark->isVisibleTo(&rig.window));
        QVERIFY(mark->text().contains("HDD2: Hard Disks Fail"));
        QVERIFY(tray.acknowledgeAction().isEnabled());
        QVERIFY(LeavePicture(rig, "alarm-drive-gone"));

        // Acknowledged: the mark goes, the state stays as it is.
        QTest::mouseClick(mark, Qt::LeftButton);
        QVERIFY(!tray.pending());
        QVERIFY(mark->isHidden());
        QVERIFY(!tray.acknowledgeAction().isEnabled());
        QCOMPARE(TextColour(rig.Find("Label18")), kRed);
        QCOMPARE(tray.health(), std::optional(ArrayHealth::Degraded));
        rig.PollOnce();
        QVERIFY(!tray.pending());  // once per event, not once per poll
    }

    void enclosureGoneNamesTheEnclosure() {
        raid::sim::Scenario scenario = raid::sim::DefaultScenario();
        // Only the stripe leaving: no drive, rebuild or SMART news of the mirror.
        std::erase_if(scenario.timeline, [](const raid::sim::TimelineEvent& e) {
            return e.kind != raid::sim::EventKind::Enclosure;
        });
        // No backup countdown moving in the mirror's block: it stays the
        // same enclosure to the discovery that follows.
        scenario.enclosures[0].controller.backup.reset();
        WindowRig rig(scenario);
        rig.StartUp();
        rig.clock.Advance(200000);
        FollowDeviceChange(rig);
        QCOMPARE(rig.state.devices.table.count, 1);
        QCOMPARE(rig.mail.Requests().size(), std::size_t{1});
        QCOMPARE(rig.mail.Requests()[0].kind, raid::kMailDeviceRemoved);
        raid::ui::TrayAlarm& tray = rig.window.tray();
        QCOMPARE(tray.lastTitle(), QString("RAID GUI: Device Removed"));
        QVERIFY2(tray.lastMessage().startsWith("Device2 RAIDSIM Stripe D: Device Removed"),
                 qPrintable(tray.lastMessage()));
        // Acknowledged from the tray's menu.
        rig.window.tray().acknowledgeAction().trigger();
        QVERIFY(!tray.pending());
    }

    // The tray's colour and words follow the worst monitored enclosure.
    void worstStateOfTheMonitored_data() {
        QTest::addColumn<int>("mirrorClass");
        QTest::addColumn<int>("mirrorTask");
        QTest::addColumn<int>("stripeMode");
        QTest::addColumn<int>("expected");
        QTest::newRow("both normal") << 0x22 << 0 << 0 << int(ArrayHealth::Normal);
        QTest::newRow("a rebuild") << 0x22 << 1 << 0 << int(ArrayHealth::Rebuilding);
        QTest::newRow("a drive gone") << 0x42 << 0 << 0 << int(ArrayHealth::Degraded);
        QTest::newRow("bypassed stripe") << 0x42 << 0 << 63 << int(ArrayHealth::Failed);
        QTest::newRow("no drive") << 0x44 << 0 << 0 << int(ArrayHealth::Failed);
    }
    void worstStateOfTheMonitored() {
        QFETCH(int, mirrorClass);
        QFETCH(int, mirrorTask);
        QFETCH(int, stripeMode);
        QFETCH(int, expected);
        WindowRig rig;
        rig.StartUp();
        raid::RaidStatus& mirror = rig.Record(0);
        mirror.driveClass = static_cast<std::uint8_t>(mirrorClass);
        mirror.taskMask = static_cast<std::uint8_t>(mirrorTask);
        mirror.raidTaskStatus = 0;
        rig.Record(1).raidMode = static_cast<std::uint8_t>(stripeMode);
        rig.window.UpdateHealth();
        QCOMPARE(rig.window.tray().health(), std::optional(static_cast<ArrayHealth>(expected)));
        const QImage icon = rig.window.tray().icon().pixmap(32, 32).toImage();
        QVERIFY(!icon.isNull());
        // The enclosure that is not watched does not count.
        rig.Find<QCheckBox>("CheckBox1")->setChecked(false);
        QVERIFY(rig.window.tray().health() <=
                std::optional(stripeMode == 63 ? ArrayHealth::Failed : ArrayHealth::Normal));
    }
};

QObject* raid::uitest::MakeAlarmTest() {
    return new AlarmTest;
}

#include "alarm_test.moc"
