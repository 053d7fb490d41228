// raidgui itself, started as a program on the stand-in enclosures.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

#include "tests/ui/test_classes.h"

namespace {

// A run of raidgui with its own runtime and log folders, so that it neither
// meets a window the user runs nor writes next to the build.
struct ProgramRun {
    ProgramRun() {
        QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        env.insert("RAIDGUI_LOG_DIR", logs.path());
        env.remove("RAIDGUI_TRACE");
        environment = env;
    }
    std::unique_ptr<QProcess> Start(const QStringList& args) {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(environment);
        process->start(RAIDGUI_BINARY, args);
        return process;
    }
    bool LogWritten() const { return !QDir(logs.path()).entryList({"*.log"}).isEmpty(); }
    // How many runs have written their start-up line into the log folder.
    int StartLines() const {
        int n = 0;
        for (const QString& name : QDir(logs.path()).entryList({"*.log"})) {
            QFile file(logs.filePath(name));
            if (file.open(QIODevice::ReadOnly)) {
                n += static_cast<int>(file.readAll().count("has started from"));
            }
        }
        return n;
    }

    QTemporaryDir runtime;
    QTemporaryDir logs;
    QProcessEnvironment environment;
};

}  // namespace

class ProgramTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void secondStartEndsAtOnce() {
        ProgramRun run;
        auto first = run.Start({"--simulate"});
        QVERIFY(first->waitForStarted());
        // Running for real once its first poll has written the day's log.
        QTRY_VERIFY_WITH_TIMEOUT(run.LogWritten(), 30000);

        // The second asks the first, on the socket beside the lock, to come
        // to the front; one that got no answer would say so on stderr.
        QVERIFY(QFile::exists(run.runtime.filePath("KV_GUI.sock")));
        auto second = run.Start({"--simulate"});
        QVERIFY(second->waitForFinished(10000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(second->readAllStandardError(), QByteArray());
        QCOMPARE(first->state(), QProcess::Running);

        // SIGTERM ends it the way its close box does.
        first->terminate();
        QVERIFY(first->waitForFinished(10000));
        QCOMPARE(first->exitStatus(), QProcess::NormalExit);
        QCOMPARE(first->exitCode(), 0);
    }

    // Start at login is switched without a window (and without a display).
    void autostartSwitch() {
        ProgramRun run;
        QTemporaryDir config;
        run.environment.insert("XDG_CONFIG_HOME", config.path());
        run.environment.remove("QT_QPA_PLATFORM");
        run.environment.remove("DISPLAY");
        const QString entry = config.filePath("autostart/raidgui.desktop");

        auto on = run.Start({"--autostart", "on"});
        QVERIFY(on->waitForFinished(10000));
        QCOMPARE(on->exitCode(), 0);
        QVERIFY(on->readAllStandardOutput().startsWith("Start at login: on"));
        QFile file(entry);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.startsWith("[Desktop Entry]\n"));
        QVERIFY2(text.contains("Exec=\"" + QFileInfo(RAIDGUI_BINARY).canonicalFilePath().toUtf8() +
                               "\""),
                 text.constData());

        auto off = run.Start({"--autostart=off"});
        QVERIFY(off->waitForFinished(10000));
        QCOMPARE(off->exitCode(), 0);
        QVERIFY(!QFile::exists(entry));

        auto bad = run.Start({"--autostart", "maybe"});
        QVERIFY(bad->waitForFinished(10000));
        QCOMPARE(bad->exitCode(), 2);
        QVERIFY(bad->readAllStandardError().contains("--autostart needs on or off"));
    }

    // What may start beside a running window: a mistyped option is refused,
    // a screenshot is taken, and neither touches the window's event log.
    void besideARunningWindow() {
        ProgramRun run;
        auto window = run.Start({"--simulate"});
        QVERIFY(window->waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(run.LogWritten(), 30000);

        auto bogus = run.Start({"--bogus"});
        QVERIFY(bogus->waitForFinished(10000));
        QCOMPARE(bogus->exitCode(), 2);
        QVERIFY(bogus->readAllStandardError().contains("usage: raidgui"));

        const QString png = run.runtime.filePath("beside.png");
        auto shot = run.Start({"--simulate", "--screenshot=" + png, "--after=1"});
        QVERIFY(shot->waitForFinished(60000));
        QCOMPARE(shot->exitStatus(), QProcess::NormalExit);
        QCOMPARE(shot->exitCode(), 0);
        QVERIFY(!QImage(png).isNull());
        QCOMPARE(run.StartLines(), 1);
        QCOMPARE(window->state(), QProcess::Running);

#ifdef Q_OS_UNIX
        // A hang-up ends it the way its close box does, not by the signal.
        ::kill(static_cast<pid_t>(window->processId()), SIGHUP);
#else
        window->terminate();
#endif
        QVERIFY(window->waitForFinished(10000));
        QCOMPARE(window->exitStatus(), QProcess::NormalExit);
        QCOMPARE(window->exitCode(), 0);
    }

    void screenshotOfTheSimulatedEnclosures() {
        ProgramRun run;
        const QString png = run.logs.filePath("window.png");
        auto program = run.Start({"--simulate", "--screenshot=" + png, "--after=6"});
        QVERIFY(program->waitForFinished(60000));
        QCOMPARE(program->exitStatus(), QProcess::NormalExit);
        QCOMPARE(program->exitCode(), 0);
        QImage image(png);
        QVERIFY(!image.isNull());
        // One picture per enclosure, each the window under a 26-pixel caption
        // bar, 6 pixels apart.
        QCOMPARE(image.size() / image.devicePixelRatio(), QSize(620, 2 * (440 + 26) + 6));
        // Something was drawn: the background, the pictures, the texts.
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 4) {
            for (int x = 0; x < image.width(); x += 4) {
                colours.insert(image.pixel(x, y));
            }
        }
        QVERIFY2(colours.size() > 50, qPrintable(QString::number(colours.size())));
    }

    void badArgumentsAreRefused() {
        ProgramRun run;
        auto program = run.Start({"--no-such-option"});
        QVERIFY(program->waitForFinished(30000));
        QCOMPARE(program->exitCode(), 2);
        QVERIFY(program->readAllStandardError().contains("usage: raidgui"));
    }
};

QObject* raid::uitest::MakeProgramTest() {
    return new ProgramTest;
}

#include "program_test.moc"
