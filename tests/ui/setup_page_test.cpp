// The Setup page: the backup schedule of a hybrid enclosure and its Set.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QMessageBox>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTimer>
#include <QtTest>

#include "maintenance/schedule_text.h"
#include "tests/ui/test_classes.h"
#include "tests/ui/window_rig.h"
#include "ui/event_loop_clock.h"
#include "ui/gui_runtime.h"
#include "ui/setup_page.h"

using raid::uitest::WindowRig;

namespace {

const QString kPeriodPrefix = "Schedule Backup Period(Setted): ";
const QString kWaitPrefix = " Wait to Backup in minutes : ";

void Click(WindowRig& rig, const char* name) {
    QWidget* w = rig.Find<QWidget>(name);
    // A radio button takes clicks on its circle and caption only.
    const QPoint at =
        qobject_cast<QRadioButton*>(w) != nullptr ? QPoint(6, w->height() / 2) : w->rect().center();
    QTest::mouseClick(w, Qt::LeftButton, {}, at);
}

// The default scenario's mirror with a schedule in 6-hour steps (presets
// 6 hours, 1 day and 5 days) and the period `period`; no timeline.
raid::sim::Scenario SixHourMirror(std::uint8_t period) {
    raid::sim::Scenario s = raid::sim::DefaultScenario();
    s.timeline.clear();
    raid::sim::BackupConfig& b = *s.enclosures[0].controller.backup;
    b.unit = 6;
    b.presets = {1, 4, 20};
    b.period = period;
    return s;
}

// Started, past the start-up pass, on the Setup page; the Set's wait serves
// the polling thread's requests, as the hand-over would.
void OpenSetup(WindowRig& rig) {
    rig.StartUp();
    rig.PollOnce();
    rig.window.setupPage().SetWaitPump([&rig] { rig.engine.poller().ServeRequest(); });
    Click(rig, "Image_Setup");
}

QStringList Items(QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i) {
        items << box->itemText(i);
    }
    return items;
}

std::vector<std::uint8_t> SettingCodes(WindowRig& rig) {
    std::vector<std::uint8_t> codes;
    for (const auto& r : rig.sim.Commands(0)) {
        if (r.code >= raid::CmdSyncEvery10Min && r.code <= raid::CmdHybridConfig) {
            codes.push_back(r.code);
        }
    }
    return codes;
}

}  // namespace

class SetupPageTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void choosingSevenDaysChangesTheEnclosureAndTheLabelsShowIt() {
        WindowRig rig;
        OpenSetup(rig);
        QCOMPARE(rig.Find<QStackedWidget>("Notebook3")->currentIndex(), 1);
        QVERIFY(rig.Find<QRadioButton>("RadioButton_30min")->isChecked());  // 1 day in force
        QCOMPARE(rig.Text("Label_Backep_Period"), kPeriodPrefix + "1 day ");
        QCOMPARE(rig.Text("Label_Backup_mess"), kWaitPrefix + "1440 (1d:0h:0m)");

        auto* sevenDays = rig.Find<QRadioButton>("RadioButton_1Hour");
        QCOMPARE(sevenDays->text(), QString("7 days"));
        rig.sim.SetRecording(true);
        Click(rig, "RadioButton_1Hour");
        QVERIFY(sevenDays->isChecked());
        Click(rig, "Image1_Set");

        QCOMPARE(SettingCodes(rig), std::vector<std::uint8_t>{raid::CmdSyncEvery1Hour});
        QCOMPARE(rig.Record(0).backupInfo[0], 7);
        QCOMPARE(rig.Text("Label_Backep_Period"), kPeriodPrefix + "7 days ");
        QCOMPARE(rig.Text("Label_Backup_mess"), kWaitPrefix + "10080 (7d:0h:0m)");
        QCOMPARE(rig.dialogs.boxes.size(), std::size_t{1});
        QCOMPARE(rig.dialogs.boxes[0].text, std::string("Schedule Backup Setting OK!"));
        QCOMPARE(rig.dialogs.boxes[0].caption, std::string("Setting"));

