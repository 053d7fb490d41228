// The Set operation of the backup schedule through the queued-setting path,
// against stand-in enclosures on virtual time.
#include "maintenance/schedule_setting.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/engine_rig.h"

namespace raid {
namespace {

using testing::EngineRig;

// The default scenario's mirror (disk 0, 1 day; presets 1, 7, 30 days) with
// another unit and other presets when asked.
sim::Scenario Mirror(std::uint8_t unit = 24, std::array<std::uint8_t, 3> presets = {1, 7, 30},
                     bool environment = true) {
    sim::Scenario s = sim::DefaultScenario();
    s.timeline.clear();
    sim::ControllerConfig& c = s.enclosures[0].controller;
    c.backup->unit = unit;
    c.backup->presets = presets;
    c.environment = environment;
    return s;
}

struct ScheduleSetTest : ::testing::Test {
    void Start(sim::Scenario s = Mirror()) {
        rig = std::make_unique<EngineRig>(std::move(s));
        refreshes = 0;
        rig->StartUp();
        rig->PollOnce();  // past the start-up pass
        rig->sim.SetRecording(true);
        rig->sim.ClearRecords();
        // The window's pump: the polling thread's hand-over runs between events.
        pump = [this] { rig->engine.poller().ServeRequest(); };
        ApplyScheduleParameters(rig->state.devices.schedule, rig->state.devices.devices[0],
                                rig->state.devices.slots[0].features);
        setter = std::make_unique<ScheduleSetter>(ScheduleSetServices{
            .devices = rig->state.devices,
            .flags = rig->state.flags,
            .poll = rig->state.poll,
            .channel = rig->engine.channel(),
            .clock = rig->clock,
            .dialogs = rig->dialogs,
            .status = rig->status,
            .request = [this](std::uint8_t bits) { rig->engine.Request(bits); },
            .pump = [this] { pump(); },
            .refresh = [this] { ++refreshes; },
        });
    }
    const RaidStatus& Shown() { return rig->state.devices.records[0]; }
    std::vector<sim::CommandRecord> SettingCommands() {
        std::vector<sim::CommandRecord> out;
        for (const auto& r : rig->sim.Commands(0)) {
            if (r.code >= CmdSyncEvery10Min && r.code <= CmdHybridConfig) {
                out.push_back(r);
            }
        }
        return out;
    }
    std::vector<std::string> ErrorPanel() {
        std::vector<std::string> out;
        for (const std::string& h : rig->status.history) {
            if (h.rfind("4:", 0) == 0) {
                out.push_back(h.substr(2));
            }
        }
        return out;
    }

    std::unique_ptr<EngineRig> rig;
    std::function<void()> pump;
    std::unique_ptr<ScheduleSetter> setter;
    int refreshes = 0;
};

TEST_F(ScheduleSetTest, PresetIsSentAndThePollReadsTheNewPeriodBack) {
    using B = ScheduleButton;
    struct Case {
        ScheduleButton button;
        std::uint8_t code;
        std::uint8_t period;
        const char* line;
    } cases[] = {
        {B::Off, CmdSyncEvery10Min, 0, "D1 Backup Period(Setted): OFF, "},
        {B::Preset2, CmdSyncEvery1Hour, 7, "D1 Backup Period(Setted): 7d, "},
        {B::Preset3, CmdSyncEvery3Hours, 30, "D1 Backup Period(Setted): 30d, "},
    };
    for (const auto& c : cases) {
        Start();
        EXPECT_EQ(setter->Set({c.button}), ScheduleSetOutcome::Ok);
        const auto sent = SettingCommands();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].code, c.code);
        EXPECT_EQ(sent[0].args, (std::array<std::uint8_t, 3>{0xCF, 0xDF, 0xEF})) << "fixed ones";
        EXPECT_EQ(sent[0].status, sim::kReplySuccess);
        EXPECT_EQ(Shown().backupInfo[0], c.period) << "read back by the following poll";
        EXPECT_EQ(rig->state.poll.QueuedCommand.load(), 0);
        ASSERT_EQ(rig->dialogs.boxes.size(), 1u);
        EXPECT_EQ(rig->dialogs.boxes[0].text, "Schedule Backup Setting OK!");
        EXPECT_EQ(rig->dialogs.boxes[0].caption, "Setting");
        EXPECT_EQ(refreshes, 1);
        // The poll that read the period back moved the settings line into the log.
        const auto lines = rig->LogLines();
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [&c](const std::string& l) { return l.rfind(c.line, 0) == 0; }),
                  1)
            << c.line;
    }
}

TEST_F(ScheduleSetTest, UserPeriodTravelsInTheArgumentsOfTheHybridCommand) {
    Start(Mirror(6, {1, 4, 20}));
    EXPECT_EQ(setter->Set({ScheduleButton::UserPeriod, 2, 2}), ScheduleSetOutcome::Ok);
    const auto sent = SettingCommands();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].code, CmdHybridConfig);
    EXPECT_EQ(sent[0].args, (std::array<std::uint8_t, 3>{0x02, 10, 0xDF}));
    EXPECT_EQ(Shown().backupInfo[0], 10);
}

