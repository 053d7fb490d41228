// The polling cycle against stand-in enclosures, on virtual time.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/engine_rig.h"
#include "tests/support/fake_transport.h"

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

// A device-table entry's disk bits reach 15; the per-disk records end at 9.
TEST_F(PollTest, AnEntryBeyondTheLastDiskIsNeverPolled) {
    Start(OneStripe());
    DeviceState& dev = rig->state.devices;
    dev.table.entries[1] = kEnclosureMark | 0x0C;
    dev.table.count = 2;
    const auto blocks = dev.blocks;
    rig->frontEnd.redraws.clear();
    Poll();
    EXPECT_FALSE(SentTo(0).empty());
    EXPECT_EQ(dev.currentSlot.load(), 0) << "slot 1 was never addressed";
    EXPECT_EQ(dev.slots[1].failCount, 0) << "not a failing enclosure either";
    ASSERT_EQ(rig->frontEnd.redraws.size(), 1u);
    EXPECT_EQ(rig->frontEnd.redraws[0].first, 0x01);
    EXPECT_EQ(dev.blocks, blocks) << "nothing written past the records";
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

// ServeRequest on its own, with no enclosure: each kind of work leaves a mark
// (the poll its first trace, the setting its "No Device found !" box, the
// SMART reads their hooks), so a test sees which one a hand-over served.
struct ServeRig {
    ServeRig()
        : channel(transport, clock),
          poller(channel, transport, clock, devices, flags, poll, status, dialogs,
                 PollHooks{
                     .processMessages = {},
                     .detectEvents = {},
                     .redraw = {},
                     .slotUnchecked = {},
                     .settingsChangeLine = {},
                     .timeText = {},
                     .readSmartThresholds = [this] { served.push_back("thresholds"); },
                     .readSmartData = [this] { served.push_back("smart data"); },
                     .pollDone = {},
                 }) {}

    // What one hand-over served.
    std::vector<std::string> ServeOnce() {
        served.clear();
        status.history.clear();
        dialogs.boxes.clear();
        poller.ServeRequest();
        std::vector<std::string> all;
        for (const std::string& entry : status.history) {
            if (entry.rfind("3:G = 2x, ", 0) == 0) {
                all.push_back("poll");
            }
        }
        if (!dialogs.boxes.empty()) {
            all.push_back("setting");
        }
        all.insert(all.end(), served.begin(), served.end());
        return all;
    }

    VirtualClock clock;
    testing::FakeTransport transport;
    CommandChannel channel;
    DeviceState devices;
    ProcessFlags flags;
    PollState poll;
    testing::RecordingStatus status;
    testing::RecordingDialogs dialogs;
    std::vector<std::string> served;
    StatusPoller poller;
};

// One request per hand-over, in the order 0x01, 0x02, 0x04, 0x08, 0x20; a
// busy bit holds back its request and every lower one.
TEST(ServeRequest, PriorityAndBusyBits) {
    struct Case {
        const char* what;
        std::uint8_t pending;
        std::uint8_t busy;
        std::vector<std::string> served;
        std::uint8_t left;
    };
    const Case cases[] = {
        {"poll before SMART data", ReqStatusPoll | ReqSmartData, 0, {"poll"}, ReqSmartData},
        {"SMART data alone", ReqSmartData, 0, {"smart data"}, 0},
        {"poll busy: SMART waits too",
         ReqStatusPoll | ReqSmartData,
         ReqStatusPoll,
         {},
         ReqStatusPoll | ReqSmartData},
        {"setting before thresholds",
         ReqApplySetting | ReqSmartThresholds,
         0,
         {"setting"},
         ReqSmartThresholds},
        {"setting busy",
         ReqApplySetting | ReqSmartThresholds,
         ReqApplySetting,
         {},
         ReqApplySetting | ReqSmartThresholds},
        {"scan command before thresholds",
         ReqScanCommand | ReqSmartThresholds,
         0,
         {},
         ReqSmartThresholds},
        {"thresholds before data",
         ReqSmartThresholds | ReqSmartData,
         0,
         {"thresholds"},
         ReqSmartData},
        {"armed is no request", ReqPollArmed, 0, {}, ReqPollArmed},
        {"armed stays armed", ReqPollArmed | ReqStatusPoll, 0, {"poll"}, ReqPollArmed},
        {"a busy bit of another request", ReqStatusPoll, ReqApplySetting, {"poll"}, 0},
    };
    for (const Case& c : cases) {
        ServeRig rig;
        rig.poll.PollRequest.store(c.pending);
        rig.poll.PollBusy.store(c.busy);
        EXPECT_EQ(rig.ServeOnce(), c.served) << c.what;
        EXPECT_EQ(rig.poll.PollRequest.load(), c.left) << c.what;
        EXPECT_EQ(rig.poll.PollBusy.load(), c.busy) << c.what;
    }
}

// The case the start-up hand-overs meet: poll and SMART read both pending.
TEST(ServeRequest, StatusPollFirstThenTheSmartReadOnTheNextHandOver) {
    ServeRig rig;
    rig.poll.PollRequest.store(ReqStatusPoll | ReqSmartThresholds | ReqSmartData);
    EXPECT_THAT(rig.ServeOnce(), ElementsAre("poll"));
    EXPECT_THAT(rig.ServeOnce(), ElementsAre("thresholds"));
    EXPECT_THAT(rig.ServeOnce(), ElementsAre("smart data"));
    EXPECT_TRUE(rig.ServeOnce().empty());
    EXPECT_EQ(rig.poll.PollRequest.load(), 0);
}

}  // namespace
}  // namespace raid
