// raidgui: the RAID GUI window.
#include <QApplication>
#include <QMessageBox>
#include <QSessionManager>
#include <QTemporaryDir>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>

#include "app/app_state.h"
#include "app/platform.h"
#include "app/run_wiring.h"
#include "device/device_changes.h"
#include "ui/desktop/autostart.h"
#include "ui/desktop/instance_activation.h"
#include "ui/event_loop_clock.h"
#include "ui/guarded_application.h"
#include "ui/gui_options.h"
#include "ui/gui_runtime.h"
#include "ui/instance_lock.h"
#include "ui/screenshot.h"
#include "ui/stop_signals.h"
#ifdef RAIDGUI_WITH_UDEV
#include "udev/device_changes_udev_linux.h"
#endif

namespace {

std::unique_ptr<raid::DeviceChanges> WatchHostDeviceChanges() {
#ifdef RAIDGUI_WITH_UDEV
    return raid::WatchUdevOrNothing("raidgui");
#else
    return std::make_unique<raid::NoDeviceChanges>();
#endif
}

// raidgui --autostart on|off: the entry is written or removed, and the
// program ends without a window.
int SwitchAutostart(int argc, char** argv) {
    const raid::ui::GuiOptions options =
        raid::ui::ParseGuiOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!options.error.empty() || !options.autostart) {
        std::fprintf(stderr, "raidgui: %s\n%s",
                     options.error.empty() ? "--autostart needs on or off" : options.error.c_str(),
                     raid::ui::kGuiUsage);
        return 2;
    }
    const std::string location = raid::ui::HostAutostartLocation();
    std::string error;
    if (!raid::ui::SetAutostart(location, *options.autostart, raid::ui::ThisProgram(), error)) {
        std::fprintf(stderr, "raidgui: start at login: %s\n", error.c_str());
        return 1;
    }
    std::printf("Start at login: %s (%s)\n", *options.autostart ? "on" : "off", location.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts, so they work without a display.
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--version") {
            std::printf("raidgui %s\n", raid::kVersionText);
            return 0;
        }
        if (arg == "--help") {
            std::fputs(raid::ui::kGuiUsage, stdout);
            return 0;
        }
        if (arg.starts_with("--autostart")) {
            return SwitchAutostart(argc, argv);
        }
    }
    raid::ui::BlockStopSignals();
    raid::ui::GuardedApplication app(argc, argv);
    QApplication::setApplicationName("raidgui");
    // Log lines carry the date and time in the user's regional format.
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");

    std::vector<std::string> args;
    const QStringList given = QApplication::arguments();
    for (qsizetype i = 1; i < given.size(); ++i) {
        args.push_back(given[i].toStdString());
    }
    const raid::ui::GuiOptions options = raid::ui::ParseGuiOptions(args);
    if (!options.error.empty()) {
        std::fprintf(stderr, "raidgui: %s\n%s", options.error.c_str(), raid::ui::kGuiUsage);
        return 2;
    }

    // Only now that the options are known to be good: a mistyped option is
    // refused even while a window runs. A screenshot is a picture, not a
    // second window, so it neither needs the guard nor keeps a window from
    // starting while it runs.
    raid::ui::InstanceLock lock;
    std::optional<QTemporaryDir> screenshotLogs;
    const std::string lockPath = raid::ui::RuntimeLockPath(std::getenv("XDG_RUNTIME_DIR"));
    bool activation = false;
    if (options.screenshotFile.empty()) {
        std::string lockError;
        switch (lock.Acquire(lockPath, lockError)) {
            case raid::ui::InstanceLock::Outcome::HeldElsewhere:
                // A second start brings the running window to the front and
                // ends, before anything is shown.
                if (!raid::ui::AskRunningWindowToShow(raid::ui::ActivationSocketPath(lockPath))) {
                    std::fprintf(stderr, "raidgui: a window is running but did not answer\n");
                }
                return 0;
            case raid::ui::InstanceLock::Outcome::Failed:
                std::fprintf(stderr, "raidgui: running without the single-instance guard: %s\n",
                             lockError.c_str());
                break;
            case raid::ui::InstanceLock::Outcome::Acquired:
                activation = true;
                break;
        }
    } else {
        // The window that may be running writes today's event log; a run
        // beside it must not replace that file with its own lines.
        screenshotLogs.emplace();
        if (!screenshotLogs->isValid()) {
            std::fprintf(stderr, "raidgui: no temporary folder for the screenshot's event log\n");
            return 1;
        }
    }

    raid::ui::EventLoopClock clock;
    const char* trace = std::getenv("RAIDGUI_TRACE");
    raid::PlatformResult made =
        options.simulate ? raid::MakeSimulatedPlatform(options.scenarioFile, clock, trace)
                         : raid::MakeHostPlatform(trace);
    if (!made.ok) {
        std::fprintf(stderr, "raidgui: %s\n", made.error.c_str());
        if (options.screenshotFile.empty()) {
            QMessageBox::critical(nullptr, "Error", QString::fromStdString(made.error));
        }
        return 2;
    }
    std::unique_ptr<raid::DeviceChanges> changes =
        raid::RunDeviceChanges(made.platform, options.simulate, WatchHostDeviceChanges);

    raid::ui::GuiRuntime runtime(made.platform, clock, std::move(changes));
    if (screenshotLogs) {
        runtime.state().log.logFolder = screenshotLogs->path().toStdString();
    }
    raid::ui::MainWindow& window = runtime.window();
    app.SetErrorDisplay([&runtime](const std::string& text) {
        std::fprintf(stderr, "raidgui: %s\n", text.c_str());
        runtime.dialogs().MessageBox(text, "", raid::DialogIcon::Error);
    });
#ifndef QT_NO_SESSIONMANAGER
    // The session's end request stands for the log-off query: refused while
    // the controller's firmware is being written.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager& manager) {
                         if (!window.QueryEndSession()) {
                             manager.cancel();
                         }
                     });
#endif
    raid::ui::WatchStopSignals(&window, [&window] { window.Quit(); });
    if (activation) {
        auto* server = new raid::ui::ActivationServer(&window);
        QObject::connect(server, &raid::ui::ActivationServer::showRequested, &window,
                         [&window] { window.ShowToFront(); });
        QString error;
        if (!server->Listen(raid::ui::ActivationSocketPath(lockPath), error)) {
            std::fprintf(stderr, "raidgui: a second start cannot bring this window forward: %s\n",
                         qPrintable(error));
        }
    }
    runtime.Start();
    if (options.screenshotFile.empty()) {
        window.tray().ShowInPanel();
    }
    if (!options.simulate) {
        const std::string problem = raid::PermissionProblem(*made.platform.transport);
        if (!problem.empty()) {
            runtime.dialogs().MessageBox(problem, "Warning:", raid::DialogIcon::Warning);
        }
    }

    int status = 0;
    if (!options.screenshotFile.empty()) {
        const QString file = QString::fromStdString(options.screenshotFile);
        const int page = options.screenshotPage;
        QTimer::singleShot(
            static_cast<int>(options.afterSeconds * 1000), &window, [&window, &status, file, page] {
                if (!raid::ui::SaveWindowPng(window, file, page)) {
                    std::fprintf(stderr, "raidgui: cannot write %s\n", qPrintable(file));
                    status = 1;
                }
                window.close();
            });
    }
    const int loop = app.exec();
    const std::string error = runtime.Finish();
    app.SetErrorDisplay({});  // the runtime it shows through goes first
    if (!error.empty()) {
        std::fprintf(stderr, "raidgui: the event log could not be saved: %s\n", error.c_str());
        return 1;
    }
    return status != 0 ? status : loop;
}
