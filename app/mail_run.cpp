#include "app/mail_run.h"

#include <filesystem>

#include "app/engine.h"

namespace raid {

std::string OutboxFolder(const std::string& logFolder) {
    return (std::filesystem::path(logFolder.empty() ? "." : logFolder) / "outbox").string();
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
          }) {}

void MailRun::Connect(Engine& engine) {
    engine_ = &engine;
    engine.SetMailService([this] { dispatcher_.ServiceMailFlags(); });
    engine.SetMailDue([this] { return dispatcher_.WorkDue(); });
    if (!host_.problem.empty()) {
        frontEnd_.MailProblem(host_.problem);
    }
    dispatcher_.Initialise();
}

}  // namespace raid
