#pragma once

#include <QObject>
#include <QTimer>
#include <memory>

#include "app/app_state.h"
#include "app/engine.h"
#include "app/mail_run.h"
#include "app/platform.h"
#include "device/clock.h"
#include "device/device_changes.h"
#include "ui/main_window.h"
#include "ui/qt_dialogs.h"

namespace raid::ui {

// The window on the engine: the process-wide state, the engine with its
// workers, the main window and the watch on device changes, wired together
// for one run.
class GuiRuntime {
  public:
    // `platform` and `clock` must outlive the runtime.
    GuiRuntime(Platform& platform, Clock& clock, std::unique_ptr<DeviceChanges> changes);
    ~GuiRuntime();
    GuiRuntime(const GuiRuntime&) = delete;
    GuiRuntime& operator=(const GuiRuntime&) = delete;

    // Starts the workers and the timers and shows the window.
    void Start();
    // After the event loop has ended: lines of the event log that a failed
    // save kept in memory get one more chance. Returns an error text or empty.
    std::string Finish();

    AppState& state() { return state_; }
    MainWindow& window() { return *window_; }
    Engine& engine() { return *engine_; }
    Dialogs& dialogs() { return dialogs_; }

    // How often the platform's device notifications are collected.
    static constexpr int kDeviceChangePollMs = 250;

  private:
    AppState state_;
    QtDialogs dialogs_;
    QtFileChooser files_;
    // The engine's mail sink; it reports to the window, so it is made after
    // the window and outlives the engine.
    std::unique_ptr<MailRun> mail_;
    std::unique_ptr<DeviceChanges> changes_;
    // The engine uses the window as its front end and status bar: the
    // window is made first and goes last.
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<Engine> engine_;
    QTimer changeTimer_;
};

}  // namespace raid::ui