        // The same choice again sends nothing and says nothing.
        Click(rig, "Image1_Set");
        QCOMPARE(SettingCodes(rig).size(), std::size_t{1});
        QCOMPARE(rig.dialogs.boxes.size(), std::size_t{1});
    }

    void sixHourStepsCaptionThePresetsAndPreselectTheUserPeriod() {
        WindowRig rig(SixHourMirror(10));
        OpenSetup(rig);
        QCOMPARE(rig.Find<QRadioButton>("RadioButton_30min")->text(), QString("6 hours"));
        QCOMPARE(rig.Find<QRadioButton>("RadioButton_1Hour")->text(), QString("1 day"));
        QCOMPARE(rig.Find<QRadioButton>("RadioButton_3Hour")->text(), QString("5 days"));
        QVERIFY(!rig.Find<QRadioButton>("RadioButton1")->isHidden());
        QCOMPARE(rig.Find<QWidget>("RadioButton_1Hour")->y(), 152);
        QCOMPARE(rig.Find<QWidget>("RadioButton_3Hour")->y(), 152);
        QCOMPARE(Items(rig.Find<QComboBox>("ComboBox2")), (QStringList{"00", "06", "12", "18"}));

        // Period 10 is 2 days and 12 hours: no preset, the user period.
        QVERIFY(rig.Find<QRadioButton>("RadioButton1")->isChecked());
        QCOMPARE(rig.Find<QComboBox>("ComboBox1")->currentText(), QString("02"));
        QCOMPARE(rig.Find<QComboBox>("ComboBox2")->currentText(), QString("12"));
        for (const char* name : {"Label66", "Label67", "ComboBox1", "ComboBox2"}) {
            QVERIFY2(!rig.Find<QWidget>(name)->isHidden(), name);
        }
        QCOMPARE(rig.Text("LabelUserPeriodSet"), QString("Sets: 2 days 12 hours"));
        QCOMPARE(rig.Text("Label_Backep_Period"), kPeriodPrefix + "2 days 12 hours");
        auto* backup = rig.Find<QCheckBox>("CheckBox_Backup");
        QVERIFY(backup->isHidden());
        QVERIFY(!backup->isChecked());
        QVERIFY(backup->isEnabled());

        // A preset hides the day and hour boxes; the user period shows them.
        Click(rig, "RadioButton_10min");
        for (const char* name : {"Label66", "Label67", "ComboBox1", "ComboBox2"}) {
            QVERIFY2(rig.Find<QWidget>(name)->isHidden(), name);
        }
        Click(rig, "RadioButton1");
        QVERIFY(!rig.Find<QWidget>("ComboBox1")->isHidden());
    }

    void userPeriodIsSentInStepsOfTheUnit() {
        WindowRig rig(SixHourMirror(4));
        OpenSetup(rig);
        QVERIFY(rig.Find<QRadioButton>("RadioButton_1Hour")->isChecked());  // 1 day = preset 2
        rig.sim.SetRecording(true);
        Click(rig, "RadioButton1");
        rig.Find<QComboBox>("ComboBox1")->setCurrentIndex(2);
        rig.Find<QComboBox>("ComboBox2")->setCurrentIndex(2);  // "12"
        Click(rig, "Image1_Set");
        const auto sent = rig.sim.Commands(0);
        const auto set = std::find_if(sent.begin(), sent.end(), [](const auto& r) {
            return r.code == raid::CmdHybridConfig;
        });
        QVERIFY(set != sent.end());
        QCOMPARE(set->args, (std::array<std::uint8_t, 3>{0x02, 10, 0xDF}));
        QCOMPARE(rig.Text("Label_Backep_Period"), kPeriodPrefix + "2 days 12 hours");
    }

    // Five-hour steps: four make a day, so "01" day and "20" hours are 8
    // steps, 40 hours. The page says what will be set before Set.
    void unitThatDoesNotDivideADayShowsThePeriodSet() {
        raid::sim::Scenario s = SixHourMirror(9);
        s.enclosures[0].controller.backup->unit = 5;
        WindowRig rig(s);
        OpenSetup(rig);
        // Period 9, 45 hours, is no preset: the user period, with its value.
        QVERIFY(rig.Find<QRadioButton>("RadioButton1")->isChecked());
        QCOMPARE(rig.Find<QComboBox>("ComboBox1")->currentText(), QString("02"));
        QCOMPARE(rig.Find<QComboBox>("ComboBox2")->currentText(), QString("05"));
        QCOMPARE(rig.Text("LabelUserPeriodSet"), QString("Sets: 1 day 21 hours"));
        QCOMPARE(rig.Text("Label_Backep_Period"), kPeriodPrefix + "1 day 21 hours");

        rig.Find<QComboBox>("ComboBox1")->setCurrentIndex(1);
        rig.Find<QComboBox>("ComboBox2")->setCurrentIndex(4);  // "20"
        QCOMPARE(rig.Text("LabelUserPeriodSet"), QString("Sets: 1 day 16 hours"));
        rig.sim.SetRecording(true);
        Click(rig, "Image1_Set");
        const auto sent = rig.sim.Commands(0);
        const auto set = std::find_if(sent.begin(), sent.end(), [](const auto& r) {
            return r.code == raid::CmdHybridConfig;
        });
        QVERIFY(set != sent.end());
        QCOMPARE(set->args, (std::array<std::uint8_t, 3>{0x02, 8, 0xDF}));
        QCOMPARE(rig.Text("Label_Backep_Period"), kPeriodPrefix + "1 day 16 hours");

        Click(rig, "RadioButton_10min");
        QVERIFY(rig.Find<QWidget>("LabelUserPeriodSet")->isHidden());
    }

    // A period that is no preset on an enclosure without a user period: the
    // design checked "Off", and a Set without looking switched backups off.
    void periodTheControlsCannotShowChoosesNothing() {
        raid::sim::Scenario s = SixHourMirror(10);
        s.enclosures[0].controller.hybridConfig = false;
        WindowRig rig(s);
        OpenSetup(rig);
        for (const char* name : {"RadioButton_10min", "RadioButton_30min", "RadioButton_1Hour",
                                 "RadioButton_3Hour", "RadioButton1"}) {
            QVERIFY2(!rig.Find<QRadioButton>(name)->isChecked(), name);
        }
        rig.sim.SetRecording(true);
        Click(rig, "Image1_Set");
        QVERIFY(SettingCodes(rig).empty());
        QVERIFY(rig.dialogs.boxes.empty());
        QCOMPARE(rig.Text("Label_Backep_Period"), kPeriodPrefix + "2 days 12 hours");
    }

    // The Setup button follows the enclosure of the status page, which Set
    // works on; an enclosure that refuses the command is an error, not "OK".
    void refusedSettingIsAnError() {
        WindowRig rig;
        OpenSetup(rig);
        Click(rig, "Image_Sts");
        Click(rig, "Image0_D2");  // the stripe keeps no schedule
        QVERIFY(rig.Find<QWidget>("Image_Setup")->isHidden());
        Click(rig, "Image_FWUpg");
        Click(rig, "Image2_D1");  // the mirror on the Upgrade page
        QCOMPARE(rig.window.upgradeSlot(), 0);
        QVERIFY(rig.Find<QWidget>("Image_Setup")->isHidden());

        // The Set as the old button let it run: on the stripe.
        rig.sim.SetRecording(true);
        rig.Find<QRadioButton>("RadioButton_1Hour")->setChecked(true);
        rig.window.setupPage().Image1_SetClick();
        const auto sent = rig.sim.Commands(1);
        QVERIFY(std::any_of(sent.begin(), sent.end(),
                            [](const auto& r) { return r.code == raid::CmdSyncEvery1Hour; }));
        QCOMPARE(rig.state.poll.lastSettingStatus.load(), 0xD0);
        QCOMPARE(rig.dialogs.boxes.size(), std::size_t{1});
        QCOMPARE(rig.dialogs.boxes[0].text,
                 std::string("Schedule Backup Setting fail!\n Please try again!"));
        QCOMPARE(rig.dialogs.boxes[0].caption, std::string("Setting"));
    }

    void enclosureWithoutUserPeriodHidesItsButton() {
        raid::sim::Scenario s = raid::sim::DefaultScenario();
        s.enclosures[0].controller.hybridConfig = false;  // no answer to the 0x78 query
        WindowRig rig(s);
        OpenSetup(rig);
        QVERIFY(rig.Find<QWidget>("RadioButton1")->isHidden());
        QCOMPARE(rig.Find<QWidget>("RadioButton_1Hour")->y(), 160);
    }

    // While the page is shown every poll rebuilds the texts: the count runs
    // down, and a backup that keeps HDD2 busy says so.
    void pollsRefreshTheTextsWhileThePageIsShown() {
        raid::sim::Scenario s = SixHourMirror(1);
        s.enclosures[0].controller.backup->count = 30;  // five minutes
        s.enclosures[0].drives[0].state = raid::sim::kStatePresent;
        s.enclosures[0].taskStatus = raid::sim::kTaskNone;
        WindowRig rig(s);
        OpenSetup(rig);
        QCOMPARE(rig.Text("Label_Backup_mess"), kWaitPrefix + "5 (0d:0h:5m)");
        for (int i = 0; i < 13; ++i) {  // 65 seconds on
            rig.PollOnce();
        }
        QCOMPARE(rig.Text("Label_Backup_mess"), kWaitPrefix + "4 (0d:0h:4m)");
        for (int i = 0; i < 60 && (rig.Record(0).taskMask & 0x02) == 0; ++i) {
            rig.PollOnce();
        }
        QCOMPARE(rig.Text("Label_Backup_mess"), kWaitPrefix + " (Backing up...)");
    }

    // The Set waits with the window alive: events posted before the click
    // are handled while it waits (here for a hand-over that never comes).
    void theWaitHandlesWindowEvents() {
        WindowRig rig;
        OpenSetup(rig);
        rig.window.setupPage().SetWaitPump(
            [] { QCoreApplication::processEvents(QEventLoop::AllEvents); });
        Click(rig, "RadioButton_3Hour");
        bool handledDuringTheWait = false;
        QTimer::singleShot(0, &rig.window, [&] {
            handledDuringTheWait = rig.window.setupPage().lastOutcome() == std::nullopt &&
                                   rig.state.poll.QueuedCommand.load() != 0;
        });
        Click(rig, "Image1_Set");
        QVERIFY(handledDuringTheWait);
        QCOMPARE(rig.window.setupPage().lastOutcome(), raid::ScheduleSetOutcome::NotServed);
        QCOMPARE(rig.dialogs.boxes.size(), std::size_t{1});
        QCOMPARE(rig.dialogs.boxes[0].text,
                 std::string("Schedule Backup Setting fail!\n Please try again!"));
        QCOMPARE(rig.window.statusPanels().PanelText(4), QString());
    }

    // The program as it runs: worker threads, the hand-over through the event
    // loop and real time. The Set is served within its waits.
    void setOnTheRunningProgram() {
        QTemporaryDir logs;
        qputenv("RAIDGUI_LOG_DIR", logs.path().toLocal8Bit());
        raid::ui::EventLoopClock clock;
        raid::PlatformResult made = raid::MakeSimulatedPlatform("", clock, nullptr);
        QVERIFY(made.ok);
        auto runtime = std::make_unique<raid::ui::GuiRuntime>(
            made.platform, clock, std::move(made.platform.deviceChanges));
        raid::AppState& state = runtime->state();
        raid::ui::MainWindow& window = runtime->window();
        runtime->Start();
        QTRY_VERIFY_WITH_TIMEOUT(
            state.devices.table.count == 2 && state.flags.StartupPass.load() == 0, 20000);
        QVERIFY(window.OpenPage(raid::ui::kPageSetup));
        auto* sevenDays = window.findChild<QRadioButton*>("RadioButton_1Hour");
        QTest::mouseClick(sevenDays, Qt::LeftButton, {}, QPoint(6, sevenDays->height() / 2));
        QVERIFY(sevenDays->isChecked());
        QTest::mouseClick(window.findChild<QWidget*>("Image1_Set"), Qt::LeftButton);
        QCOMPARE(window.setupPage().lastOutcome(), raid::ScheduleSetOutcome::Ok);
        QCOMPARE(window.findChild<QLabel*>("Label_Backep_Period")->text(),
                 kPeriodPrefix + "7 days ");
        QCOMPARE(window.findChild<QLabel*>("Label_Backup_mess")->text(),
                 kWaitPrefix + "10080 (7d:0h:0m)");
        QMessageBox* box = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* b = qobject_cast<QMessageBox*>(w); b != nullptr && b->isVisible()) {
                box = b;
            }
        }
        QVERIFY(box != nullptr);
        QCOMPARE(box->text(), QString("Schedule Backup Setting OK!"));
        QCOMPARE(box->windowTitle(), QString("Setting"));
        box->close();
        window.close();
        runtime->Finish();
        runtime.reset();
        qunsetenv("RAIDGUI_LOG_DIR");
    }
};

QObject* raid::uitest::MakeSetupPageTest() {
    return new SetupPageTest;
}

#include "setup_page_test.moc"
