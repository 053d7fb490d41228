// The polling cycle against stand-in enclosures, on virtual time.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/engine_rig.h"

namespace raid {
namespace {

using ::testing::ElementsAre;
using testing::EngineRig;

std::vector<std::uint8_t> Codes(const std::vector<sim::CommandRecord>& records) {
    std::vector<std::uint8_t> codes;
    for (const auto& r : records) {
        codes.push_back(r.code);
    }
    return codes;
}

sim::Scenario OneStripe(std::uint8_t disk = 0) {
    sim::EnclosureConfig e;
    e.disk = disk;
    e.raidMode = sim::kModeStripe;
    e.controller.name = "Dock";
    e.controller.environment = false;
    for (auto& d : e.drives) {
        d.model = "MODEL";
        d.serial = "SERIAL";
        d.capacity = 1953525168;
    }
    sim::Scenario s;
    s.enclosures.push_back(e);
    return s;
}

// After start-up: recording on, so a test sees only what the polls send.
struct PollTest : ::testing::Test {
    void Start(sim::Scenario s) {
        rig = std::make_unique<EngineRig>(std::move(s));
        rig->StartUp();
        rig->sim.SetRecording(true);
        rig->sim.ClearRecords();
    }
    std::vector<std::uint8_t> SentTo(std::uint8_t disk) { return Codes(rig->sim.Commands(disk)); }
    void Poll() {
        rig->sim.ClearRecords();
        rig->PollOnce();
    }
    std::unique_ptr<EngineRig> rig;
};

TEST_F(PollTest, StartUpPassSendsNothingAndLogsWhatDiscoveryFound) {
    EngineRig rig;
    rig.engine.Initialise();
    rig.engine.RunDetectionPass();
    rig.sim.SetRecording(true);
    rig.engine.Timer4Tick();
    EXPECT_EQ(rig.state.poll.PollRequest.load(), ReqStatusPoll | ReqSmartThresholds | ReqSmartData);
    rig.engine.poller().ServeRequest();
    EXPECT_TRUE(rig.sim.Commands(0).empty());
    EXPECT_TRUE(rig.sim.Commands(1).empty());
    ASSERT_EQ(rig.frontEnd.redraws.size(), 1u);
    EXPECT_EQ(rig.frontEnd.redraws[0], std::make_pair(std::uint8_t{0x03}, true));
    EXPECT_EQ(rig.state.flags.StartupPass.load(), 0);
    ASSERT_GE(rig.LogLines().size(), 2u);
    EXPECT_EQ(rig.LogLines()[1].rfind("RAID GUI v0.50.11-5b has started from ", 0), 0u);
    EXPECT_EQ(rig.state.poll.PollRequest.load(), ReqSmartThresholds | ReqSmartData)
        << "the status poll ran first; the SMART reads wait for the next hand-overs";
}

TEST_F(PollTest, BusyDriveAsksForProgressUntilTheTaskEnds) {
    Start(sim::DefaultScenario());  // the mirror on disk 0 rebuilds for 120 s
    Poll();
    // Discovery saw the busy drive, so the poll asks for progress first.
    EXPECT_THAT(SentTo(0), ElementsAre(CmdGetControllerInfo, CmdGetExtendedStatus));
    EXPECT_THAT(SentTo(1), ElementsAre(CmdGetDriveInfo)) << "the stripe is idle";
    const std::uint8_t before = rig->state.devices.records[0].progressPercent;
    Poll();
    EXPECT_THAT(SentTo(0), ElementsAre(CmdGetControllerInfo, CmdGetExtendedStatus));
    EXPECT_GT(rig->state.devices.records[0].progressPercent, before);

    rig->clock.Advance(120'000);  // the rebuild is over
    Poll();
    EXPECT_THAT(SentTo(0),
                ElementsAre(CmdGetControllerInfo, CmdGetExtendedStatus, CmdGetDriveInfo));
    EXPECT_EQ(rig->state.devices.records[0].taskMask, 0);
    Poll();
    EXPECT_THAT(SentTo(0), ElementsAre(CmdGetControllerInfo, CmdGetDriveInfo));
}

TEST_F(PollTest, ABusyDriveWithoutARunningTaskDoesNotKeepThePollGoing) {
    auto s = OneStripe();
    s.enclosures[0].drives[0].state = sim::kStateBusy;  // busy, but task status 0
    Start(s);
    Poll();
    const auto sent = SentTo(0);
    EXPECT_LE(sent.size(), 2u * StatusPoller::kMaxRounds);
    EXPECT_EQ(rig->state.poll.StatusPollRunning.load(), 0);
    EXPECT_EQ(rig->state.devices.slots[0].failCount, 0) << "the drive information was read";
}

TEST_F(PollTest, ZeroTaskLengthLeavesThePercentAsItWas) {
    auto s = sim::DefaultScenario();
    s.enclosures[0].controller.capacity = 0;
    Start(s);
    rig->state.devices.records[0].progressPercent = 42;
    Poll();
    EXPECT_EQ(rig->state.devices.records[0].raidTaskStatus, 2);
    EXPECT_EQ(rig->state.devices.records[0].progressPercent, 42);
    EXPECT_TRUE(rig->state.devices.slots[0].progressActive);
}

TEST_F(PollTest, UncheckedSlotIsNeverPolled) {
    Start(sim::DefaultScenario());
    rig->state.poll.slotChecked[1].store(false);
    rig->frontEnd.redraws.clear();
    Poll();
    EXPECT_FALSE(SentTo(0).empty());
    EXPECT_TRUE(SentTo(1).empty());
    ASSERT_EQ(rig->frontEnd.redraws.size(), 1u);
    EXPECT_EQ(rig->frontEnd.redraws[0].first, 0x01);
}

TEST_F(PollTest, FailingSlotIsRetriedEverySecondPollAndSwitchedOffAtTheSixthFailure) {
    auto s = OneStripe();
    sim::FaultConfig never;
    never.kind = sim::FaultKind::NoReply;
    never.fromMs = 60'000;  // discovery at start-up still works
    s.enclosures[0].faults.push_back(never);
    Start(s);
    rig->clock.Advance(60'000);
    std::vector<int> failCounts;
    std::vector<std::size_t> commands;
    for (int poll = 0; poll < 11; ++poll) {
        Poll();
        failCounts.push_back(rig->state.devices.slots[0].failCount);
        commands.push_back(SentTo(0).size());
    }
    EXPECT_THAT(failCounts, ElementsAre(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0));
    EXPECT_THAT(commands, ElementsAre(1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1));
    EXPECT_FALSE(rig->state.poll.slotChecked[0].load());
    EXPECT_THAT(rig->frontEnd.unchecked, ElementsAre(0));
    Poll();
    EXPECT_TRUE(SentTo(0).empty()) << "an unticked slot stays quiet";
}

TEST_F(PollTest, ASuccessBetweenFailuresResetsTheCount) {
    auto s = OneStripe();
    sim::FaultConfig twice;
    twice.kind = sim::FaultKind::StatusByte;
    twice.status = 0xD0;
    twice.fromMs = 60'000;
    twice.times = 2;
    s.enclosures[0].faults.push_back(twice);
    Start(s);
    rig->clock.Advance(60'000);
    Poll();  // fails
    EXPECT_EQ(rig->state.devices.slots[0].failCount, 1);
    Poll();  // skipped
    Poll();  // fails
    Poll();  // skipped
    Poll();  // succeeds
    EXPECT_EQ(rig->state.devices.slots[0].failCount, 0);
    EXPECT_TRUE(rig->state.poll.slotChecked[0].load());
}

TEST_F(PollTest, NoDeviceSendsNothingAndReportsNoChange) {
    sim::Scenario s;
    Start(s);
    rig->engine.poller().PollStatus();
    EXPECT_TRUE(rig->frontEnd.redraws.empty());
    EXPECT_EQ(rig->state.poll.StatusPollRunning.load(), 0);
}

TEST_F(PollTest, FirstTimerTickDropsPendingRequestsAndOnlyArms) {
    Start(OneStripe());
    rig->state.poll.PollRequest.store(ReqApplySetting | ReqSmartData);
    rig->engine.Timer2Tick();
    EXPECT_EQ(rig->state.poll.PollRequest.load(), ReqPollArmed);
    rig->engine.Timer2Tick();
    EXPECT_EQ(rig->state.poll.PollRequest.load(), ReqPollArmed | ReqStatusPoll);

    rig->state.flags.MaintenanceBusy.store(1);
    rig->engine.Timer2Tick();
    EXPECT_EQ(rig->state.poll.PollRequest.load(), ReqStatusPoll) << "maintenance disarms";
}

TEST_F(PollTest, BuzzerMuteIsSentOnceLoggedAndReadBack) {
    Start(OneStripe());
    rig->state.poll.QueuedCommand.store(CmdBuzzerMuteOn);
    rig->state.devices.slots[0].buzzerChanged = true;
    rig->engine.Request(ReqApplySetting);
    rig->ServeAll();
    EXPECT_THAT(SentTo(0), ElementsAre(CmdBuzzerMuteOn));
    ASSERT_TRUE(rig->state.devices.slots[0].features & kFeatureBuzzer);
    ASSERT_EQ(rig->state.log.SettingsChangeLines.size(), 1u);
    EXPECT_EQ(rig->state.log.SettingsChangeLines[0].rfind("D1 Buzzer Mute(setted): ON, ", 0), 0u);
    EXPECT_EQ(rig->state.poll.QueuedCommand.load(), 0) << "a sent command is not sent again";

    Poll();
    EXPECT_EQ(rig->state.devices.records[0].controlFlags & 0x01, 0) << "muted, read back";
    EXPECT_FALSE(rig->state.devices.slots[0].buzzerChanged);
    EXPECT_TRUE(rig->state.log.SettingsChangeLines.empty()) << "moved into the log";

    // A later apply request without a new command sends and logs nothing.
    const auto linesBefore = rig->LogLines().size();
    rig->sim.ClearRecords();
    rig->engine.Request(ReqApplySetting);
    rig->ServeAll();
    EXPECT_TRUE(SentTo(0).empty());
    Poll();
    EXPECT_EQ(rig->LogLines().size(), linesBefore);
}

TEST_F(PollTest, ApplyWithoutADeviceSaysSo) {
    Start(sim::Scenario{});
    rig->state.poll.QueuedCommand.store(CmdBuzzerMuteOff);
    rig->engine.poller().ApplyQueuedSetting();
    EXPECT_EQ(rig->status.panels[kPanelErrors], "Device not found!!!");
    ASSERT_EQ(rig->dialogs.boxes.size(), 1u);
    EXPECT_EQ(rig->dialogs.boxes[0].text, "No Device found !");
    EXPECT_EQ(rig->dialogs.boxes[0].caption, "Message");
}

TEST_F(PollTest, BackupPeriodLinesSpellTheHours) {
    struct Case {
        std::uint8_t unit;
        std::uint8_t code;
        std::array<std::uint8_t, 3> args;
        const char* text;
    };
    const Case cases[] = {
        {24, CmdSyncEvery10Min, {0xCF, 0xDF, 0xEF}, "D1 Backup Period(Setted): OFF, "},
        {24, CmdSyncEvery30Min, {0xCF, 0xDF, 0xEF}, "D1 Backup Period(Setted): 1d, "},
        {6, CmdSyncEvery1Hour, {0xCF, 0xDF, 0xEF}, "D1 Backup Period(Setted): 1d-18h, "},
        {6, CmdHybridConfig, {0x02, 5, 0xDF}, "D1 Backup Period(Setted): 1d-6h, "},
        {6, CmdHybridConfig, {0x02, 1, 0xDF}, "D1 Backup Period(Setted): 6h, "},
        {24, CmdHybridConfig, {0x01, 0x5A, 0xDF}, "D1 Buzzer Mute(setted): OFF, "},
    };
    for (const Case& c : cases) {
        auto s = OneStripe();
        s.enclosures[0].controller.hybridConfig = true;
        s.enclosures[0].controller.backup = sim::BackupConfig{};
        Start(s);
        rig->state.devices.devices[0].scheduleUnit = c.unit;
        rig->engine.channel().SetQueuedArgs(c.code, c.args[0], c.args[1], c.args[2]);
        rig->state.poll.QueuedCommand.store(c.code);
        rig->engine.poller().ApplyQueuedSetting();
        ASSERT_EQ(rig->state.log.SettingsChangeLines.size(), 1u) << c.text;
        EXPECT_EQ(rig->state.log.SettingsChangeLines[0].rfind(c.text, 0), 0u)
            << rig->state.log.SettingsChangeLines[0];
    }
}

}  // namespace
}  // namespace raid
