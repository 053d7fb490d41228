// The Upgrade page: loading an image through the file dialog and an upgrade
// click, with the window's event loop running between flash commands.
#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
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
        QCOMPARE(rig.files.filters[0], QString("Binary code (*.bin);;All files (*.*)"));
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
        bool closeRefused = false;
        int highestBar = 0;
        QStringList captions;
        rig.engine.SetMessagePump([&] {
            QCoreApplication::processEvents();
            ++pumps;
            highestBar = std::max(highestBar, bar->value());
            if (!captions.contains(panel1->title())) {
                captions << panel1->title();
            }
            if (pumps == 200) {
                sawBusyControls = panel1->isVisibleTo(&rig.window) && !box1->isEnabled() &&
                                  timer1->isActive() && rig.Text("Label12") == "Firmware Update...";
                closeRefused = !rig.window.close();
                // A second load or upgrade click is ignored meanwhile.
                Click(rig, "Image2_Load");
                Click(rig, "Image2_Upgrade");
            }
        });
        Click(rig, "Image2_Upgrade");

        QVERIFY(sawBusyControls);
        QVERIFY(closeRefused);
        QCOMPARE(rig.files.filters.size(), std::size_t{1});
        QCOMPARE(captions, (QStringList{"Process 1 / 3", "Process 2 / 3", "Process 3 / 3"}));
        QVERIFY(highestBar > 0);  // Timer1 moved the bar while it ran
        QCOMPARE(bar->maximum(), 256 + 4 + 30);
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
};

QObject* raid::uitest::MakeUpgradePageTest() {
    return new UpgradePageTest;
}

#include "upgrade_page_test.moc"
