#include "app/mail_run.h"

#include <filesystem>

#include "app/engine.h"

namespace raid {

std::string OutboxFolder(const std::string& logFolder) {
    // Without a log folder the mails wait in memory, never in the folder the
    // program happened to start from.
    return logFolder.empty() ? std::string()
                             : (std::filesystem::path(logFolder) / "outbox").string();
}

MailRun::MailRun(AppState& state, Clock& clock, FrontEnd& frontEnd, MailSender sender,
                 const std::string& settingsFolder)
    : frontEnd_(frontEnd),
      host_(OpenHostSettingsStore(settingsFolder)),
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
          }) {}

void MailRun::Connect(Engine& engine) {
    engine_ = &engine;
    // Set before any mail job can start, so the worker thread only ever reads it.
    waker_ = engine.MailWaker();
    engine.SetMailService([this] { dispatcher_.ServiceMailFlags(); });
    engine.SetMailDue([this] { return dispatcher_.WorkDue(); },
                      [this] { return dispatcher_.SleepMs(); });
    if (!host_.problem.empty()) {
        frontEnd_.MailProblem(host_.problem);
    }
    dispatcher_.Initialise();
}

}  // namespace raid
