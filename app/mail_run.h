#pragma once

#include <functional>

#include <string>

#include "app/app_state.h"
#include "app/front_end.h"
#include "device/clock.h"
#include "notify/delivery/mail_dispatcher.h"
#include "notify/delivery/mail_sender.h"
#include "notify/hook/hook_runner.h"
#include "notify/settings/host_settings_store.h"

namespace raid {

class Engine;

// The notification mail of one run: the settings at `settingsPlace` (a
// settings file, or the registry key on Windows), the dispatcher and its
// outbox in the log folder, and the command hook that follows every
// notification. Made before the engine (which takes it as its mail sink) and
// destroyed after it.
class MailRun {
  public:
    MailRun(AppState& state, Clock& clock, FrontEnd& frontEnd, MailSender sender,
            const SettingsPlace& settingsPlace);
    MailRun(const MailRun&) = delete;
    MailRun& operator=(const MailRun&) = delete;

    // Hands the mail thread's work to the dispatcher, routes its log lines to
    // the engine's event log and runs the start-up initialisation. Call once,
    // before engine.Start().
    void Connect(Engine& engine);

    // At the end of the run, before the engine closes: lets a mail being
    // sent finish for a few seconds and logs its outcome through the engine.
    void Stop() {
        dispatcher_.Stop();
        hooks_.Stop();
    }

    MailDispatcher& dispatcher() { return dispatcher_; }
    HookRunner& hooks() { return hooks_; }
    SettingsStore& store() { return *host_.store; }
    // Where the settings live, for messages.
    const std::string& storeLocation() const { return host_.location; }
    // Why the stored settings could not be used, or empty text.
    const std::string& storeProblem() const { return host_.problem; }

  private:
    // Runs the stored command, if any, for the event `event` makes.
    void RunHook(const std::function<HookEvent()>& event);

    FrontEnd& frontEnd_;
    HostSettingsStore host_;
    Engine* engine_ = nullptr;
    std::function<void()> waker_;  // the engine's mail thread; outlives the engine safely
    AppState& state_;
    Clock& clock_;
    // The user's command for every notification; made before the dispatcher
    // that hands it the events, and ended after it.
    HookRunner hooks_;
    MailDispatcher dispatcher_;
};

// Where the waiting mails live: a folder beside the event log's day files.
std::string OutboxFolder(const std::string& logFolder);

}  // namespace raid
