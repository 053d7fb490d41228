// The status page: what one enclosure's record looks like on the window.
#include <QCheckBox>
#include <QFrame>
#include <QtTest>

#include "tests/ui/test_classes.h"
#include "tests/ui/window_rig.h"
#include "ui/device_texts.h"

using raid::uitest::WindowRig;

namespace {

// The eight firmware bytes of a controller block (46-53) for a version text.
void SetFirmware(raid::ControllerBlock& block, std::array<std::uint8_t, 8> bytes) {
    std::copy(bytes.begin(), bytes.end(), block.begin() + 46);
}

// Printable firmware bytes arrive pair-swapped: "100126.1" is stored "01"
// "01" "62" "1." .
std::array<std::uint8_t, 8> SwappedBytes(const char (&text)[9]) {
    std::array<std::uint8_t, 8> bytes{};
    for (std::size_t i = 0; i < 8; ++i) {
        bytes[i] = static_cast<std::uint8_t>(text[i ^ 1]);
    }
    return bytes;
}

}  // namespace

class StatusPageTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void startUpShowsTheFirstEnclosure() {
        WindowRig rig;
        rig.StartUp();
        QCOMPARE(rig.state.flags.StartupPass.load(), 0);
        QCOMPARE(rig.Text("Label17"), QString("Mirroring(RAID1)"));
        QCOMPARE(rig.Text("Label27"), QString("3726 GB"));
        QCOMPARE(rig.Text("Label25"), QString("3726 GB\n"));
        QCOMPARE(rig.Text("Label51"), QString("SIMDISK HD4000-A"));
        QCOMPARE(rig.Text("Label48"), QString("140403.0 ()"));
        QVERIFY(rig.Text("Label18").endsWith("%\n<<<<\nRebuilding"));
        QVERIFY(!rig.Find<QWidget>("Image0_Log")->isHidden());
        QCOMPARE(rig.window.windowTitle(),
                 QString("RAID GUI v0.50.11-5b - Sim Mirror Dock [/media/mirror]"));
        QCOMPARE(rig.Find<QCheckBox>("CheckBox1")->toolTip(), QString("PhysicalDrive0"));
        QCOMPARE(rig.Find<QCheckBox>("CheckBox3")->toolTip(), QString("PhysicalDrive1"));
        QCOMPARE(rig.Find<QWidget>("Image0_D2")->toolTip(), QString("RAIDSIM Stripe D"));
    }

    void arrayStateText_data() {
        QTest::addColumn<int>("driveClass");
        QTest::addColumn<int>("taskMask");
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("taskStatus");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("expected");
        QTest::newRow("both present") << 0x22 << 0 << 0 << 0 << 1 << "Normal";
        QTest::newRow("HDD2 absent") << 0x42 << 0 << 0 << 0 << 1 << "Single HDD\nPresent(02)";
        QTest::newRow("HDD1 absent") << 0x24 << 0 << 0 << 0 << 1 << "Single HDD\nPresent(20)";
        QTest::newRow("rebuild failed") << 0x22 << 0 << 0 << 3 << 1 << "Rebuild Failed";
        QTest::newRow("other task") << 0x22 << 0 << 0 << 0x05 << 1 << "Riad Status\n05";
        QTest::newRow("bypass") << 0x22 << 0 << 0 << 0 << 63 << "Failure";
        QTest::newRow("HDD1 rebuilding") << 0x22 << 1 << 45 << 2 << 1 << "45%\n<<<<\nRebuilding";
        QTest::newRow("HDD2 rebuilding") << 0x22 << 2 << 7 << 2 << 1 << "7%\n>>>>\nRebuilding";
        // The widest texts of their kinds.
        QTest::newRow("no drive") << 0x44 << 0 << 0 << 0 << 1 << "Single HDD\nPresent(00)";
        QTest::newRow("widest task code") << 0x22 << 0 << 0 << 0xDD << 1 << "Riad Status\nDD";
        QTest::newRow("widest percent") << 0x22 << 1 << 188 << 2 << 1 << "188%\n<<<<\nRebuilding";
    }
    void arrayStateText() {
        QFETCH(int, driveClass);
        QFETCH(int, taskMask);
        QFETCH(int, percent);
        QFETCH(int, taskStatus);
        QFETCH(int, mode);
        QFETCH(QString, expected);
        WindowRig rig;
        rig.StartUp();
        raid::RaidStatus& r = rig.Record(0);
        r.driveClass = static_cast<std::uint8_t>(driveClass);
        r.taskMask = static_cast<std::uint8_t>(taskMask);
        r.progressPercent = static_cast<std::uint8_t>(percent);
        r.raidTaskStatus = static_cast<std::uint8_t>(taskStatus);
        r.raidMode = static_cast<std::uint8_t>(mode);
        QCOMPARE(rig.window.ShowStatusPage(true), 0);
        QCOMPARE(rig.Text("Label18"), expected);

        // Shown whole, with the label's own font: nothing clipped.
        const QLabel* label = rig.Find("Label18");
        const QRect room = label->contentsRect();
        const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
        const QRect needed = QFontMetrics(label->font()).boundingRect(room, flags, expected);
        QVERIFY2(room.contains(needed), qPrintable(QString("needs %1 x %2, has %3 x %4")
                                                       .arg(needed.width())
                                                       .arg(needed.height())
                                                       .arg(room.width())
                                                       .arg(room.height())));
    }

    // The scenario files of the documentation's pictures: each enclosure
    // shows the state it was written for.
    void shippedStateScenarios_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("expected");  // a rebuild: the text's end
        QTest::newRow("rebuild failed") << "array-states-failed" << 0 << "Rebuild Failed";
        QTest::newRow("task code") << "array-states-failed" << 1 << "Riad Status\n21";
        QTest::newRow("bypass") << "array-states-modes" << 0 << "Failure";
        QTest::newRow("HDD1 gone") << "array-states-modes" << 1 << "Single HDD\nPresent(20)";
        QTest::newRow("HDD1 rebuilt") << "array-states-rebuilds" << 0 << "%\n<<<<\nRebuilding";
        QTest::newRow("HDD2 rebuilt") << "array-states-rebuilds" << 1 << "%\n>>>>\nRebuilding";
        QTest::newRow("normal") << "array-states-single" << 0 << "Normal";
        QTest::newRow("HDD2 gone") << "array-states-single" << 1 << "Single HDD\nPresent(02)";
    }
    void shippedStateScenarios() {
        QFETCH(QString, file);
        QFETCH(int, slot);
        QFETCH(QString, expected);
        const raid::sim::LoadResult loaded = raid::sim::LoadScenarioFile(
            std::string(RAIDGUI_SOURCE_DIR) + "/sim/scenarios/" + file.toStdString() + ".json");
        QVERIFY2(loaded.ok, loaded.error.c_str());
        WindowRig rig(loaded.scenario);
        rig.StartUp();
        rig.PollOnce();
        QVERIFY(rig.window.SelectStatusDevice(slot));
        QVERIFY2(rig.Text("Label18").endsWith(expected), qPrintable(rig.Text("Label18")));
    }

    // The detection text lies where no control of the status page is, shown
    // or not, and fits whole in its label.
    void detectionTextTouchesNothing_data() {
        QTest::addColumn<bool>("detected");
        QTest::addColumn<QString>("expected");
        QTest::newRow("detecting") << false << "Drive detecting";
        QTest::newRow("none found") << true << "No Drive found! ";
    }
    void detectionTextTouchesNothing() {
        QFETCH(bool, detected);
        QFETCH(QString, expected);
        WindowRig rig{raid::sim::Scenario{}};
        if (detected) {
            rig.StartUp();
        }
        const QLabel* text = rig.Find("StaticText1");
        QCOMPARE(text->text(), expected);
        QVERIFY(!text->isHidden());
        const QRect room = text->contentsRect();
        const QRect needed =
            QFontMetrics(text->font()).boundingRect(room, int(text->alignment()), expected);
        QVERIFY(room.contains(needed));

        const QRect area(text->mapTo(&rig.window, QPoint(0, 0)), text->size());
        const auto* page = rig.Find<QWidget>("Status");
        for (const QWidget* w : page->findChildren<QWidget*>()) {
            const QString name = w->objectName();
            if (name.endsWith("_Yellow") || name.endsWith("_White")) {
                continue;  // picture holders, never shown
            }
            if (name == "LabelNothingMonitored") {
                continue;  // takes the band only while enclosures are known
            }
            const QRect at(w->mapTo(&rig.window, QPoint(0, 0)), w->size());
            QVERIFY2(!area.intersects(at), qPrintable(name));
        }
    }

    // A rebuild reported at the same percentage leaves the text alone; a new
    // percentage, or another enclosure, rewrites it.
    void samePercentIsNotRewritten() {
        WindowRig rig;
        rig.StartUp();
        raid::RaidStatus& r = rig.Record(0);
        r.taskMask = 0x01;
        r.progressPercent = 30;
        rig.window.ShowStatusPage(false);
        QCOMPARE(rig.Text("Label18"), QString("30%\n<<<<\nRebuilding"));
        rig.Find("Label18")->setText("untouched");
        rig.window.ShowStatusPage(false);
        QCOMPARE(rig.Text("Label18"), QString("untouched"));
        r.progressPercent = 31;
        rig.window.ShowStatusPage(false);
        QCOMPARE(rig.Text("Label18"), QString("31%\n<<<<\nRebuilding"));
        rig.Find("Label18")->setText("untouched");
        rig.window.ShowStatusPage(true);
        QCOMPARE(rig.Text("Label18"), QString("31%\n<<<<\nRebuilding"));
    }

    void sizeTexts_data() {
        QTest::addColumn<qulonglong>("sectors");
        QTest::addColumn<QString>("expected");
        QTest::newRow("just below a gigabyte") << 0x1FFFFFull << "1023 MB\n";
        QTest::newRow("one gigabyte") << 0x200000ull << "1 GB\n";
        QTest::newRow("one megabyte and a bit") << 2049ull << "1 MB\n";
        QTest::newRow("4 TB drive") << 7814037168ull << "3726 GB\n";
    }
    void sizeTexts() {
        QFETCH(qulonglong, sectors);
        QFETCH(QString, expected);
        WindowRig rig;
        rig.StartUp();
        rig.Record(0).hdd1Capacity = sectors;
        rig.Record(0).hdd2Capacity = sectors;
        rig.window.ShowStatusPage(true);
        QCOMPARE(rig.Text("Label25"), expected);
        QCOMPARE(rig.Text("Label26"), expected);
    }

    // Per drive class: what the size and model labels show, their state and
    // the size's colour.
    void driveLabels_data() {
        QTest::addColumn<int>("hdd1Class");
        QTest::addColumn<bool>("serialKnown");
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("model");
        QTest::addColumn<bool>("sizeEnabled");
        QTest::addColumn<bool>("modelEnabled");
        QTest::addColumn<QColor>("colour");
        const QColor navy(0, 0, 0x80);
        const QColor red(0xFF, 0, 0);
        QTest::newRow("present") << 0x02 << true << "3726 GB\n"
                                 << "SIMDISK HD4000-A" << true << true << navy;
        QTest::newRow("failed") << 0x08 << true << "3726 GB\n"
                                << "SIMDISK HD4000-A" << true << false << red;
        QTest::newRow("absent, seen before") << 0x04 << true << "3726 GB\n"
                                             << "SIMDISK HD4000-A" << false << false << QColor();
        QTest::newRow("absent, never seen") << 0x04 << false << ""
                                            << "" << false << false << QColor();
        QTest::newRow("no class") << 0x00 << true << ""
                                  << "" << true << true << QColor();
        QTest::newRow("inserted keeps the old text") << 0x01 << true << "before"
                                                     << "before" << true << true << QColor();
    }
    void driveLabels() {
        QFETCH(int, hdd1Class);
        QFETCH(bool, serialKnown);
        QFETCH(QString, size);
        QFETCH(QString, model);
        QFETCH(bool, sizeEnabled);
        QFETCH(bool, modelEnabled);
        QFETCH(QColor, colour);
        WindowRig rig;
        rig.StartUp();
        raid::RaidStatus& r = rig.Record(0);
        r.driveClass = static_cast<std::uint8_t>(0x20 | hdd1Class);
        r.taskMask = 0;
        if (!serialKnown) {
            r.hdd1Serial.fill(' ');
        }
        rig.Find("Label25")->setText("before");
        rig.Find("Label51")->setText("before");
        rig.window.ShowStatusPage(true);
        QCOMPARE(rig.Text("Label25"), size);
        QCOMPARE(rig.Text("Label51"), model);
        QCOMPARE(rig.Find("Label25")->isEnabled(), sizeEnabled);
        QCOMPARE(rig.Find("Label51")->isEnabled(), modelEnabled);
        if (colour.isValid()) {
            QCOMPARE(rig.Find("Label25")->palette().color(QPalette::Active, QPalette::WindowText),
                     colour);
        }
    }

    // The drives are redrawn only when their class changed or when forced.
    void drivesRedrawnOnlyOnChange() {
        WindowRig rig;
        rig.StartUp();
        rig.Find("Label51")->setText("marker");
        rig.window.ShowStatusPage(false);
        QCOMPARE(rig.Text("Label51"), QString("marker"));
        rig.Record(0).driveClass = 0x82;
        rig.window.ShowStatusPage(false);
        QCOMPARE(rig.Text("Label52"), QString("SIMDISK HD4000-A"));
        QVERIFY(!rig.Find("Label52")->isEnabled());
    }

    // With both boxes unticked nothing is watched: the page says so rather
    // than keep the last readings as if all were well.
    void bothSlotsUntickedSayNothingIsMonitored() {
        WindowRig rig;
        rig.StartUp();
        QVERIFY(!rig.Text("Label17").isEmpty());
        rig.Find<QCheckBox>("CheckBox1")->setChecked(false);
        QVERIFY(rig.Find<QWidget>("LabelNothingMonitored")->isHidden());
        rig.Find<QCheckBox>("CheckBox3")->setChecked(false);
        QVERIFY(rig.Find<QWidget>("LabelNothingMonitored")->isVisibleTo(&rig.window));
        for (const char* value : {"Label17", "Label18", "Label27", "Label25", "Label51"}) {
            QCOMPARE(rig.Text(value), QString());
        }
        rig.Record(0).raidMode = 3;
        QCOMPARE(rig.window.ShowStatusPage(true), -1);
        QCOMPARE(rig.Text("Label17"), QString());
    }

    void noDeviceOrOtherPageFillsNothing() {
        WindowRig rig;
        QCOMPARE(rig.window.ShowStatusPage(true), -1);  // nothing discovered yet
        rig.StartUp();
        rig.window.SelectPage(raid::ui::kPageAbout);
        QCOMPARE(rig.window.ShowStatusPage(true), -1);
    }

    void envPanelFromFirmwareDate_data() {
        QTest::addColumn<QByteArray>("firmware");
        QTest::addColumn<bool>("supported");
        auto bytes = [](std::array<std::uint8_t, 8> b) {
            return QByteArray(reinterpret_cast<const char*>(b.data()), 8);
        };
        QTest::newRow("100126.") << bytes(SwappedBytes("100126.1")) << true;
        QTest::newRow("100125.") << bytes(SwappedBytes("100125.9")) << false;
        QTest::newRow("binary 140403.1")
            << bytes({0x14, 0x04, 0x03, 0x21, 0x00, 0x00, 0x00, 0x00}) << true;
        QTest::newRow("binary 091231.1")
            << bytes({0x09, 0x12, 0x31, 0x01, 0x00, 0x00, 0x00, 0x00}) << false;
        QTest::newRow("not a date") << bytes(SwappedBytes("V1.02.03")) << false;
    }
    void envPanelFromFirmwareDate() {
        QFETCH(QByteArray, firmware);
        QFETCH(bool, supported);
        WindowRig rig;
        rig.StartUp();
        std::array<std::uint8_t, 8> b{};
        std::copy(firmware.begin(), firmware.end(), b.begin());
        SetFirmware(rig.state.devices.blocks[rig.state.devices.table.Disk(0)], b);
        rig.state.devices.slots[0].envRefresh = false;
        rig.Record(0).envStatus = 0xA0;
        rig.window.RebuildDeviceList();
        rig.window.ShowStatusPage(true);
        QCOMPARE(rig.window.EnvPanelSupported(), supported);
        QCOMPARE(!rig.Find<QFrame>("Panel11")->isHidden(), supported);
    }

    void envPanelNeedsTheEnclosuresReport_data() {
        QTest::addColumn<int>("envStatus");
        QTest::addColumn<bool>("shown");
        QTest::newRow("reports") << 0xA0 << true;
        QTest::newRow("fan failure still reports") << 0xA1 << true;
        QTest::newRow("0xAA") << 0xAA << false;
        QTest::newRow("does not report") << 0xFF << false;
    }
    void envPanelNeedsTheEnclosuresReport() {
        QFETCH(int, envStatus);
        QFETCH(bool, shown);
        WindowRig rig;
        rig.StartUp();  // the mirror reports its environment: envRefresh is set
        rig.Record(0).envStatus = static_cast<std::uint8_t>(envStatus);
        rig.window.ShowStatusPage(false);
        QCOMPARE(!rig.Find<QFrame>("Panel11")->isHidden(), shown);
    }

    void environmentValuesAndAlarmColours() {
        WindowRig rig;
        rig.StartUp();
        raid::RaidStatus& r = rig.Record(0);
        r.fanRpm = 2600;
        r.temperature = 61;
        r.envStatus = 0xA0 | 0x04;
        rig.window.ShowStatusPage(false);
        QCOMPARE(rig.Text("Label5"), QString("2600"));
        QCOMPARE(rig.Text("Label7"), QString("61"));
        const auto colour = [&](const char* name) {
            return rig.Find(name)->palette().color(QPalette::Active, QPalette::WindowText);
        };
        QCOMPARE(colour("Label5"), QColor(0, 0, 0xFF));
        QCOMPARE(colour("Label7"), QColor(0xFF, 0, 0));
    }

    void versionAndSerialLabel() {
        WindowRig rig;
        rig.StartUp();
        rig.state.devices.diskSerials[0] = "WD-123456";
        rig.window.RebuildDeviceList();
        rig.window.ShowStatusPage(false);
        QCOMPARE(rig.Text("Label48"), QString("140403.0 (WD-123456)"));
    }
};

QObject* raid::uitest::MakeStatusPageTest() {
    return new StatusPageTest;
}

#include "status_page_test.moc"
