#include "cli/firmware_command.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <variant>

#include "app/app_state.h"
#include "app/engine.h"
#include "cli/console.h"
#include "cli/one_shot.h"
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
    void Clear() {
        for (std::string& text : panels) {
            text.clear();
        }
    }
    std::string panels[5];
    bool printPanel4 = false;
};

// Result texts of an upgrade go to standard output, problems to standard
// error; the question before the upgrade is asked on the terminal unless
// --yes answered it.
class FirmwareDialogs final : public Dialogs {
  public:
    explicit FirmwareDialogs(bool yes) : yes_(yes) {}

    void MessageBox(const std::string& text, const std::string& caption, DialogIcon) override {
        if (caption == "Firmware Upgrade Message") {
            std::printf("%s\n", text.c_str());
            return;
        }
        std::fprintf(stderr, "%s%s%s\n", caption.c_str(), caption.empty() ? "" : ": ",
                     text.c_str());
    }

    bool Ask(const std::string& question, const std::string&) override {
        if (yes_) {
            std::printf("%s yes (--yes)\n", question.c_str());
            return true;
        }
        std::printf("%s [y/N] ", question.c_str());
        std::fflush(stdout);
        std::string answer;
        if (!std::getline(std::cin, answer)) {
            std::printf("\n");
            return false;
        }
        return answer == "y" || answer == "Y" || answer == "yes";
    }

  private:
    const bool yes_;
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
    // The box shows from right before the first erase to right after the
    // last compare: exactly the stretch that no stop signal may cut short.
    void ShowProgress(bool visible) override {
        if (visible) {
            hold_.emplace();
            if (!hold_->held()) {
                std::fprintf(stderr,
                             "raidcli: stop signals are not held back: do not stop the "
                             "upgrade\n");
            }
            return;
        }
        if (terminal_ && drawn_) {
            Redraw(true);
            std::printf("\n");
            drawn_ = false;
        }
        if (hold_ && hold_->TakeArrived()) {
            heldBack_ = true;
        }
        hold_.reset();
    }
    bool SignalHeldBack() const { return heldBack_; }
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
    std::optional<StopSignalHold> hold_;
    bool heldBack_ = false;
};

// The device-table index the request names, or an exit status after saying
// why there is none.
std::variant<std::size_t, int> ChooseTarget(Platform& platform, const AppState& state, int found,
                                            const FirmwareRequest& request) {
    const DeviceState& dev = state.devices;
    if (found == 0) {
        ReportNoEnclosure(*platform.transport);
        return 1;
    }
    if (request.disk.empty()) {
        const auto device = static_cast<std::size_t>(request.device - 1);
        if (device >= dev.table.count) {
            std::fprintf(stderr, "Device%d not found.\n", request.device);
            return 1;
        }
        return device;
    }
    std::optional<std::uint8_t> disk;
    if (request.disk.size() == 1 && request.disk[0] >= '0' && request.disk[0] <= '9') {
        disk = static_cast<std::uint8_t>(request.disk[0] - '0');
    } else if (platform.diskOfNode) {
        disk = platform.diskOfNode(request.disk);
    }
    if (!disk) {
        std::fprintf(stderr, "raidcli firmware: %s is not one of the disks 0-9\n",
                     request.disk.c_str());
        return 2;
    }
    for (std::size_t i = 0; i < dev.table.count; ++i) {
        if (dev.table.Disk(i) == *disk) {
            return i;
        }
    }
    std::fprintf(stderr, "No enclosure was found on disk %u.\n", *disk);
    return 1;
}

// Writes that failed on the way (a reader that went away) are said where they
// still can be: the work itself went on.
void ReportLostOutput() {
    if (std::ferror(stdout) != 0) {
        std::fprintf(stderr,
                     "raidcli: standard output could not be written; the firmware "
                     "command went on to its end\n");
    }
}

}  // namespace

int RunFirmware(Platform& platform, Clock& clock, const FirmwareRequest& request) {
    AppState state;
    FirmwareDialogs dialogs(request.yes);
    PanelKeeper panels;
    RecordingMailSink mail(clock);
    FrontEnd frontEnd;
    auto engine = MakeOneShotEngine(state, platform, clock, {dialogs, panels, mail, frontEnd});
    const int found = engine->DiscoverAndPollOnce();
    // The poll's trace marks belong to a window's status bar, not here.
    panels.Clear();
    const auto chosen = ChooseTarget(platform, state, found, request);
    if (const int* status = std::get_if<int>(&chosen)) {
        return *status;
    }
    const std::size_t device = std::get<std::size_t>(chosen);
    const DeviceState& dev = state.devices;
    const std::uint8_t disk = dev.table.Disk(device);
    if (ReportIfInUse(dev, device)) {
        return 1;
    }
    std::printf("Device%zu (disk %u): %s, firmware %s, SPI type %s\n", device + 1, disk,
                BlockNameText(dev.blocks[disk]).c_str(),
                BlockFirmwareText(dev.blocks[disk]).c_str(),
                Hex2(dev.devices[device].flashType).c_str());

    auto file = MakeDiskImageFile();
    const bool loaded = engine->LoadFirmware(request.file, *file, device);
    std::printf("%s\n", panels.panels[kPanelErrors].c_str());
    if (!panels.panels[0].empty()) {
        std::printf("%s\n", panels.panels[0].c_str());
    }
    if (!panels.panels[2].empty()) {
        std::printf("%s %s\n", panels.panels[2].c_str(), panels.panels[3].c_str());
    }
    if (!loaded) {
        std::printf("Verdict: refused\n");
        ReportLostOutput();
        return 1;
    }
    const FirmwareImage& image = state.maintenance.image;
    std::printf("Image: %u bytes, type %s\n", image.size, Hex2(image.Type()).c_str());
    // check and upgrade run the same checks: what check accepts, upgrade
    // starts on, and what it refuses upgrade refuses for the same reason.
    const UpgradeResult verdict = engine->CheckUpgrade(device);
    std::printf("Verdict: %s\n",
                verdict.outcome == UpgradeOutcome::Accepted ? "accepted" : "refused");
    if (request.action == "check" || verdict.outcome != UpgradeOutcome::Accepted) {
        ReportLostOutput();
        return verdict.outcome == UpgradeOutcome::Accepted ? 0 : 1;
    }

    const bool terminal = ::isatty(STDOUT_FILENO) == 1;
    ConsoleUpgradeView view(clock, state.maintenance.progressCounter, terminal);
    panels.printPanel4 = !terminal;
    engine->SetMessagePump([&view] { view.Tick(); });
    const UpgradeResult result = engine->UpgradeFirmware(device, view);
    panels.printPanel4 = false;
    if (result.outcome == UpgradeOutcome::NotStarted && result.text == "Cancelled.") {
        std::printf("Cancelled.\n");
    }
    if (view.SignalHeldBack()) {
        std::fprintf(stderr,
                     "raidcli: a stop signal came during the upgrade; it was held back "
                     "until the upgrade ended\n");
    }
    ReportLostOutput();
    return result.outcome == UpgradeOutcome::Completed ? 0 : 1;
}

}  // namespace raid::cli
