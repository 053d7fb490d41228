#include "cli/monitor_command.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "app/app_state.h"
#include "app/engine.h"
#include "app/folders.h"
#include "app/headless_loop.h"
#include "app/mail_run.h"
#include "app/run_wiring.h"
#include "cli/console.h"
#include "cli/main_loop.h"
#include "monitor/event_log.h"
#include "monitor/metrics_text.h"
#include "monitor/status_text.h"
#include "monitor/whole_file.h"
#include "notify/settings/notification_setup.h"
#include "notify/settings/settings_folder.h"

namespace raid::cli {
namespace {

// The console "window": prints what a user of the window would see change.
class MonitorFrontEnd final : public FrontEnd {
  public:
    MonitorFrontEnd(AppState& state, std::string metricsFile)
        : state_(state), metricsFile_(std::move(metricsFile)) {}

    void SetStatusText(const std::string& text, bool visible) override {
        if (visible && text != " " && text != lastStatus_) {
            std::printf("[status] %s\n", text.c_str());
            std::fflush(stdout);
        }
        lastStatus_ = text;
    }
    void SlotUnchecked(int slot) override {
        std::printf("[status] Device%d stopped answering; its monitoring is switched off\n",
                    slot + 1);
    }
    // The status page's first drawing ends the start-up pass.
    void RedrawStatus(std::uint8_t, bool) override {
        state_.flags.StartupPass.store(0);
        state_.log.FullRedrawRequested = false;
    }
    void LogLineAdded(const std::string& line) override {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }
    // The mail figures of the metrics, once the mail dispatch exists.
    void SetMailCounts(std::function<void(MetricsExtras&)> counts) {
        mailCounts_ = std::move(counts);
    }
    void PollDone() override {
        if (metricsFile_.empty()) {
            return;
        }
        MetricsExtras extras;
        // The alerts' word: thresholds that were not read leave it unknown,
        // where the attributes alone would all read Good.
        extras.smartHealth = [this](std::size_t slot, int drive) -> std::optional<std::uint16_t> {
            const auto bay = static_cast<std::size_t>(drive);
            if (slot >= state_.alerts.slots.size() ||
                bay >= state_.alerts.slots[slot].drives.size()) {
                return std::nullopt;
            }
            switch (state_.alerts.slots[slot].drives[bay].word) {
                case SmartWord::Good:
                    return 0;
                case SmartWord::Warning:
                    return 1;
                case SmartWord::Error:
                    return 2;
                case SmartWord::Unknown:
                    break;
            }
            return std::nullopt;  // not read (yet), no drive, or no thresholds
        };
        extras.alerts = &state_.alerts;
        if (mailCounts_) {
            mailCounts_(extras);
        }
        const std::string text = MetricsText(state_.devices, state_.poll, extras);
        const std::string error = ReplaceWholeFile(metricsFile_, text, 0644);
        // Said once, and again only when it changes: a full disk must not
        // flood the journal every five seconds.
        if (error != lastMetricsError_ && !error.empty()) {
            std::fprintf(stderr, "The metrics file could not be written: %s\n", error.c_str());
        }
        lastMetricsError_ = error;
    }
    void SetMailStatus(int panel, const std::string& text) override {
        if (panel == 3) {
            std::printf("[mail] %s\n", text.c_str());
            std::fflush(stdout);
        }
    }
    void MailProblem(const std::string& text) override {
        std::fprintf(stderr, "[mail] %s\n", text.c_str());
    }

  private:
    AppState& state_;
    std::string metricsFile_;
    std::function<void(MetricsExtras&)> mailCounts_;
    std::string lastMetricsError_;
    std::string lastStatus_;
};

// Prints every notification request before the dispatch turns it into a mail.
class PrintingMailSink final : public MailRequestSink {
  public:
    explicit PrintingMailSink(MailRequestSink& next) : next_(next) {}
    void RequestMailNotification(std::uint8_t kind, std::uint8_t device,
                                 std::uint8_t port) override {
        std::printf("[mail] notification requested: kind %u, device %u, port %u\n", kind, device,
                    port);
        std::fflush(stdout);
        next_.RequestMailNotification(kind, device, port);
    }

  private:
    MailRequestSink& next_;
};

}  // namespace

int RunMonitor(Platform& platform, Clock& clock, DeviceChanges& changes,
               const std::string& metricsFile) {
    // Signals are taken by the main loop; the workers started below inherit
    // the mask and never see them.
    MainLoopWaiter waiter;
    if (std::string error; !waiter.Open(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }

    AppState state;
    const LogFolder logs = HostLogFolder();
    if (logs.path.empty()) {
        std::fprintf(stderr, "raidcli: %s\n", logs.problem.c_str());
        return 1;
    }
    state.log.logFolder = logs.path;
    ConsoleDialogs dialogs;
    ConsoleStatus status;
    MonitorFrontEnd frontEnd(state, metricsFile);
    MailRun mailRun(state, clock, frontEnd, RealMailSender(), HostSettingsPlace());
    PrintingMailSink mail(mailRun.dispatcher());
    frontEnd.SetMailCounts([&mailRun](MetricsExtras& extras) {
        extras.mailsQueued = mailRun.dispatcher().outbox().Size();
        extras.mailsFailed = mailRun.dispatcher().MailsGivenUp();
    });
    // Said before anything else, so that the journal's first lines tell where
    // to look and whether anyone hears of a failing drive.
    std::printf("Monitoring; event log folder %s, mail settings %s (Ctrl+C ends)\n",
                state.log.logFolder.c_str(), mailRun.storeLocation().c_str());
    if (const std::string none = NoNotificationText(mailRun.store(), mailRun.storeLocation());
        !none.empty()) {
        std::printf("%s\n", none.c_str());
    }
    std::fflush(stdout);
    if (!logs.problem.empty()) {
        std::fprintf(stderr, "%s\n", logs.problem.c_str());
    }
    Engine engine(state,
                  EngineServices{*platform.transport, *platform.catalog, *platform.facts, clock,
                                 dialogs, status, mail},
                  frontEnd, [&waiter] { waiter.Wake(); });
    if (platform.lock) {
        engine.SetEnclosureLock(*platform.lock);
    }
    mailRun.Connect(engine);
    // Where no descriptor can be waited on, a notification wakes the loop;
    // never again once the loop and its waiter are gone.
    changes.SetArrivalWake([&waiter] { waiter.Wake(); });
    struct WakeEnd {
        DeviceChanges& changes;
        ~WakeEnd() { changes.SetArrivalWake({}); }
    } wakeEnd{changes};
    engine.Start();

    // An exception that escapes the engine is reported and monitoring goes
    // on, as the window's error display lets the window go on.
    HeadlessLoop loop(
        engine, clock,
        [](const std::string& error) {
            std::fprintf(stderr, "raidcli: %s\n", error.c_str());
            std::fflush(stderr);
        },
        [&waiter, &changes](std::uint64_t ms) {
            return waiter.Wait(ms, changes.WaitDescriptor());
        });
    for (;;) {
        const int events = changes.TakeEvents();
        const std::uint32_t ask = changes.AskEveryMs();
        if (loop.RunPass(events, ask != 0 ? ask : UINT64_MAX)) {
            break;
        }
    }

    std::printf("Stopping.\n");
    mailRun.Stop();
    engine.Close();
    const std::string error = SaveOwedLogLines(state.log);
    if (!error.empty()) {
        std::fprintf(stderr, "The event log could not be saved: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

}  // namespace raid::cli
