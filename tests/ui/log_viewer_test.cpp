// The event-log viewer: live and file modes.
#include <sys/stat.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <iterator>
#include <memory>
#include <optional>

#include "tests/ui/test_classes.h"
#include "tests/ui/window_rig.h"
#include "ui/log_viewer.h"

using raid::ui::LogViewer;
using raid::uitest::WindowRig;

namespace {

// A viewer over the rig's log whose timer ticks every 10 ms instead of every
// second, so that the tests wait little.
struct ViewerRig {
    explicit ViewerRig(std::vector<std::string> lines, bool armed = true) {
        rig.state.log.EventLog = std::move(lines);
        rig.state.log.fileName = "/logs/261209.log";
        rig.state.poll.PollRequest.store(armed ? raid::ReqPollArmed : 0);
        viewer = std::make_unique<LogViewer>(rig.state, rig.dialogs, rig.files, &rig.window);
        viewer->findChild<QTimer*>("Timer1")->setInterval(10);
        viewer->show();
    }
    QString Text() { return viewer->findChild<QPlainTextEdit*>("Memo1")->toPlainText(); }
    void Click(const char* button) {
        QTest::mouseClick(viewer->findChild<QPushButton*>(button), Qt::LeftButton);
    }
    QColor TextColour() {
        return viewer->findChild<QPlainTextEdit*>("Memo1")->palette().color(QPalette::Active,
                                                                            QPalette::Text);
    }
    // Enough ticks of the fast timer for any update to have happened.
    static void Settle() { QTest::qWait(60); }

    WindowRig rig;
    std::unique_ptr<LogViewer> viewer;
};

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace

class LogViewerTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void showsTheLogAndFollowsIt() {
        ViewerRig v({"first", "second"});
        QCOMPARE(v.Text(), QString("first\nsecond"));
        QVERIFY(v.viewer->following());
        v.rig.state.log.EventLog.push_back("third");
        QTRY_COMPARE(v.Text(), QString("first\nsecond\nthird"));
    }

    void emptyLogThenFollows() {
        ViewerRig v({});
        QCOMPARE(v.Text(), QString());
        v.rig.state.log.EventLog.push_back("new line");
        QTRY_COMPARE(v.Text(), QString("new line"));
    }

    void shrinkingLogReplacesTheText() {
        ViewerRig v({"a", "b", "c"});
        v.rig.state.log.EventLog = {"x"};
        QTRY_COMPARE(v.Text(), QString("x"));
        QCOMPARE(v.viewer->shownCount(), std::size_t{1});
    }

    // A new day's file may start with more lines than the old day's showed.
    void newDayFileReplacesTheText() {
        ViewerRig v({"old day"});
        v.rig.state.log.fileName = "/logs/261210.log";
        v.rig.state.log.EventLog = {"new 1", "new 2", "new 3"};
        QTRY_COMPARE(v.Text(), QString("new 1\nnew 2\nnew 3"));
    }

    void noUpdateWhileAPollRuns() {
        ViewerRig v({"a"});
        v.rig.state.poll.StatusPollRunning.store(1);
        v.rig.state.log.EventLog.push_back("b");
        ViewerRig::Settle();
        QCOMPARE(v.Text(), QString("a"));
        v.rig.state.poll.StatusPollRunning.store(0);
        QTRY_COMPARE(v.Text(), QString("a\nb"));
    }

    void liveIndication_data() {
        QTest::addColumn<bool>("armed");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("grey");
        QTest::newRow("polling armed") << true << "Event log - Real Time" << false;
        QTest::newRow("paused") << false << "Event log - Real Time( Paused )" << true;
    }
    void liveIndication() {
        QFETCH(bool, armed);
        QFETCH(QString, caption);
        QFETCH(bool, grey);
        ViewerRig v({"a"}, armed);
        QCOMPARE(v.viewer->windowTitle(), caption);
        const QPalette& system = QApplication::palette();
        QCOMPARE(v.TextColour(),
                 system.color(grey ? QPalette::Disabled : QPalette::Active, QPalette::Text));
        QVERIFY(system.color(QPalette::Disabled, QPalette::Text) !=
                system.color(QPalette::Active, QPalette::Text));
        // Lines appear whether paused or not.
        v.rig.state.log.EventLog.push_back("b");
        QTRY_COMPARE(v.Text(), QString("a\nb"));
    }

    void indicationFollowsTheTimerArming() {
        ViewerRig v({"a"}, false);
        v.rig.state.poll.PollRequest.fetch_or(raid::ReqPollArmed);
        QTRY_COMPARE(v.viewer->windowTitle(), QString("Event log - Real Time"));
        v.rig.state.poll.PollRequest.store(0);  // maintenance disarms polling
        QTRY_COMPARE(v.viewer->windowTitle(), QString("Event log - Real Time( Paused )"));
    }