TEST_F(ScheduleSetTest, TheChoiceInForceSendsNothingAndSaysNothing) {
    using B = ScheduleButton;
    for (const ScheduleChoice choice :
         {ScheduleChoice{B::Preset1}, ScheduleChoice{B::UserPeriod, 1, 0}}) {
        Start(Mirror(24, {1, 7, 30}));
        EXPECT_EQ(setter->Set(choice), ScheduleSetOutcome::NoChange);
        EXPECT_TRUE(SettingCommands().empty());
        EXPECT_TRUE(rig->dialogs.boxes.empty());
        EXPECT_EQ(rig->state.poll.PollRequest.load() & (ReqApplySetting | ReqStatusPoll), 0);
        EXPECT_EQ(refreshes, 0);
        EXPECT_FALSE(setter->running());
    }
}

TEST_F(ScheduleSetTest, HandOversThatDoNotComeGiveErrorCodesOneAndTwo) {
    struct Case {
        const char* what;
        bool serveSetting;
        const char* code;
    } cases[] = {
        {"the polling thread never hands over", false, "Backup Setting error code :01"},
        {"the setting is served, the poll is not", true, "Backup Setting error code :02"},
    };
    for (const auto& c : cases) {
        Start();
        pump = [this, &c] {
            if (c.serveSetting && (rig->state.poll.PollRequest.load() & ReqStatusPoll) == 0) {
                rig->engine.poller().ServeRequest();
            }
        };
        const std::uint64_t before = rig->clock.NowMs();
        const ScheduleSetOutcome outcome = setter->Set({ScheduleButton::Preset2});
        EXPECT_EQ(ScheduleErrorCode(outcome), c.serveSetting ? 2 : 1) << c.what;
        // 51 rounds of 30 ms for each wait that ran out (plus the command's own pause).
        const std::uint64_t waited = rig->clock.NowMs() - before;
        EXPECT_GE(waited, 51u * 30u) << c.what;
        EXPECT_LT(waited, (c.serveSetting ? 2u : 1u) * 51u * 30u + 30u * 30u) << c.what;
        EXPECT_EQ(ErrorPanel(), (std::vector<std::string>{c.code, ""})) << c.what;
        ASSERT_EQ(rig->dialogs.boxes.size(), 1u);
        EXPECT_EQ(rig->dialogs.boxes[0].text, "Schedule Backup Setting fail!\n Please try again!");
        EXPECT_EQ(rig->dialogs.boxes[0].caption, "Setting");
        EXPECT_EQ(rig->state.poll.QueuedCommand.load(), 0) << c.what;
        EXPECT_EQ(refreshes, 1);
    }
}

TEST_F(ScheduleSetTest, ASecondClickDuringTheWaitStartsNoSecondSet) {
    Start();
    std::vector<ScheduleSetOutcome> inner;
    pump = [this, &inner] {
        inner.push_back(setter->Set({ScheduleButton::Preset3}));
        rig->engine.poller().ServeRequest();
    };
    EXPECT_EQ(setter->Set({ScheduleButton::Preset2}), ScheduleSetOutcome::Ok);
    ASSERT_FALSE(inner.empty());
    for (ScheduleSetOutcome o : inner) {
        EXPECT_EQ(o, ScheduleSetOutcome::AlreadyRunning);
    }
    ASSERT_EQ(SettingCommands().size(), 1u);
    EXPECT_EQ(SettingCommands()[0].code, CmdSyncEvery1Hour);
    EXPECT_EQ(rig->dialogs.boxes.size(), 1u);
    EXPECT_FALSE(setter->running());
}

TEST_F(ScheduleSetTest, ClosingTheWindowDuringTheWaitEndsItSilently) {
    Start();
    pump = [this] { rig->state.flags.AppClosing.store(1); };
    const std::uint64_t before = rig->clock.NowMs();
    EXPECT_EQ(setter->Set({ScheduleButton::Preset2}), ScheduleSetOutcome::Closing);
    EXPECT_LT(rig->clock.NowMs() - before, 51u * 30u);
    EXPECT_TRUE(rig->dialogs.boxes.empty());
    EXPECT_EQ(rig->state.poll.QueuedCommand.load(), 0);
    EXPECT_FALSE(setter->running());
}

TEST_F(ScheduleSetTest, APeriodTooLongForItsByteIsNotSentCutShort) {
    Start(Mirror(1, {1, 2, 3}));
    // 11 days of 1-hour steps are 264 steps; the byte would carry 8.
    EXPECT_EQ(setter->Set({ScheduleButton::UserPeriod, 11, 0}), ScheduleSetOutcome::OutOfRange);
    EXPECT_TRUE(SettingCommands().empty());
    EXPECT_EQ(ErrorPanel(), (std::vector<std::string>{"Backup Setting error code :03", ""}));
    ASSERT_EQ(rig->dialogs.boxes.size(), 1u);
    EXPECT_EQ(rig->dialogs.boxes[0].text, "Schedule Backup Setting fail!\n Please try again!");
}

TEST_F(ScheduleSetTest, AnEnclosureWithoutFanReadingsStillShowsItsNewPeriod) {
    Start(Mirror(24, {1, 7, 30}, false));
    ASSERT_FALSE(rig->state.devices.slots[0].envRefresh);
    EXPECT_EQ(setter->Set({ScheduleButton::Preset2}), ScheduleSetOutcome::Ok);
    EXPECT_EQ(Shown().backupInfo[0], 7);
}

}  // namespace
}  // namespace raid
