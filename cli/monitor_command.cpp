#include "cli/monitor_command.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/app_state.h"
#include "app/engine.h"
#include "app/folders.h"
#include "app/mail_run.h"
#include "app/run_wiring.h"
#include "cli/console.h"
#include "cli/main_loop.h"
#include "maintenance/smart_table.h"
#include "monitor/event_log.h"
#include "monitor/metrics_text.h"
#include "monitor/status_text.h"
#include "monitor/whole_file.h"
#include "notify/settings_folder.h"

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
    void PollDone() override {
        if (metricsFile_.empty()) {
            return;
        }
        MetricsExtras extras;
        extras.smartHealth = [this](std::size_t slot, int drive) -> std::optional<std::uint16_t> {
            const auto bay = static_cast<std::size_t>(drive);
            if (slot >= kSmartDevices || bay >= kSmartDrives) {
                return std::nullopt;
            }
            const SmartStore& smart = state_.smart;
            const SmartTable table = BuildSmartTable(
                smart.data[slot][bay], smart.thresholds[slot][bay], smart.sectorWord[slot][bay]);
            if (table.rows.empty()) {
                return std::nullopt;  // not read (yet), or no drive
            }
            if (table.overallText == " Error ") {
                return 2;
            }
            return table.overallText == " Warning " ? 1 : 0;
        };
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

// One of the window's timers on the headless loop.
struct Ticker {
    std::uint32_t intervalMs;
    std::uint64_t due;
    bool active;

    void Follow(bool wanted, std::uint64_t now) {
        if (wanted && !active) {
            due = now + intervalMs;
        }
        active = wanted;
    }
    template <typename Tick>
    void FireIfDue(std::uint64_t now, Tick&& tick) {
        if (active && now >= due) {
            due = now + intervalMs;
            tick();
        }
    }
    std::uint64_t Next() const { return active ? due : UINT64_MAX; }
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
    state.log.logFolder = ChooseLogFolder(std::getenv("RAIDGUI_LOG_DIR"));
    ConsoleDialogs dialogs;
    ConsoleStatus status;
    MonitorFrontEnd frontEnd(state, metricsFile);
    MailRun mailRun(state, clock, frontEnd, RealMailSender(), HostSettingsFolder());
    PrintingMailSink mail(mailRun.dispatcher());
    Engine engine(state,
                  EngineServices{*platform.transport, *platform.catalog, *platform.facts, clock,
                                 dialogs, status, mail},
                  frontEnd, [&waiter] { waiter.Wake(); });
    std::printf("Monitoring; event log folder %s, mail settings %s (Ctrl+C ends)\n",
                state.log.logFolder.c_str(), mailRun.storeLocation().c_str());
    std::fflush(stdout);
    mailRun.Connect(engine);
    engine.Start();

    const std::uint64_t start = clock.NowMs();
    // A timer the design switches off does not wake the loop; switched on
    // again, it counts its whole interval from then, as a window timer does.
    Ticker timer2{5000, start + 5000, false};
    Ticker timer3{1000, start + 1000, false};
    Ticker timer4{500, start + 500, true};
    for (;;) {
        for (int n = changes.TakeEvents(); n > 0; --n) {
            engine.DeviceChanged();
        }
        engine.queue().RunPending();
        std::uint64_t now = clock.NowMs();
        timer4.Follow(!engine.FollowUpIdle(), now);
        timer2.Follow(engine.Timer2Enabled(), now);
        timer3.Follow(engine.Timer3Enabled(), now);
        timer4.FireIfDue(now, [&] { engine.Timer4Tick(); });
        timer2.FireIfDue(now, [&] { engine.Timer2Tick(); });
        timer3.FireIfDue(now, [&] { engine.Timer3Tick(); });

        now = clock.NowMs();
        std::uint64_t next = std::min({timer2.Next(), timer3.Next(), timer4.Next()});
        if (const std::uint32_t ask = changes.AskEveryMs(); ask != 0) {
            next = std::min(next, now + ask);
        }
        if (waiter.Wait(next > now ? next - now : 0, changes.WaitDescriptor())) {
            break;
        }
    }

    std::printf("Stopping.\n");
    engine.Close();
    const std::string error = SaveOwedLogLines(state.log);
    if (!error.empty()) {
        std::fprintf(stderr, "The event log could not be saved: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

}  // namespace raid::cli