    void cancelledFileChoiceFreezesUntilRealTime() {
        ViewerRig v({"a"});
        v.rig.files.answers.push_back(std::nullopt);
        v.Click("Button2");
        QVERIFY(!v.viewer->following());
        v.rig.state.log.EventLog.push_back("b");
        ViewerRig::Settle();
        QCOMPARE(v.Text(), QString("a"));
        v.Click("Button1");
        QVERIFY(v.viewer->following());
        QCOMPARE(v.Text(), QString("a\nb"));
        v.rig.state.log.EventLog.push_back("c");
        QTRY_COMPARE(v.Text(), QString("a\nb\nc"));
    }

    void olderLogFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("261201.log");
        QVERIFY(WriteFile(path, "D1 HDD2 was removed\r\nsecond line\r\n"));
        ViewerRig v({"today"});
        v.rig.files.answers.push_back(path);
        v.Click("Button2");
        QCOMPARE(v.rig.files.filters.at(0), QString("Log File (*.log);;All File (*)"));
        // Opened where the day files are, not in the folder the program was started from.
        QCOMPARE(v.rig.files.folders.at(0), QString::fromStdString(v.rig.state.log.logFolder));
        // Read on a thread of its own; the window shows it when it is there.
        QTRY_COMPARE(v.Text(), QString("D1 HDD2 was removed\nsecond line"));
        QCOMPARE(v.viewer->windowTitle(), QString("Event log - 261201.log"));
        v.rig.state.log.EventLog.push_back("today 2");
        ViewerRig::Settle();
        QCOMPARE(v.Text(), QString("D1 HDD2 was removed\nsecond line"));
        v.Click("Button1");
        QCOMPARE(v.Text(), QString("today\ntoday 2"));
        QCOMPARE(v.viewer->windowTitle(), QString("Event log - Real Time"));
    }

    // The window's own file dialog starts in the folder it is given.
    void fileDialogStartsInTheGivenFolder() {
        QTemporaryDir dir;
        QWidget parent;
        raid::ui::QtFileChooser chooser;
        std::optional<std::optional<QString>> answer;
        chooser.ChooseFileToOpenIn(&parent, dir.path(), LogViewer::kFileFilter,
                                   [&answer](std::optional<QString> path) { answer = path; });
        auto* dialog = parent.findChild<QFileDialog*>();
        QVERIFY(dialog != nullptr);
        QCOMPARE(QDir(dialog->directory()).canonicalPath(), QDir(dir.path()).canonicalPath());
        dialog->reject();
        QVERIFY(answer.has_value());
        QVERIFY(!answer->has_value());
    }

    // Missing, a folder, a FIFO that no one writes, a device that never ends:
    // each ends in a message box, and the window goes on as it was.
    void unreadableFileKeepsTheWindowAsItWas() {
        QTemporaryDir dir;
        const QString fifo = dir.filePath("pipe.log");
        QCOMPARE(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
        ViewerRig v({"today"});
        const QString choices[] = {dir.filePath("missing.log"), dir.path(), fifo, "/dev/zero"};
        for (const QString& choice : choices) {
            v.rig.files.answers.push_back(choice);
        }
        for (std::size_t attempt = 0; attempt < std::size(choices); ++attempt) {
            v.Click("Button2");
            QTRY_COMPARE(v.rig.dialogs.boxes.size(), attempt + 1);
            QVERIFY(!v.rig.dialogs.boxes.back().text.empty());
            QCOMPARE(v.rig.dialogs.boxes.back().caption, std::string());
            QCOMPARE(v.Text(), QString("today"));
            QCOMPARE(v.viewer->windowTitle(), QString("Event log - Real Time"));
            QVERIFY(!v.viewer->following());
        }
        QVERIFY(v.rig.dialogs.boxes.back().text.find("not a regular file") != std::string::npos);
    }

    // Back to the live log before a file's text arrived: the file is not shown.
    void realTimeWinsOverAFileStillBeingRead() {
        QTemporaryDir dir;
        const QString path = dir.filePath("261201.log");
        QVERIFY(WriteFile(path, "older day\r\n"));
        ViewerRig v({"today"});
        v.rig.files.answers.push_back(path);
        v.Click("Button2");
        v.Click("Button1");
        ViewerRig::Settle();
        QCOMPARE(v.Text(), QString("today"));
        QCOMPARE(v.viewer->windowTitle(), QString("Event log - Real Time"));
    }

    // The folder depends on who runs the window, so the viewer says which it is.
    void namesTheLogFolder() {
        ViewerRig v({"a"});
        auto* label = v.viewer->findChild<QLabel*>("LabelLogFolder");
        QVERIFY(label != nullptr);
        const QString folder = QString::fromStdString(v.rig.state.log.logFolder);
        QCOMPARE(label->toolTip(), folder);
        QVERIFY(label->text().startsWith("Saved in "));

        v.rig.state.log.logFolder.clear();
        LogViewer inMemory(v.rig.state, v.rig.dialogs, v.rig.files, &v.rig.window);
        QCOMPARE(inMemory.findChild<QLabel*>("LabelLogFolder")->text(),
                 QString("Not saved: no log folder"));
    }

    void closingStopsFollowing() {
        ViewerRig v({"a"});
        v.viewer->close();
        QVERIFY(!v.viewer->following());
    }
};

QObject* raid::uitest::MakeLogViewerTest() {
    return new LogViewerTest;
}

#include "log_viewer_test.moc"
