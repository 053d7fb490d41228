#include "app/mail_run.h"

#include <algorithm>
#include <filesystem>

#include "app/engine.h"
#include "device/utf8_path.h"

namespace raid {

std::string OutboxFolder(const std::string& logFolder) {
    // Without a log folder the mails wait in memory, never in the folder the
    // program happened to start from.
    return logFolder.empty() ? std::string() : Utf8FromPath(PathFromUtf8(logFolder) / "outbox");
}

MailRun::MailRun(AppState& state, Clock& clock, FrontEnd& frontEnd, MailSender sender,
                 const SettingsPlace& settingsPlace)
    : frontEnd_(frontEnd),
      host_(OpenHostSettingsStore(settingsPlace)),
      state_(state),
      clock_(clock),
      hooks_(clock, HookRunner::Hooks{
                        .logLines =
                            [this](const std::vector<std::string>& lines) {
                                if (engine_ != nullptr) {
                                    engine_->AddLogLines(lines);
                                }
                            },
                        .wake =
                            [this] {
                                if (waker_) {
                                    waker_();
                                }
                            },
                    }),
      dispatcher_(
          MailDispatchServices{
              .store = *host_.store,
              .clock = clock,
              .devices = state.devices,
              .systemInfo = state.systemInfoLines,
              .mailFlags = state.MailFlags,
              .sender = std::move(sender),
              .outboxFolder = OutboxFolder(state.log.logFolder),
              .defaultTemplateDirectory = host_.templateDirectory,
              .appTitle = kAppTitle,
          },
          MailDispatchHooks{
              .statusText = [this](
                                int panel,
                                const std::string& text) { frontEnd_.SetMailStatus(panel, text); },
              .logLines =
                  [this](const std::vector<std::string>& lines) {
                      if (engine_ != nullptr) {
                          engine_->AddLogLines(lines);
                      }
                  },
              .error = [this](const std::string& text) { frontEnd_.MailProblem(text); },
              .wake =
                  [this] {
                      if (waker_) {
                          waker_();
                      }
                  },
          }) {
    state.alerts.heatLimit = ReadHeatLimit(*host_.store);
    dispatcher_.SetAlerts(&state.alerts);
    dispatcher_.SetFollower(NotificationFollower{
        .requested =
            [this](std::uint8_t kind, std::uint8_t device, std::uint8_t port,
                   const std::vector<std::string>& report, std::int64_t at) {
                RunHook([&] {
                    return NotificationHookEvent(state_.devices, &state_.alerts,
                                                 dispatcher_.settings(), state_.systemInfoLines,
                                                 kAppTitle, kind, device, port, report, at);
                });
            },
        .testStarted =
            [this] {
                RunHook([&] {
                    return TestHookEvent(dispatcher_.settings(), state_.systemInfoLines, kAppTitle,
                                         clock_.WallSeconds());
                });
            },
    });
}

// Read at every event, so that a command set while the monitor runs is used
// from the next event on.
void MailRun::RunHook(const std::function<HookEvent()>& event) {
    std::string problem;
    std::optional<HookCommand> command = ReadHookCommand(*host_.store, &problem);
    if (!problem.empty()) {
        frontEnd_.MailProblem(problem);
    }
    if (command) {
        hooks_.Add(std::move(*command), event());
    }
}

void MailRun::Connect(Engine& engine) {
    engine_ = &engine;
    // Set before any mail job can start, so the worker thread only ever reads it.
    waker_ = engine.MailWaker();
    engine.SetMailService([this] {
        dispatcher_.ServiceMailFlags();
        hooks_.Service();
    });
    engine.SetMailDue([this] { return dispatcher_.WorkDue() || hooks_.WorkDue(); },
                      [this] { return std::min(dispatcher_.SleepMs(), hooks_.SleepMs()); });
    if (!host_.problem.empty()) {
        frontEnd_.MailProblem(host_.problem);
    }
    dispatcher_.Initialise();
}

}  // namespace raid
