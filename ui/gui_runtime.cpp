#include "ui/gui_runtime.h"

#include <QMetaObject>

#include "app/folders.h"
#include "app/run_wiring.h"
#include "notify/settings/settings_folder.h"
#include "ui/email_page.h"
#include "ui/event_loop_clock.h"

namespace raid::ui {

GuiRuntime::GuiRuntime(Platform& platform, Clock& clock, std::unique_ptr<DeviceChanges> changes)
    : changes_(std::move(changes)) {
    const LogFolder logs = HostLogFolder();
    state_.log.logFolder = logs.path;
    window_ = std::make_unique<MainWindow>(state_, dialogs_, files_);
    if (!logs.problem.empty()) {
        window_->statusPanels().SetPanel(kPanelErrors, logs.problem);
    }
    dialogs_.SetParent(window_.get());
    MainWindow* window = window_.get();
    mail_ =
        std::make_unique<MailRun>(state_, clock, *window, RealMailSender(), HostSettingsPlace());
    engine_ = std::make_unique<Engine>(
        state_,
        EngineServices{*platform.transport, *platform.catalog, *platform.facts, clock, dialogs_,
                       window->statusPanels(), mail_->dispatcher()},
        *window, [window] {
            // From a worker: the window's thread runs the hand-over between
            // two events.
            QMetaObject::invokeMethod(
                window, [window] { window->RunHandOvers(); }, Qt::QueuedConnection);
        });
    engine_->SetMessagePump(PumpEventsIfGuiThread);
    if (platform.lock) {
        engine_->SetEnclosureLock(*platform.lock);
    }
    mail_->Connect(*engine_);
    window->Attach(*engine_);
    window->emailPage()->Attach(mail_->dispatcher());

    // Notifications with a descriptor wake the event loop only when they
    // come; the others are asked as often as they say, and not at all once
    // none can come any more.
    changeTimer_.setSingleShot(true);
    QObject::connect(&changeTimer_, &QTimer::timeout, window, [this] { TakeDeviceChanges(); });
    if (changes_ && changes_->WaitDescriptor() >= 0) {
        changeNotifier_ =
            std::make_unique<QSocketNotifier>(changes_->WaitDescriptor(), QSocketNotifier::Read);
        changeNotifier_->setEnabled(false);
        QObject::connect(changeNotifier_.get(), &QSocketNotifier::activated, window,
                         [this] { TakeDeviceChanges(); });
    }
}

void GuiRuntime::TakeDeviceChanges() {
    if (!changes_) {
        return;
    }
    for (int n = changes_->TakeEvents(); n > 0; --n) {
        window_->DeviceChanged();
    }
    if (const std::uint32_t every = changes_->AskEveryMs(); every != 0 && watching_) {
        changeTimer_.start(static_cast<int>(every));
    }
}

GuiRuntime::~GuiRuntime() {
    StopWatching();
    // A mail being sent gets a few seconds, and its outcome reaches the log.
    mail_->Stop();
    // The workers stop before the window they report to goes away.
    engine_.reset();
}

void GuiRuntime::Start() {
    engine_->Start();
    window_->StartTimers();
    watching_ = true;
    if (changeNotifier_) {
        changeNotifier_->setEnabled(true);
    }
    TakeDeviceChanges();
    window_->show();
}

void GuiRuntime::StopWatching() {
    watching_ = false;
    changeTimer_.stop();
    if (changeNotifier_) {
        changeNotifier_->setEnabled(false);
    }
}

std::string GuiRuntime::Finish() {
    StopWatching();
    return SaveOwedLogLines(state_.log);
}

}  // namespace raid::ui
