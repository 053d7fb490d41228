// The Upgrade page: loading an image through the file dialog and an upgrade
// click, with the window's event loop running between flash commands.
#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTimer>
#include <QtTest>

#include "tests/support/firmware_images.h"
#include "tests/ui/test_classes.h"
#include "tests/ui/window_rig.h"
#include "ui/status_panels.h"

using raid::uitest::WindowRig;

namespace {

void Click(WindowRig& rig, const char* name) {
    QTest::mouseClick(rig.Find<QWidget>(name), Qt::LeftButton);
}

QString WriteImage(const QTemporaryDir& dir, const std::vector<std::uint8_t>& bytes) {
    const QString path = dir.filePath("firmware.bin");
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    }
    return path;
}

}  // namespace

class UpgradePageTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void loadShowsTheFileAndChecksum() {
        WindowRig rig;
        rig.StartUp();
        QVERIFY(rig.window.OpenPage(raid::ui::kPageUpgrade));
        QTemporaryDir dir;
        const auto bytes = raid::testing::MakeImage(4096);
        const QString path = WriteImage(dir, bytes);
        rig.files.answers.push_back(path);
        Click(rig, "Image2_Load");

        QCOMPARE(rig.files.filters.size(), std::size_t{1});
        // "All files" shows files without a dot in their name too.
        QCOMPARE(rig.files.filters[0], QString("Binary code (*.bin);;All files (*)"));
        QCOMPARE(rig.Find<QLineEdit>("Edit9")->text(), path);
        QCOMPARE(rig.window.statusPanels().PanelText(4), "File:" + path);
        QVERIFY(rig.window.statusPanels().PanelText(0).startsWith("Chksum:"));
        QCOMPARE(rig.window.statusPanels().PanelText(2), QString("F:14040310"));
        QVERIFY(rig.state.maintenance.image.Loaded());
        QVERIFY(rig.dialogs.boxes.empty());

