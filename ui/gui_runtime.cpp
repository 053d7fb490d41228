#include "ui/gui_runtime.h"

#include <QMetaObject>
#include <cstdlib>

#include "app/folders.h"
#include "app/run_wiring.h"
#include "notify/settings_folder.h"
#include "ui/email_page.h"
#include "ui/event_loop_clock.h"

namespace raid::ui {

GuiRuntime::GuiRuntime(Platform& platform, Clock& clock, std::unique_ptr<DeviceChanges> changes)
    : changes_(std::move(changes)) {
    state_.log.logFolder = ChooseLogFolder(std::getenv("RAIDGUI_LOG_DIR"));
    window_ = std::make_unique<MainWindow>(state_, dialogs_, files_);
    dialogs_.SetParent(window_.get());
    MainWindow* window = window_.get();
    mail_ =
        std::make_unique<MailRun>(state_, clock, *window, RealMailSender(), HostSettingsFolder());
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
    mail_->Connect(*engine_);
    window->Attach(*engine_);
    window->emailPage()->Attach(mail_->dispatcher());

    changeTimer_.setInterval(kDeviceChangePollMs);
    QObject::connect(&changeTimer_, &QTimer::timeout, window, [this] {
        for (int n = changes_ ? changes_->TakeEvents() : 0; n > 0; --n) {
            engine_->DeviceChanged();
        }
    });
}

GuiRuntime::~GuiRuntime() {
    changeTimer_.stop();
    // The workers stop before the window they report to goes away.
    engine_.reset();
}

void GuiRuntime::Start() {
    engine_->Start();
    window_->StartTimers();
    changeTimer_.start();
    window_->show();
}

std::string GuiRuntime::Finish() {
    changeTimer_.stop();
    return SaveOwedLogLines(state_.log);
}

}  // namespace raid::ui
