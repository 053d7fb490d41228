#include "cli/firmware_command.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "app/app_state.h"
#include "app/engine.h"
#include "cli/console.h"
#include "cli/stop_signal_hold.h"
#include "maintenance/firmware_image.h"
#include "maintenance/firmware_upgrade.h"
#include "monitor/status_text.h"

namespace raid::cli {
namespace {

constexpr std::uint32_t kRedrawMs = 250;
constexpr int kBarWidth = 40;

// The status bar of a run without a window: keeps every panel, and while an
// upgrade runs without a terminal prints each new panel-4 text as a line.
class PanelKeeper final : public StatusSink {
  public:
    void SetPanel(int panel, const std::string& text) override {
        if (panel < 0 || panel > kPanelErrors) {
            return;
        }
        panels[static_cast<std::size_t>(panel)] = text;
        if (panel == kPanelErrors && printPanel4) {
            std::printf("%s\n", text.c_str());
            std::fflush(stdout);
        }
    }
    std::string panels[5];
    bool printPanel4 = false;
};

// Result texts of an upgrade go to standard output, problems to standard
// error.
class FirmwareDialogs final : public Dialogs {
  public:
    void MessageBox(const std::string& text, const std::string& caption, DialogIcon) override {
        if (caption == "Firmware Upgrade Message") {
            std::printf("%s\n", text.c_str());
            return;
        }
        std::fprintf(stderr, "%s%s%s\n", caption.c_str(), caption.empty() ? "" : ": ",
                     text.c_str());
    }
};

// The progress box: a bar redrawn in place on a terminal, the phase names as
// lines otherwise.
class ConsoleUpgradeView final : public UpgradeView {
  public:
    ConsoleUpgradeView(Clock& clock, const std::atomic<std::uint32_t>& counter, bool terminal)
        : clock_(clock), counter_(counter), terminal_(terminal) {}

    void SetProgressRange(std::uint32_t maximum) override { maximum_ = maximum; }
    void SetProcessCaption(const std::string& text) override {
        caption_ = text;
        if (terminal_) {
            Redraw(true);
        } else {
            std::printf("%s\n", text.c_str());
            std::fflush(stdout);
        }
    }
    void ShowProgress(bool visible) override {
        if (!visible && terminal_ && drawn_) {
            Redraw(true);
            std::printf("\n");
            drawn_ = false;
        }
    }
    // Timer1: called often; redraws at most every kRedrawMs.
    void Tick() {
        if (terminal_ && !caption_.empty()) {
            Redraw(false);
        }
    }

  private:
    void Redraw(bool force) {
        const std::uint64_t now = clock_.NowMs();
        if (!force && now - lastMs_ < kRedrawMs) {
            return;
        }
        lastMs_ = now;
        const std::uint32_t position = std::min(counter_.load(), maximum_);
        const int filled =
            maximum_ == 0 ? 0 : static_cast<int>(std::uint64_t{position} * kBarWidth / maximum_);
        const int percent =
            maximum_ == 0 ? 0 : static_cast<int>(std::uint64_t{position} * 100 / maximum_);
        std::printf("\r%s [%s%s] %3d%%", caption_.c_str(), std::string(filled, '#').c_str(),
                    std::string(kBarWidth - filled, '.').c_str(), percent);
        std::fflush(stdout);
        drawn_ = true;
    }

    Clock& clock_;
    const std::atomic<std::uint32_t>& counter_;
    const bool terminal_;
    std::uint32_t maximum_ = 0;
    std::string caption_;
    std::uint64_t lastMs_ = 0;
    bool drawn_ = false;
};

bool Confirm(const std::string& question) {
    std::printf("%s [y/N] ", question.c_str());
    std::fflush(stdout);
    std::string answer;
    if (!std::getline(std::cin, answer)) {
        std::printf("\n");
        return false;
    }
    return answer == "y" || answer == "Y" || answer == "yes";
}

}  // namespace

int RunFirmware(Platform& platform, Clock& clock, const FirmwareRequest& request) {
    AppState state;
    FirmwareDialogs dialogs;
    PanelKeeper panels;
    RecordingMailSink mail(clock);
    FrontEnd frontEnd;
    Engine engine(state,
                  EngineServices{*platform.transport, *platform.catalog, *platform.facts, clock,
                                 dialogs, panels, mail},
                  frontEnd, {});
    if (platform.lock) {
        engine.SetEnclosureLock(*platform.lock);
    }
    const int found = engine.DiscoverAndPollOnce();
    const std::size_t device = static_cast<std::size_t>(request.device - 1);
    if (found <= static_cast<int>(device)) {
        const std::string hint = PermissionProblem(*platform.transport);
        std::fprintf(stderr, "%s\n",
                     !hint.empty() ? hint.c_str()
                     : found == 0
                         ? "No Drive found! "
                         : ("Device" + std::to_string(request.device) + " not found.").c_str());
        return 1;
    }
    const DeviceState& dev = state.devices;
    const std::uint8_t disk = dev.table.Disk(device);
    std::printf("Device%d (disk %u): %s, firmware %s, SPI type %s\n", request.device, disk,
                BlockNameText(dev.blocks[disk]).c_str(),
                BlockFirmwareText(dev.blocks[disk]).c_str(),
                Hex2(dev.devices[device].flashType).c_str());

    auto file = MakeDiskImageFile();
    const bool loaded = engine.LoadFirmware(request.file, *file, device);
    std::printf("%s\n", panels.panels[kPanelErrors].c_str());
    if (!panels.panels[0].empty()) {
        std::printf("%s\n", panels.panels[0].c_str());
    }
    if (!panels.panels[2].empty()) {
        std::printf("%s %s\n", panels.panels[2].c_str(), panels.panels[3].c_str());
    }
    if (!loaded) {
        std::printf("Verdict: refused\n");
        return 1;
    }
    const FirmwareImage& image = state.maintenance.image;
    std::printf("Image: %u bytes, type %s\n", image.size, Hex2(image.Type()).c_str());
    std::printf("Verdict: accepted\n");
    if (request.action == "check") {
        return 0;
    }

    if (!request.yes &&
        !Confirm("Rewrite the firmware of Device" + std::to_string(request.device) + " (disk " +
                 std::to_string(disk) + ")? Do not disconnect it meanwhile.")) {
        std::printf("Cancelled.\n");
        return 1;
    }
    const bool terminal = ::isatty(STDOUT_FILENO) == 1;
    ConsoleUpgradeView view(clock, state.maintenance.progressCounter, terminal);
    panels.printPanel4 = !terminal;
    engine.SetMessagePump([&view] { view.Tick(); });
    StopSignalHold stopHeld;
    if (!stopHeld.held()) {
        std::fprintf(stderr, "raidcli: Ctrl+C is not held back: do not stop the upgrade\n");
    }
    const UpgradeResult result = engine.UpgradeFirmware(device, view);
    panels.printPanel4 = false;
    if (stopHeld.TakeArrived()) {
        std::fprintf(stderr,
                     "raidcli: a stop signal came during the upgrade; it was held back "
                     "until the upgrade ended\n");
    }
    return result.outcome == UpgradeOutcome::Completed ? 0 : 1;
}

}  // namespace raid::cli