        // Cancelling the dialog keeps the image.
        rig.files.answers.push_back(std::nullopt);
        Click(rig, "Image2_Load");
        QVERIFY(rig.state.maintenance.image.Loaded());
    }

    void upgradeClickRunsWithTheWindowAlive() {
        WindowRig rig;
        rig.StartUp();
        QVERIFY(rig.window.OpenPage(raid::ui::kPageUpgrade));
        QTemporaryDir dir;
        const auto bytes = raid::testing::MakeImage(8192);
        rig.files.answers.push_back(WriteImage(dir, bytes));
        Click(rig, "Image2_Load");
        QVERIFY(rig.state.maintenance.image.Loaded());

        auto* timer1 = rig.window.findChild<QTimer*>("Timer1");
        QVERIFY(timer1 != nullptr);
        timer1->setInterval(0);  // so that it fires within this short test
        auto* panel1 = rig.Find<QGroupBox>("Panel1");
        auto* bar = rig.Find<QProgressBar>("ProgressBar1");
        auto* box1 = rig.Find<QCheckBox>("CheckBox1");
        QVERIFY(!panel1->isVisible());

        int pumps = 0;
        bool sawBusyControls = false;
        bool warningReadable = false;
        bool closeRefused = false;
        int highestBar = 0;
        QStringList captions;
        rig.engine.SetMessagePump([&] {
            QCoreApplication::processEvents();
            ++pumps;
            highestBar = std::max(highestBar, bar->value());
            if (panel1->isVisibleTo(&rig.window) && !captions.contains(panel1->title())) {
                captions << panel1->title();
            }
            if (pumps == 200) {
                sawBusyControls = panel1->isVisibleTo(&rig.window) && !box1->isEnabled() &&
                                  timer1->isActive() && rig.Text("Label12") == "Firmware Update...";
                closeRefused = !rig.window.close();
                // The progress box leaves the warning and the file field
                // uncovered, and its own texts fit it in the real font.
                const QRect box = panel1->geometry();
                warningReadable = !box.intersects(rig.Find<QWidget>("Panel2")->geometry()) &&
                                  !box.intersects(rig.Find<QWidget>("Edit9")->geometry()) &&
                                  rig.Find<QWidget>("Label55")->isVisibleTo(&rig.window) &&
                                  !rig.Find<QWidget>("Label59")->isVisibleTo(&rig.window);
                auto* label12 = rig.Find<QLabel>("Label12");
                warningReadable =
                    warningReadable &&
                    label12->fontMetrics().horizontalAdvance(label12->text()) <= label12->width() &&
                    panel1->fontMetrics().horizontalAdvance(panel1->title()) + 16 < box.width() &&
                    label12->geometry().bottom() < bar->geometry().top() &&
                    bar->geometry().bottom() < box.height();
                // A second load or upgrade click is ignored meanwhile.
                Click(rig, "Image2_Load");
                Click(rig, "Image2_Upgrade");
            }
        });
        Click(rig, "Image2_Upgrade");

        QVERIFY(sawBusyControls);
        QVERIFY(warningReadable);
        QVERIFY(closeRefused);
        QVERIFY(rig.Find<QWidget>("Label59")->isVisibleTo(&rig.window));
        // It asked first, naming the enclosure and the file.
        QCOMPARE(rig.dialogs.questions.size(), std::size_t{1});
        const std::string& question = rig.dialogs.questions[0].text;
        QVERIFY2(question.find("Device1 (disk 0: Sim Mirror Dock") != std::string::npos &&
                     question.find("firmware.bin (8192 bytes, Chksum:") != std::string::npos,
                 question.c_str());
        QCOMPARE(rig.files.filters.size(), std::size_t{1});
        QCOMPARE(captions, (QStringList{"Process 1 / 3", "Process 2 / 3", "Process 3 / 3"}));
        QVERIFY(highestBar > 0);  // Timer1 moved the bar while it ran
        // The bar counts the commands actually sent, and ends full.
        QCOMPARE(bar->maximum(), 8 + 2 * 64);
        QCOMPARE(bar->value(), bar->maximum());
        QVERIFY(!panel1->isVisibleTo(&rig.window));
        QVERIFY(!timer1->isActive());
        QVERIFY(box1->isEnabled());
        QCOMPARE(rig.state.flags.MaintenanceBusy.load(), 0);

        QCOMPARE(rig.dialogs.boxes.size(), std::size_t{2});
        QCOMPARE(rig.dialogs.boxes[0].text, std::string(raid::Engine::kUpgradeRunning));
        QCOMPARE(rig.dialogs.boxes[1].caption, std::string("Firmware Upgrade Message"));
        QVERIFY(rig.dialogs.boxes[1].text.starts_with("Firmware Upgrade 3/3 completed!"));
        QCOMPARE(rig.window.statusPanels().PanelText(4), QString("SPI Verify OK"));
        std::vector<std::uint8_t> flash;
        rig.sim.WithController(0, [&](raid::sim::Controller& c) {
            flash.assign(c.flash().contents().begin(), c.flash().contents().begin() + 8192);
        });
        QVERIFY(flash == bytes);
    }

    void aRefusedFileLeavesNoPathBehind() {
        WindowRig rig;
        rig.StartUp();
        QVERIFY(rig.window.OpenPage(raid::ui::kPageUpgrade));
        QTemporaryDir dir;
        auto bytes = raid::testing::MakeImage(4096);
        bytes[132] ^= 0xFF;  // GUID
        rig.files.answers.push_back(WriteImage(dir, bytes));
        Click(rig, "Image2_Load");
        QVERIFY(!rig.state.maintenance.image.Loaded());
        QCOMPARE(rig.Find<QLineEdit>("Edit9")->text(), QString());
    }

    // An image loaded for the second-pair enclosure (no family check) is
    // checked again when the upgrade starts on the first-pair one; and a No
    // to the question writes nothing.
    void theUpgradeChecksTheEnclosureChosenNow() {
        WindowRig rig;
        rig.StartUp();
        QVERIFY(rig.window.OpenPage(raid::ui::kPageUpgrade));
        Click(rig, "Image2_D2");
        QTemporaryDir dir;
        rig.files.answers.push_back(
            WriteImage(dir, raid::testing::MakeImage(4096, 0x12, 0x14040310, 0x27, 0x60)));
        Click(rig, "Image2_Load");
        QVERIFY(rig.state.maintenance.image.Loaded());
        Click(rig, "Image2_D1");
        rig.sim.SetRecording(true);
        Click(rig, "Image2_Upgrade");
        QCOMPARE(rig.dialogs.boxes.size(), std::size_t{1});
        QCOMPARE(rig.dialogs.boxes[0].text,
                 std::string("The firmware is not for this product.\nPlease check it."));
        QVERIFY(rig.dialogs.questions.empty());

        rig.dialogs.boxes.clear();
        Click(rig, "Image2_D2");
        rig.dialogs.answer = false;
        Click(rig, "Image2_Upgrade");
        QCOMPARE(rig.dialogs.questions.size(), std::size_t{1});
        QVERIFY(rig.dialogs.boxes.empty());
        QVERIFY(rig.sim.Commands(0).empty());
        QVERIFY(rig.sim.Commands(1).empty());
        QCOMPARE(rig.state.flags.MaintenanceBusy.load(), 0);
    }
};

QObject* raid::uitest::MakeUpgradePageTest() {
    return new UpgradePageTest;
}

#include "upgrade_page_test.moc"
