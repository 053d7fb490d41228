#include "cli/monitor_command.h"

#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/app_state.h"
#include "app/engine.h"
#include "app/folders.h"
#include "app/mail_run.h"
#include "app/run_wiring.h"
#include "cli/console.h"
#include "monitor/event_log.h"
#include "monitor/status_text.h"
#include "notify/settings_folder.h"

namespace raid::cli {
namespace {

// The console "window": prints what a user of the window would see change.
class MonitorFrontEnd final : public FrontEnd {
  public:
    explicit MonitorFrontEnd(AppState& state) : state_(state) {}

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

struct Ticker {
    std::uint32_t intervalMs;
    std::uint64_t due;
};

}  // namespace

int RunMonitor(Platform& platform, Clock& clock, DeviceChanges& changes) {
    // Signals are taken synchronously by the main loop; the workers started
    // below inherit the mask and never see them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    if (int rc = pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr); rc != 0) {
        std::fprintf(stderr, "cannot block signals: %s\n", std::strerror(rc));
        return 1;
    }

    AppState state;
    state.log.logFolder = ChooseLogFolder(std::getenv("RAIDGUI_LOG_DIR"));
    ConsoleDialogs dialogs;
    ConsoleStatus status;
    MonitorFrontEnd frontEnd(state);
    MailRun mailRun(state, clock, frontEnd, RealMailSender(), HostSettingsFolder());
    PrintingMailSink mail(mailRun.dispatcher());
    Engine engine(state,
                  EngineServices{*platform.transport, *platform.catalog, *platform.facts, clock,
                                 dialogs, status, mail},
                  frontEnd, {});
    std::printf("Monitoring; event log folder %s, mail settings %s (Ctrl+C ends)\n",
                state.log.logFolder.c_str(), mailRun.storeLocation().c_str());
    std::fflush(stdout);
    mailRun.Connect(engine);
    engine.Start();

    const std::uint64_t start = clock.NowMs();
    Ticker timer2{5000, start + 5000};
    Ticker timer3{1000, start + 1000};
    Ticker timer4{500, start + 500};
    const timespec noWait{0, 0};
    for (;;) {
        const int sig = sigtimedwait(&stopSignals, nullptr, &noWait);
        if (sig == SIGINT || sig == SIGTERM) {
            break;
        }
        for (int n = changes.TakeEvents(); n > 0; --n) {
            engine.DeviceChanged();
        }
        const std::uint64_t now = clock.NowMs();
        auto fire = [now](Ticker& t, auto&& tick) {
            if (now >= t.due) {
                t.due = now + t.intervalMs;
                tick();
            }
        };
        fire(timer4, [&] { engine.Timer4Tick(); });
        fire(timer2, [&] { engine.Timer2Tick(); });
        fire(timer3, [&] { engine.Timer3Tick(); });
        const std::uint64_t next = std::min({timer2.due, timer3.due, timer4.due});
        const std::uint64_t wait = next > now ? std::min<std::uint64_t>(next - now, 100) : 0;
        engine.queue().WaitForWork(static_cast<std::uint32_t>(wait));
        engine.queue().RunPending();
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
