// Page buttons, pages and the device slots.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QStackedWidget>
#include <QtTest>

#include "tests/ui/test_classes.h"
#include "tests/ui/window_rig.h"
#include "ui/screenshot.h"

using raid::ui::PictureButton;
using raid::uitest::LeavePicture;
using raid::uitest::WindowRig;

namespace {

QString PictureOf(WindowRig& rig, const QString& name) {
    return rig.window.findChild<PictureButton*>(name)->picture();
}

void Click(WindowRig& rig, const char* name) {
    QTest::mouseClick(rig.Find<QWidget>(name), Qt::LeftButton);
}

QPoint ButtonSlot(int k) {
    return QPoint(11, 78 + 44 * k);
}

}  // namespace

class NavigationTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void pageButtonSelectsItsPage_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("pageName");
        QTest::newRow("status") << "Image_Sts" << 0 << "Status";
        QTest::newRow("setup") << "Image_Setup" << 1 << "schedule_backup";
        QTest::newRow("upgrade") << "Image_FWUpg" << 2 << "Upgrade";
        QTest::newRow("smart") << "Image_SMART" << 5 << "SMART";
        QTest::newRow("about") << "Image_About" << 4 << "About";
    }
    void pageButtonSelectsItsPage() {
        QFETCH(QString, button);
        QFETCH(int, page);
        QFETCH(QString, pageName);
        WindowRig rig;
        rig.StartUp();
        Click(rig, "Image_About");  // start from another page than the one asked for
        Click(rig, qPrintable(button));
        QCOMPARE(rig.state.CurrentPage, page);
        QCOMPARE(rig.Find<QStackedWidget>("Notebook1")->currentWidget()->objectName(), pageName);
        for (const char* other : {"Image_Sts", "Image_Setup", "Image_FWUpg", "Image_Email",
                                  "Image_SMART", "Image_About"}) {
            const QString holder = QString(other) + (button == other ? "_Yellow" : "_White");
            QCOMPARE(PictureOf(rig, other), PictureOf(rig, holder));
        }
    }

    void pageButtonsLocked_data() {
        QTest::addColumn<bool>("startupPass");
        QTest::addColumn<int>("flashTarget");
        QTest::newRow("start-up pass") << true << 0x100;
        QTest::newRow("firmware target set") << false << 0;
    }
    void pageButtonsLocked() {
        QFETCH(bool, startupPass);
        QFETCH(int, flashTarget);
        WindowRig rig;
        rig.StartUp();
        rig.state.flags.StartupPass.store(startupPass ? 1 : 0);
        rig.state.flags.flashTargetIndex.store(static_cast<std::uint16_t>(flashTarget));
        Click(rig, "Image_FWUpg");
        QCOMPARE(rig.state.CurrentPage, 0);
        // The pages that need no enclosure open during the start-up pass,
        // never while a firmware target is set.
        Click(rig, "Image_Email");
        QCOMPARE(rig.state.CurrentPage, startupPass ? 3 : 0);
    }

    // The same set twice leaves the buttons as they are; another set lays the
    // visible buttons out on the first slots, in bit order.
    void pageButtonSets() {
        WindowRig rig;
        rig.StartUp();
        // The hybrid mirror: its designed set, and the E-mail page as well.
        const std::uint8_t offered = raid::ui::OfferedButtons(raid::ui::kButtonsWithSchedule);
        QCOMPARE(offered, std::uint8_t{0x3F});
        QCOMPARE(rig.window.lastPageButtonSet(), offered);
        auto* status = rig.Find<QWidget>("Image_Sts");
        auto* email = rig.Find<QWidget>("Image_Email");
        QVERIFY(!email->isHidden());
        QCOMPARE(email->pos(), ButtonSlot(3));
        status->move(300, 300);
        rig.window.ShowPageButtons(offered);
        QCOMPARE(status->pos(), QPoint(300, 300));

        rig.window.ShowPageButtons(raid::ui::kButtonsPlain);
        QCOMPARE(status->pos(), ButtonSlot(0));
        QVERIFY(rig.Find<QWidget>("Image_Setup")->isHidden());
        QCOMPARE(rig.Find<QWidget>("Image_FWUpg")->pos(), ButtonSlot(1));
        QCOMPARE(email->pos(), ButtonSlot(2));
        QVERIFY(!email->isHidden());
        QCOMPARE(rig.Find<QWidget>("Image_SMART")->pos(), ButtonSlot(3));
        QCOMPARE(rig.Find<QWidget>("Image_About")->pos(), ButtonSlot(4));
    }

    void titleAndAboutPage() {
        WindowRig rig;
        QCOMPARE(rig.window.windowTitle(), QString("RAID GUI v0.50.11-5b"));
        QCOMPARE(rig.Text("Label63"), QString("RAID Management Sofeware"));
        QCOMPARE(rig.Text("Label64"), QString("Version : "));
        QCOMPARE(rig.Text("Label65"), QString("v0.50.11-5b"));
        QVERIFY(rig.Find<QWidget>("Image4_Logo")->isHidden());
        QCOMPARE(PictureOf(rig, "Image_Background"), PictureOf(rig, "Image_Background_RAID"));
    }

    void screenshotOfAPageLeavesTheWindowAsItWas() {
        WindowRig rig;
        rig.StartUp();
        Click(rig, "Image0_D2");
        const QString status = rig.logFolder.filePath("status.png");
        const QString about = rig.logFolder.filePath("about.png");
        QVERIFY(raid::ui::SaveWindowPng(rig.window, status));
        QVERIFY(raid::ui::SaveWindowPng(rig.window, about, raid::ui::kPageAbout));
        // Each enclosure was shown with the About page open, not the status page.
        QVERIFY(QImage(status) != QImage(about));
        QCOMPARE(rig.window.currentPage(), int(raid::ui::kPageStatus));
        QCOMPARE(rig.state.poll.shownSlot, 1);
        QCOMPARE(rig.Find<QStackedWidget>("Notebook1")->currentIndex(), int(raid::ui::kPageStatus));
    }

    void choosingTheSecondEnclosure() {
        WindowRig rig;
        rig.StartUp();
        Click(rig, "Image0_D2");
        QCOMPARE(rig.state.poll.shownSlot, 1);
        QCOMPARE(PictureOf(rig, "Image0_D2"), PictureOf(rig, "Image0_D2_Yellow"));
        QCOMPARE(PictureOf(rig, "Image0_D1"), PictureOf(rig, "Image0_D1_White"));
        QCOMPARE(rig.Text("Label17"), QString("Striping(RAID0)"));
        QCOMPARE(rig.Text("Label18"), QString("Normal"));
        QCOMPARE(rig.Text("Label51"), QString("SIMDISK HD2000-B"));
        QCOMPARE(rig.window.windowTitle(), QString("RAID GUI v0.50.11-5b - RAIDSIM Stripe D"));
        // No backup schedule: the E-mail button instead of Setup.
        QCOMPARE(rig.window.lastPageButtonSet(), raid::ui::kButtonsPlain);
    }

    void untickingASlotShowsTheOther() {
        WindowRig rig;
        rig.StartUp();
        rig.state.devices.slots[0].failCount = 3;
        rig.Find<QCheckBox>("CheckBox1")->setChecked(false);
        QVERIFY(!rig.state.poll.slotChecked[0].load());
        QVERIFY(rig.Find<QWidget>("Image0_D1")->isHidden());
        QVERIFY(rig.Find<QWidget>("Image2_D1")->isHidden());
        QCOMPARE(rig.state.poll.shownSlot, 1);
        QCOMPARE(rig.state.devices.slots[0].failCount, 0);
        QCOMPARE(rig.Text("Label17"), QString("Striping(RAID0)"));

        // Ticked again: shown again, but the other slot stays selected.
        rig.Find<QCheckBox>("CheckBox1")->setChecked(true);
        QVERIFY(rig.state.poll.slotChecked[0].load());
        QVERIFY(!rig.Find<QWidget>("Image0_D1")->isHidden());
        QCOMPARE(rig.state.poll.shownSlot, 1);
    }

    void aSlotAloneIsSelectedWhenTicked() {
        WindowRig rig;
        rig.StartUp();
        rig.Find<QCheckBox>("CheckBox1")->setChecked(false);
        rig.Find<QCheckBox>("CheckBox3")->setChecked(false);
        QCOMPARE(rig.state.poll.shownSlot, 1);  // the last one left stays
        rig.Find<QCheckBox>("CheckBox1")->setChecked(true);
        QCOMPARE(rig.state.poll.shownSlot, 0);
        QCOMPARE(rig.window.upgradeSlot(), 0);
        QCOMPARE(rig.Text("Label17"), QString("Mirroring(RAID1)"));
    }

    // With one enclosure the box of the missing second slot is hidden but
    // still ticked; it must count as unticked, so the only enclosure stays
    // the one chosen.
    void missingSlotCountsAsUnticked() {
        raid::sim::Scenario scenario = raid::sim::DefaultScenario();
        scenario.enclosures.resize(1);
        std::erase_if(scenario.timeline,
                      [](const raid::sim::TimelineEvent& e) { return e.disk != 0; });
        WindowRig rig(scenario);
        rig.StartUp();
        auto* device2 = rig.Find<QCheckBox>("CheckBox3");
        QVERIFY(device2->isHidden());
        QVERIFY(device2->isChecked());

        rig.Find<QCheckBox>("CheckBox1")->setChecked(false);
        QCOMPARE(rig.state.poll.shownSlot, 0);
        QCOMPARE(rig.window.upgradeSlot(), 0);
        QCOMPARE(rig.window.ShowStatusPage(true), -1);  // nothing ticked, nothing to fill
        // The last readings do not stay as if all were well: the page says
        // that nothing is watched.
        QVERIFY(rig.Find<QWidget>("LabelNothingMonitored")->isVisibleTo(&rig.window));
        QCOMPARE(rig.Text("Label17"), QString());
        QCOMPARE(rig.Text("Label18"), QString());
        QVERIFY(!rig.window.tray().health().has_value());
        QVERIFY(rig.window.tray().toolTip().contains("nothing is being monitored"));
        QVERIFY(LeavePicture(rig, "one-enclosure-device1-unticked"));

        rig.Find<QLabel>("Label17")->setText("stale");
        rig.Find<QCheckBox>("CheckBox1")->setChecked(true);
        QCOMPARE(rig.state.poll.shownSlot, 0);
        QCOMPARE(PictureOf(rig, "Image0_D1"), PictureOf(rig, "Image0_D1_Yellow"));
        QCOMPARE(PictureOf(rig, "Image2_D1"), PictureOf(rig, "Image0_D1_Yellow"));
        QCOMPARE(rig.Text("Label17"), QString("Mirroring(RAID1)"));  // drawn afresh
        QVERIFY(rig.Find<QWidget>("LabelNothingMonitored")->isHidden());
        QVERIFY(rig.window.tray().health().has_value());
        rig.PollOnce();
        QCOMPARE(rig.Text("Label17"), QString("Mirroring(RAID1)"));
        QVERIFY(LeavePicture(rig, "one-enclosure-device1-ticked-again"));
    }

    // The stripe is shown when it goes away: the mirror takes its place,
    // with its own drives even though both pairs have the same classes.
    void shownEnclosureGoneShowsTheOther() {
        raid::sim::Scenario scenario = raid::sim::DefaultScenario();
        // The mirror keeps both drives, so its classes match the stripe's.
        std::erase_if(scenario.timeline, [](const raid::sim::TimelineEvent& e) {
            return e.kind == raid::sim::EventKind::DriveState;
        });
        WindowRig rig(scenario);
        rig.StartUp();
        Click(rig, "Image0_D2");
        QCOMPARE(rig.Text("Label51"), QString("SIMDISK HD2000-B"));

        rig.clock.Advance(200000);  // the scenario takes the stripe away at 200 s
        rig.engine.DeviceChanged();
        for (int tick = 0; tick < 11; ++tick) {
            rig.engine.Timer4Tick();  // the change settles, then the disks are recounted
        }
        QVERIFY(rig.engine.RunDetectionPass());
        rig.engine.Timer4Tick();
        rig.ServeAll();

        QCOMPARE(rig.state.devices.table.count, 1);
        QCOMPARE(rig.state.poll.shownSlot, 0);
        QVERIFY(rig.Find<QWidget>("CheckBox3")->isHidden());
        QVERIFY(rig.Find<QWidget>("Image0_D2")->isHidden());
        QCOMPARE(rig.Text("Label17"), QString("Mirroring(RAID1)"));
        QCOMPARE(rig.Text("Label51"), QString("SIMDISK HD4000-A"));
        QCOMPARE(PictureOf(rig, "Image0_D1"), PictureOf(rig, "Image0_D1_Yellow"));
    }

    void pollSwitchingASlotOffUnticksItsBox() {
        WindowRig rig;
        rig.StartUp();
        rig.window.SlotUnchecked(0);
        QVERIFY(!rig.Find<QCheckBox>("CheckBox1")->isChecked());
        QCOMPARE(rig.state.poll.shownSlot, 1);
    }

    void upgradePageKeepsItsOwnSlot() {
        WindowRig rig;
        rig.StartUp();
        rig.state.devices.diskSerials[1] = "SER-1";
        Click(rig, "Image_FWUpg");
        QCOMPARE(rig.Text("Label54"), QString("140403.0 ()"));
        Click(rig, "Image2_D2");
        QCOMPARE(rig.window.upgradeSlot(), 1);
        QCOMPARE(rig.Text("Label54"), QString("140403.0 (SER-1)"));
        QCOMPARE(PictureOf(rig, "Image2_D2"), PictureOf(rig, "Image0_D2_Yellow"));
        QCOMPARE(PictureOf(rig, "Image2_D1"), PictureOf(rig, "Image0_D1_White"));
        QCOMPARE(rig.state.poll.shownSlot, 0);

        rig.state.flags.flashTargetIndex.store(1);  // an upgrade runs: no switching
        Click(rig, "Image2_D1");
        QCOMPARE(rig.window.upgradeSlot(), 1);
        rig.state.flags.flashTargetIndex.store(raid::kNoFlashTarget);

        Click(rig, "Image_Sts");
        QCOMPARE(rig.window.windowTitle(),
                 QString("RAID GUI v0.50.11-5b - Sim Mirror Dock [/media/mirror]"));
        QCOMPARE(rig.Text("Label48"), QString("140403.0 ()"));
    }

    // New enclosures seen while another page was shown: the status page is
    // redrawn in full when it comes back.
    void fullRedrawOwedUntilTheStatusPageReturns() {
        WindowRig rig;
        rig.StartUp();
        Click(rig, "Image_About");
        raid::RaidStatus& r = rig.Record(0);
        const std::string model = "ENSWIDKS1 ";  // "NEWSDISK 1" as the drive delivers it
        std::fill(r.hdd1Model.begin(), r.hdd1Model.end(), ' ');
        std::copy(model.begin(), model.end(), r.hdd1Model.begin());
        rig.state.log.FullRedrawRequested = true;
        rig.window.RedrawStatus(0x01, true);
        QVERIFY(rig.state.log.FullRedrawRequested);
        Click(rig, "Image_Sts");
        QCOMPARE(rig.Text("Label51"), QString("NEWSDISK 1"));
        QVERIFY(!rig.state.log.FullRedrawRequested);
    }

    void schedulePageShowsOnlyTheSchedule() {
        WindowRig rig;
        rig.StartUp();
        Click(rig, "Image_Setup");
        QVERIFY(rig.Find<QWidget>("Image1_Initialize")->isHidden());
        QCOMPARE(rig.Find<QWidget>("Image1_Schedule")->pos(),
                 rig.Find<QWidget>("Image1_Initialize")->pos());
        QCOMPARE(rig.Find<QStackedWidget>("Notebook3")->currentIndex(), 1);
        QCOMPARE(PictureOf(rig, "Image1_Schedule"), PictureOf(rig, "Image1_Schedule_Yellow"));
        QVERIFY(rig.Find<QWidget>("CheckBox_Backup")->isHidden());
        QCOMPARE(rig.Find<QComboBox>("ComboBox1")->count(), 31);
        QCOMPARE(rig.Find<QComboBox>("ComboBox1")->itemText(9), QString("09"));
        QCOMPARE(rig.Find<QComboBox>("ComboBox1")->itemText(30), QString("30"));
    }

    void mailSectionsSwitchSubPages() {
        WindowRig rig;
        rig.StartUp();
        rig.window.ShowPageButtons(raid::ui::kButtonsPlain);
        Click(rig, "Image_Email");
        QCOMPARE(rig.state.CurrentPage, 3);
        rig.Find<QLineEdit>("Edit7")->setText("someone@example.com");
        Click(rig, "Image3_DeviceRemove");
        QCOMPARE(rig.Find<QStackedWidget>("Notebook2")->currentWidget()->objectName(),
                 QString("DeviceRemove"));
        QCOMPARE(PictureOf(rig, "Image3_DeviceRemove"),
                 PictureOf(rig, "Image3_DeviceRemove_Yellow"));
        QCOMPARE(PictureOf(rig, "Image3_Setup"), PictureOf(rig, "Image3_Setup_White"));
        QVERIFY(rig.Find<QLineEdit>("Edit7")->text().isEmpty());
    }
};

QObject* raid::uitest::MakeNavigationTest() {
    return new NavigationTest;
}

#include "navigation_test.moc"
