// The SMART page: the attribute table of the chosen drive, its colours and
// words, the cell texts, the refresh countdown and the dump.
#include <QFile>
#include <QHeaderView>
#include <QTableWidget>
#include <QtTest>

#include "tests/ui/test_classes.h"
#include "tests/ui/window_rig.h"
#include "ui/smart_page.h"

using raid::ui::PictureButton;
using raid::uitest::WindowRig;

namespace {

void Click(WindowRig& rig, const char* name) {
    QTest::mouseClick(rig.Find<QWidget>(name), Qt::LeftButton);
}

QTableWidget* Grid(WindowRig& rig) {
    return rig.Find<QTableWidget>("StringGrid3");
}

// Puts attributes (ID, worst, threshold, raw) into the first slots of the
// store's sectors for HDD1 of the first enclosure.
void PutAttributes(WindowRig& rig, std::initializer_list<std::array<std::uint64_t, 4>> attributes) {
    raid::SmartSector& data = rig.state.smart.data[0][0];
    raid::SmartSector& thresholds = rig.state.smart.thresholds[0][0];
    data.fill(0);
    thresholds.fill(0);
    std::size_t slot = 0;
    for (const auto& a : attributes) {
        const std::size_t at = 2 + 12 * slot++;
        data[at] = static_cast<std::uint8_t>(a[0]);
        data[at + 3] = 100;
        data[at + 4] = static_cast<std::uint8_t>(a[1]);
        for (std::size_t i = 0; i < 6; ++i) {
            data[at + 5 + i] = static_cast<std::uint8_t>(a[3] >> (8 * i));
        }
        thresholds[at] = static_cast<std::uint8_t>(a[0]);
        thresholds[at + 1] = static_cast<std::uint8_t>(a[2]);
    }
}

QColor TextColour(QLabel* label) {
    return label->palette().color(QPalette::Active, QPalette::WindowText);
}

}  // namespace

class SmartPageTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void showsHdd1OfTheShownEnclosure() {
        WindowRig rig;
        rig.StartUp();
        Click(rig, "Image_SMART");
        QCOMPARE(rig.state.CurrentPage, 5);
        QTableWidget* grid = Grid(rig);
        QVERIFY(!grid->isHidden());
        QCOMPARE(grid->rowCount(), 13);
        QCOMPARE(grid->columnCount(), 6);
        QCOMPARE(grid->item(3, 0)->text(), QString("05-Reallocated sector count"));
        QCOMPARE(grid->item(3, 3)->text(), QString("140"));
        QCOMPARE(grid->item(5, 4)->text(), QString("000000002866"));
        QCOMPARE(grid->item(5, 5)->text(), QString("Good"));
        QCOMPARE(rig.Text("Label22"), QString(" SMART - HDD1 : SIMDISK HD4000-A"));
        QCOMPARE(rig.Text("Label23"), QString(" Good "));
        QCOMPARE(rig.Text("Label24"), QString(" 4K Sector supported : Yes "));
        QCOMPARE(rig.Find("Label24")->toolTip(), QString("WORD[106]=0x6003"));
        auto* head = rig.Find<QTableWidget>("StringGrid4");
        const QStringList titles{"ID", "Value", "Worst", "Threshold", "RAW", "Status"};
        for (int c = 0; c < 6; ++c) {
            QCOMPARE(head->item(0, c)->text(), titles[c]);
            // RAW as wide as twelve of the widest digit need, at least as designed.
            const int width = c == raid::ui::SmartPage::kRawColumn
                                  ? raid::ui::SmartPage::RawColumnWidth(grid->font())
                                  : raid::ui::SmartPage::kColumnWidths[c];
            QCOMPARE(head->columnWidth(c), width);
            QCOMPARE(grid->columnWidth(c), width);
        }
        QCOMPARE(grid->rowHeight(0), 16);
        // Shown for the first time: the first cell is selected, and selecting
        // it names the attribute.
        QCOMPARE(grid->currentRow(), 0);
        QCOMPARE(grid->currentColumn(), 0);
        QCOMPARE(rig.window.statusPanels().PanelText(4), QString("01-Raw read error rate"));
    }

    void driveButtonsChooseTheDrive() {
        WindowRig rig;
        rig.StartUp();
        Click(rig, "Image_SMART");
        Click(rig, "Image5_HDD2");
        QCOMPARE(rig.window.smartPage().drive(), 1);
        QCOMPARE(rig.Text("Label22"), QString(" SMART - HDD2 : SIMDISK HD4000-A"));
        auto picture = [&](const char* name) {
            return rig.window.findChild<PictureButton*>(name)->picture();
        };
        QCOMPARE(picture("Image5_HDD2"), picture("Image5_HDD2_Yellow"));
        QCOMPARE(picture("Image5_HDD1"), picture("Image5_HDD1_White"));

        rig.state.flags.flashTargetIndex.store(0);
        Click(rig, "Image5_HDD1");
        QCOMPARE(rig.window.smartPage().drive(), 1);  // refused during an upgrade
    }

    void secondEnclosureShowsItsOwnDrives() {
        WindowRig rig;
        rig.StartUp();
        QVERIFY(rig.window.SelectStatusDevice(1));
        Click(rig, "Image_SMART");
        Click(rig, "Image5_HDD2");
        QCOMPARE(rig.Text("Label22"), QString(" SMART - HDD2 : SIMDISK HD2000-B"));
        QCOMPARE(rig.Text("Label24"), QString(" 4K Sector supported : No "));
        QCOMPARE(rig.Find("Label24")->toolTip(), QString("WORD[106]=0x4000"));
    }

    void rowColoursAndOverallWord_data() {
        QTest::addColumn<int>("worst");
        QTest::addColumn<int>("pendingRaw");
        QTest::addColumn<QColor>("firstRow");
        QTest::addColumn<QColor>("secondRow");
        QTest::addColumn<QString>("overall");
        QTest::addColumn<QColor>("overallColour");
        QTest::newRow("good") << 100 << 0 << QColor(Qt::white) << QColor(Qt::white) << " Good "
                              << QColor(Qt::black);
        QTest::newRow("pending") << 100 << 3 << QColor(Qt::white) << QColor(Qt::yellow)
                                 << " Warning " << QColor(0x80, 0, 0);
        QTest::newRow("worn") << 20 << 3 << QColor(Qt::red) << QColor(Qt::yellow) << " Error "
                              << QColor(Qt::red);
    }
    void rowColoursAndOverallWord() {
        QFETCH(int, worst);
        QFETCH(int, pendingRaw);
        QFETCH(QColor, firstRow);
        QFETCH(QColor, secondRow);
        QFETCH(QString, overall);
        QFETCH(QColor, overallColour);
        WindowRig rig;
        rig.StartUp();
        PutAttributes(rig, {{5, static_cast<std::uint64_t>(worst), 36, 0},
                            {197, 100, 0, static_cast<std::uint64_t>(pendingRaw)}});
        Click(rig, "Image_SMART");
        const auto& colours = rig.window.smartPage().rowColours();
        QCOMPARE(colours.size(), std::size_t{2});
        QCOMPARE(colours[0], firstRow);
        QCOMPARE(colours[1], secondRow);
        QCOMPARE(rig.Text("Label23"), overall);
        QCOMPARE(TextColour(rig.Find("Label23")), overallColour);
        // The grid paints the row colour into its cells.
        const QImage shot = Grid(rig)->viewport()->grab().toImage();
        QCOMPARE(QColor(shot.pixel(Grid(rig)->columnViewportPosition(1) + 2, 16 + 8)), secondRow);
    }

    // The widest raw value fits its column in the grid's real font; the
    // cell's tooltip gives the full name and the value in decimal.
    void rawColumnFitsTheWidestValue() {
        WindowRig rig;
        rig.StartUp();
        PutAttributes(rig, {{0xBB, 100, 0, 0xDDDDDDDDDDDDull}, {0x80, 100, 0, 0x888888888888ull}});
        Click(rig, "Image_SMART");
        QTableWidget* grid = Grid(rig);
        const QFontMetrics metrics(grid->font());
        QCOMPARE(grid->item(0, 4)->text(), QString("DDDDDDDDDDDD"));
        for (int row = 0; row < grid->rowCount(); ++row) {
            const QString raw = grid->item(row, 4)->text();
            QVERIFY2(metrics.horizontalAdvance(raw) + 2 <= grid->columnWidth(4),
                     qPrintable(QString("%1 needs %2, has %3")
                                    .arg(raw)
                                    .arg(metrics.horizontalAdvance(raw))
                                    .arg(grid->columnWidth(4))));
        }
        QCOMPARE(rig.Find<QTableWidget>("StringGrid4")->columnWidth(4), grid->columnWidth(4));
        // The grid still lies inside the page.
        QVERIFY(grid->geometry().right() < rig.Find<QWidget>("Notebook1")->width());
        QCOMPARE(grid->item(0, 4)->toolTip(),
                 QString("BB-Reported Uncorrectable Errors\nRAW DDDDDDDDDDDD = 243944979815901"));
        QVERIFY(grid->item(0, 0)->toolTip().startsWith("BB-Reported Uncorrectable Errors\n"));
    }

    // Thresholds that were never read are not zeros.
    void unreadThresholdsAreUnknown() {
        WindowRig rig;
        rig.StartUp();
        PutAttributes(rig, {{5, 100, 36, 0}});
        rig.state.smart.thresholds[0][0].fill(0);
        Click(rig, "Image_SMART");
        QCOMPARE(Grid(rig)->item(0, 3)->text(), QString("Unknown"));
        PutAttributes(rig, {{5, 100, 36, 0}});
        Click(rig, "Image5_HDD1");
        QCOMPARE(Grid(rig)->item(0, 3)->text(), QString("36"));
    }

    void absentDriveSaysSo() {
        WindowRig rig;
        rig.StartUp();
        rig.Record(0).driveClass = 0x42;  // HDD2 gone
        Click(rig, "Image_SMART");
        Click(rig, "Image5_HDD2");
        QVERIFY(Grid(rig)->isHidden());
        QCOMPARE(rig.Text("Label23"), QString(" HDD2 is absent "));
        QCOMPARE(rig.Text("Label24"), QString());
        Click(rig, "Image5_HDD1");
        QVERIFY(!Grid(rig)->isHidden());
    }

    void emptyFirstSlotHidesTheGrid() {
        WindowRig rig;
        rig.StartUp();
        Click(rig, "Image_SMART");
        QVERIFY(!Grid(rig)->isHidden());
        PutAttributes(rig, {{0, 0, 0, 0}, {5, 100, 36, 0}});
        Click(rig, "Image5_HDD1");
        QVERIFY(Grid(rig)->isHidden());
        QCOMPARE(rig.Text("Label23"), QString());
        QCOMPARE(rig.Text("Label24"), QString());
        QCOMPARE(rig.Find("Label24")->toolTip(), QString());

        PutAttributes(rig, {{9, 100, 0, 5}, {5, 100, 36, 0}});
        Grid(rig)->setCurrentCell(1, 2);
        Click(rig, "Image5_HDD1");
        QVERIFY(!Grid(rig)->isHidden());
        // Shown again: the first cell once more.
        QCOMPARE(Grid(rig)->currentRow(), 0);
    }

    void selectedCellsNameTheirAttributeOrRawValue() {
        WindowRig rig;
        rig.StartUp();
        PutAttributes(rig, {{9, 100, 0, 0x0123456789ABULL}, {5, 100, 36, 1}});
        Click(rig, "Image_SMART");
        QTableWidget* grid = Grid(rig);
        grid->setCurrentCell(0, 4);
        QCOMPARE(rig.window.statusPanels().PanelText(4), QString("0123456789AB"));
        QCOMPARE(grid->toolTip(), QString("0123456789AB"));
        grid->setCurrentCell(1, 0);
        QCOMPARE(rig.window.statusPanels().PanelText(4), QString("05-Reallocated sector count"));
        QCOMPARE(grid->toolTip(), QString("05-Reallocated sector count"));
        grid->setCurrentCell(1, 2);
        QCOMPARE(grid->toolTip(), QString());
        QCOMPARE(rig.window.statusPanels().PanelText(4), QString("05-Reallocated sector count"));
    }

    // The minute's countdown on the page, then the data pass redraws the
    // table with what the drive reports now.
    void countdownThenRefreshRedrawsTheTable() {
        WindowRig rig;
        rig.StartUp();
        Click(rig, "Image_SMART");
        QCOMPARE(rig.Text("Label23"), QString(" Good "));
        rig.sim.WithController(0, [](raid::sim::Controller& c) {
            c.state().drives[0].smart = {{5, 100, 20, 36, 12}};
        });
        QStringList labels;
        for (int tick = 0; tick <= 60; ++tick) {
            rig.clock.Advance(1000);
            rig.engine.Timer3Tick();
            labels << rig.Text("Label21");
        }
        QCOMPARE(labels.first(), QString("Updates after 60 seconds."));
        QCOMPARE(labels[59], QString("Updates after 1 second."));
        QCOMPARE(labels.last(), QString("Updating..."));
        QCOMPARE(rig.Text("Label23"), QString(" Good "));  // not read yet
        rig.ServeAll();
        QCOMPARE(rig.Text("Label23"), QString(" Error "));
        QCOMPARE(Grid(rig)->rowCount(), 1);
        QCOMPARE(Grid(rig)->item(0, 5)->text(), QString("Error"));
    }

    void doubleClickOnTheCountdownDumpsTheSectors() {
        WindowRig rig;
        rig.StartUp();
        Click(rig, "Image_SMART");
        QTest::mouseDClick(rig.Find<QWidget>("Label21"), Qt::LeftButton);
        const QString folder = rig.logFolder.path();
        QFile data(folder + "/dSMART00.bin");
        QVERIFY(data.open(QIODevice::ReadOnly));
        const QByteArray bytes = data.readAll();
        QCOMPARE(bytes.size(), 1024);
        QCOMPARE(static_cast<int>(bytes[2 + 3 * 12]), 5);  // ID 5 of HDD1
        QVERIFY(QFile::exists(folder + "/sSMART00.bin"));
        QCOMPARE(rig.window.statusPanels().PanelText(4),
                 "Svae File OK :" + QDir(folder).absoluteFilePath("sSMART00.bin"));
    }
};

QObject* raid::uitest::MakeSmartPageTest() {
    return new SmartPageTest;
}

#include "smart_page_test.moc"
