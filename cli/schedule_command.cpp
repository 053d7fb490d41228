#include "cli/schedule_command.h"

#include <charconv>
#include <cstdio>
#include <optional>

#include "app/app_state.h"
#include "app/engine.h"
#include "cli/console.h"
#include "cli/one_shot.h"
#include "maintenance/schedule_choice.h"
#include "maintenance/schedule_setting.h"
#include "maintenance/schedule_text.h"
#include "monitor/status_text.h"

namespace raid::cli {
namespace {

// How long the set waits for discovery and the start-up pass.
constexpr std::uint64_t kStartBudgetMs = 30'000;

struct ScheduleArgs {
    int device = 1;
    bool set = false;
    std::string preset;  // off, preset1 ... preset3; empty for a user period
    std::optional<int> days;
    std::optional<int> hours;
    std::string error;
};

std::optional<int> Whole(const std::string& text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

ScheduleArgs ParseArgs(const std::vector<std::string>& args) {
    ScheduleArgs out;
    for (std::size_t i = 0; i < args.size() && out.error.empty(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> std::optional<int> {
            if (i + 1 >= args.size()) {
                out.error = a + " needs a number";
                return std::nullopt;
            }
            auto v = Whole(args[++i]);
            if (!v) {
                out.error = a + " needs a number, not '" + args[i] + "'";
            }
            return v;
        };
        if (a == "--device") {
            const auto v = value();
            if (v && *v != 1 && *v != 2) {
                out.error = "--device is 1 or 2";
            }
            out.device = v.value_or(1);
        } else if (a == "set" && !out.set) {
            out.set = true;
        } else if (out.set && (a == "off" || a == "preset1" || a == "preset2" || a == "preset3") &&
                   out.preset.empty()) {
            out.preset = a;
        } else if (out.set && a == "--days") {
            out.days = value();
        } else if (out.set && a == "--hours") {
            out.hours = value();
        } else {
            out.error = "unknown argument '" + a + "'";
        }
    }
    if (out.error.empty() && out.set) {
        const bool user = out.days || out.hours;
        if (out.preset.empty() && !user) {
            out.error = "set needs off, preset1, preset2, preset3 or --days D --hours H";
        } else if (!out.preset.empty() && user) {
            out.error = "set takes a preset or --days and --hours, not both";
        } else if (user && !(out.days && out.hours)) {
            out.error = "a user period needs both --days and --hours";
        }
    }
    return out;
}

// The console "window" of a set: the first drawing ends the start-up pass.
class ScheduleFrontEnd final : public FrontEnd {
  public:
    explicit ScheduleFrontEnd(AppState& state) : state_(state) {}
    void DevicesApplied(int count) override { applied_ = count; }
    void RedrawStatus(std::uint8_t, bool) override {
        state_.flags.StartupPass.store(0);
        state_.log.FullRedrawRequested = false;
    }
    std::optional<int> applied() const { return applied_; }

  private:
    AppState& state_;
    std::optional<int> applied_;
};

// The choice a set names, in the combo-box indexes of the window.
std::optional<ScheduleChoice> ChoiceOf(const ScheduleArgs& a, const ScheduleParameters& params,
                                       std::uint8_t features, std::string& error) {
    if (a.preset == "off") {
        return ScheduleChoice{ScheduleButton::Off};
    }
    if (!a.preset.empty()) {
        return ScheduleChoice{static_cast<ScheduleButton>(static_cast<int>(ScheduleButton::Off) +
                                                          (a.preset[6] - '0'))};
    }
    if (!OffersUserPeriod(params, features)) {
        error = "this enclosure takes no user period; choose off or a preset";
        return std::nullopt;
    }
    const std::vector<std::string> items = HourItems(params.unit);
    const int hours = *a.hours;
    if (*a.days < 0 || *a.days > kMaxScheduleDays) {
        error = "--days is 0 to 30";
        return std::nullopt;
    }
    if (hours < 0 || hours >= 24 || hours % params.unit != 0) {
        std::string offered;
        for (const std::string& item : items) {
            offered += (offered.empty() ? "" : ", ") + item;
        }
        error = "--hours is one of " + offered + " (steps of " + std::to_string(params.unit) +
                " hours)";
        return std::nullopt;
    }
    return ScheduleChoice{ScheduleButton::UserPeriod, *a.days, hours / params.unit};
}

void PrintSchedule(const AppState& state, std::size_t slot) {
    const DeviceState& dev = state.devices;
    const std::uint8_t disk = dev.table.Disk(slot);
    const RaidStatus& r = dev.records[disk];
    const ScheduleParameters& params = dev.schedule;
    const std::uint8_t features = dev.slots[slot].features;
    std::printf("Device%zu (disk %u): %s\n", slot + 1, disk,
                BlockNameText(dev.blocks[disk]).c_str());
    std::printf("  %s\n  %s\n", BackupPeriodText(r.backupInfo[0], params.unit).c_str(),
                BackupMessageText(r).c_str());
    const ScheduleControls controls = ScheduleControlsFor(params, features);
    std::printf("  Presets: off: Off, preset1: %s, preset2: %s, preset3: %s\n",
                controls.presetCaptions[0].c_str(), controls.presetCaptions[1].c_str(),
                controls.presetCaptions[2].c_str());
    if (controls.userPeriod) {
        std::string hours;
        for (const std::string& item : controls.hourItems) {
            hours += (hours.empty() ? "" : " ") + item;
        }
        std::printf("  User Period: --days 0-30, --hours %s (steps of %u hours)\n", hours.c_str(),
                    params.unit);
    }
}

// Discovery and the start-up pass with the workers running, as the window
// starts; false when no enclosure turned up in time.
bool StartUp(Engine& engine, AppState& state, ScheduleFrontEnd& frontEnd, Clock& clock) {
    engine.Start();
    const std::uint64_t until = clock.NowMs() + kStartBudgetMs;
    std::uint64_t nextTimer4 = clock.NowMs();
    while (clock.NowMs() < until) {
        if (clock.NowMs() >= nextTimer4) {
            engine.Timer4Tick();
            nextTimer4 += 500;
        }
        if (frontEnd.applied() &&
            (*frontEnd.applied() == 0 || state.flags.StartupPass.load() == 0)) {
            return *frontEnd.applied() > 0;
        }
        engine.queue().WaitForWork(50);
        engine.queue().RunPending();
    }
    return false;
}

}  // namespace

int RunSchedule(Platform& platform, Clock& clock, const std::vector<std::string>& args) {
    const ScheduleArgs a = ParseArgs(args);
    if (!a.error.empty()) {
        std::fprintf(stderr, "raidcli schedule: %s\n", a.error.c_str());
        return 2;
    }

    AppState state;
    ConsoleDialogs dialogs;
    ConsoleStatus status;
    RecordingMailSink mail(clock);
    ScheduleFrontEnd frontEnd(state);
    const std::unique_ptr<Engine> owned =
        MakeOneShotEngine(state, platform, clock, {dialogs, status, mail, frontEnd});
    Engine& engine = *owned;
    const bool found =
        a.set ? StartUp(engine, state, frontEnd, clock) : engine.DiscoverAndPollOnce() > 0;
    DeviceState& dev = state.devices;
    if (!found) {
        ReportNoEnclosure(*platform.transport);
        return 1;
    }
    const auto slot = static_cast<std::size_t>(a.device - 1);
    if (slot >= dev.table.count || slot >= kMaxSlots) {
        std::fprintf(stderr, "raidcli schedule: there is no Device%d\n", a.device);
        return 1;
    }
    if (ReportIfInUse(dev, slot)) {
        return 1;
    }
    if ((dev.slots[slot].features & kFeatureBackup) == 0) {
        std::fprintf(stderr, "raidcli schedule: Device%d keeps no backup schedule\n", a.device);
        return 1;
    }
    state.poll.shownSlot = static_cast<std::uint8_t>(slot);
    ApplyScheduleParameters(dev.schedule, dev.devices[slot], dev.slots[slot].features);
    if (!a.set) {
        PrintSchedule(state, slot);
        return 0;
    }

    std::string error;
    const std::optional<ScheduleChoice> choice =
        ChoiceOf(a, dev.schedule, dev.slots[slot].features, error);
    if (!choice) {
        std::fprintf(stderr, "raidcli schedule: %s\n", error.c_str());
        return 2;
    }
    const RaidStatus& record = dev.records[dev.table.Disk(slot)];
    const std::uint8_t before = record.backupInfo[0];
    ScheduleSetter setter(ScheduleSetServices{
        .devices = dev,
        .flags = state.flags,
        .poll = state.poll,
        .channel = engine.channel(),
        .clock = clock,
        .dialogs = dialogs,
        .status = status,
        .request = [&engine](std::uint8_t bits) { engine.Request(bits); },
        .pump = [&engine] { engine.queue().RunPending(); },
        .refresh = {},
    });
    const ScheduleSetOutcome outcome = setter.Set(*choice);
    PrintSchedule(state, slot);
    engine.Close();
    if (outcome == ScheduleSetOutcome::NoChange) {
        std::fprintf(stderr, "raidcli schedule: that is the period in force; nothing was sent\n");
        return 1;
    }
    if (outcome != ScheduleSetOutcome::Ok) {
        return 1;
    }
    if (record.backupInfo[0] == before) {
        std::fprintf(stderr, "raidcli schedule: the enclosure still reports the old period\n");
        return 1;
    }
    return 0;
}

}  // namespace raid::cli
