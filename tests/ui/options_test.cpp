// raidgui's command line.
#include <QtTest>

#include "tests/ui/test_classes.h"
#include "ui/gui_options.h"

class OptionsTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void parses_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("simulate");
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("screenshot");
        QTest::addColumn<double>("after");
        QTest::addColumn<int>("page");
        QTest::newRow("nothing: the real disks") << QStringList{} << false << ""
                                                 << "" << 12.0 << 0;
        QTest::newRow("built-in scenario") << QStringList{"--simulate"} << true << ""
                                           << "" << 12.0 << 0;
        QTest::newRow("scenario file") << QStringList{"--simulate=s.json"} << true << "s.json"
                                       << "" << 12.0 << 0;
        QTest::newRow("screenshot")
            << QStringList{"--simulate", "--screenshot=a.png", "--after=2.5"} << true << ""
            << "a.png" << 2.5 << 0;
        QTest::newRow("screenshot, default wait")
            << QStringList{"--screenshot=a.png"} << false << ""
            << "a.png" << 12.0 << 0;
        QTest::newRow("screenshot of the SMART page")
            << QStringList{"--screenshot=a.png", "--page=smart"} << false << ""
            << "a.png" << 12.0 << 5;
        QTest::newRow("screenshot of the upgrade page")
            << QStringList{"--page=upgrade", "--screenshot=a.png"} << false << ""
            << "a.png" << 12.0 << 2;
    }
    void parses() {
        QFETCH(QStringList, args);
        QFETCH(bool, simulate);
        QFETCH(QString, scenario);
        QFETCH(QString, screenshot);
        QFETCH(double, after);
        QFETCH(int, page);
        std::vector<std::string> list;
        for (const QString& a : args) {
            list.push_back(a.toStdString());
        }
        const raid::ui::GuiOptions o = raid::ui::ParseGuiOptions(list);
        QCOMPARE(QString::fromStdString(o.error), QString());
        QCOMPARE(o.simulate, simulate);
        QCOMPARE(QString::fromStdString(o.scenarioFile), scenario);
        QCOMPARE(QString::fromStdString(o.screenshotFile), screenshot);
        QCOMPARE(o.afterSeconds, after);
        QCOMPARE(o.screenshotPage, page);
    }

    void refuses_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("unknown") << QStringList{"--simulat"};
        QTest::newRow("empty scenario") << QStringList{"--simulate="};
        QTest::newRow("empty screenshot") << QStringList{"--screenshot="};
        QTest::newRow("not a number") << QStringList{"--screenshot=a.png", "--after=soon"};
        QTest::newRow("trailing junk") << QStringList{"--screenshot=a.png", "--after=2s"};
        QTest::newRow("negative") << QStringList{"--screenshot=a.png", "--after=-1"};
        QTest::newRow("after alone") << QStringList{"--after=2"};
        QTest::newRow("page alone") << QStringList{"--page=smart"};
        QTest::newRow("unknown page") << QStringList{"--screenshot=a.png", "--page=Smart"};
        QTest::newRow("empty page") << QStringList{"--screenshot=a.png", "--page="};
    }
    void refuses() {
        QFETCH(QStringList, args);
        std::vector<std::string> list;
        for (const QString& a : args) {
            list.push_back(a.toStdString());
        }
        QVERIFY(!raid::ui::ParseGuiOptions(list).error.empty());
    }
};

QObject* raid::uitest::MakeOptionsTest() {
    return new OptionsTest;
}

#include "options_test.moc"
