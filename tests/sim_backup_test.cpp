// The stand-in's backup schedule on scenario time: the count runs down, a
// due backup keeps HDD2 busy, and the schedule starts over when it ends.
#include <gtest/gtest.h>

#include "device/command_channel.h"
#include "maintenance/schedule_text.h"
#include "sim/sim_transport.h"
#include "tests/support/engine_rig.h"

namespace raid::sim {
namespace {

constexpr std::uint64_t kHourMs = 3'600'000;

// A hybrid mirror backing up every hour (1 step of 1 hour), the first
// backup due in `count` ten-second counts; one backup takes two minutes.
EnclosureConfig HourlyMirror(std::uint16_t count = 360, std::uint8_t period = 1) {
    EnclosureConfig e;
    e.disk = 0;
    e.raidMode = kModeMirror;
    e.controller.name = "Hybrid";
    e.controller.backup = BackupConfig{period, count, 0, 1, {1, 2, 3}, 120'000};
    e.controller.hybridConfig = true;
    e.drives[0] = {kStatePresent, "SSD", "S1", 1'000'000, 0x6003, {}};
    e.drives[1] = {kStatePresent, "HDD", "S2", 1'000'000, 0x6003, {}};
    return e;
}

struct Reading {
    std::uint8_t period;
    std::uint32_t counts;  // weeks folded in
    std::uint8_t hdd2State;
    std::uint8_t task;
};

class SimBackup : public ::testing::Test {
  protected:
    explicit SimBackup(EnclosureConfig e = HourlyMirror(), std::vector<TimelineEvent> timeline = {})
        : sim(Scenario{"t", {e}, {}, std::move(timeline)}, clock), channel(sim, clock) {}

    // What the host reads at scenario time `atMs`.
    Reading At(std::uint64_t atMs) {
        clock.Advance(atMs - sim.ElapsedMs());
        ReplySector info{}, drives{}, status{};
        EXPECT_EQ(channel.SendCommand(CmdGetControllerInfo, info), kStatusOk);
        EXPECT_EQ(channel.SendCommand(CmdGetDriveInfo, drives), kStatusOk);
        EXPECT_EQ(channel.SendCommand(CmdGetExtendedStatus, status), kStatusOk);
        const std::uint32_t count = (std::uint32_t{info[0x84]} << 8) | info[0x85];
        return {info[0x83], info[0x87] * 60480u + count, drives[0xA0], status[0x54]};
    }

    VirtualClock clock;
    SimTransport sim;
    CommandChannel channel;
};

TEST_F(SimBackup, CountRunsDownThenHdd2IsBusyUntilTheBackupEndsAndTheCountStartsOver) {
    struct Step {
        std::uint64_t atMs;
        std::uint32_t counts;
        std::uint8_t hdd2State;
        std::uint8_t task;
    } steps[] = {
        {1'000, 360, kStatePresent, kTaskNone},  // rounded up to whole counts
        {30 * 60'000, 180, kStatePresent, kTaskNone},
        {kHourMs - 5'000, 1, kStatePresent, kTaskNone},
        {kHourMs + 1'000, 0, kStateBusy, kTaskRunning},  // the backup runs
        {kHourMs + 119'000, 0, kStateBusy, kTaskRunning},
        {kHourMs + 125'000, 360, kStatePresent, kTaskNone},  // the next an hour after the end
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.atMs);
        const Reading r = At(s.atMs);
        EXPECT_EQ(r.period, 1);
        EXPECT_EQ(r.counts, s.counts);
        EXPECT_EQ(r.hdd2State, s.hdd2State);
        EXPECT_EQ(r.task, s.task);
    }
}

TEST_F(SimBackup, ANewPeriodRestartsTheCountFromTheCommand) {
    At(20 * 60'000);
    ReplySector reply{};
    ASSERT_EQ(channel.SendCommand(CmdSyncEvery3Hours, reply), kStatusOk);  // preset 3: 3 hours
    const Reading r = At(20 * 60'000 + 15'000);
    EXPECT_EQ(r.period, 3);
    EXPECT_EQ(r.counts, 3 * 360u - 1);
    ASSERT_EQ(channel.SendCommand(CmdSyncEvery10Min, reply), kStatusOk);  // off
    EXPECT_EQ(At(10 * kHourMs).hdd2State, kStatePresent) << "a schedule that is off never backs up";
}

class SimBackupWaits : public SimBackup {
  protected:
    SimBackupWaits()
        : SimBackup(HourlyMirror(), {[] {
                        TimelineEvent rebuild;
                        rebuild.atMs = 0;
                        rebuild.kind = EventKind::Rebuild;
                        rebuild.drive = 2;
                        rebuild.untilMs = kHourMs + 600'000;
                        return rebuild;
                    }()}) {}
};

TEST_F(SimBackupWaits, ADueBackupWaitsForARunningRebuildToEnd) {
    const Reading during = At(kHourMs + 60'000);
    EXPECT_EQ(during.counts, 0u) << "due, but waiting";
    EXPECT_EQ(during.hdd2State, kStateBusy) << "busy with the rebuild";
    // The rebuild ends at 70 minutes; the overdue backup starts then.
    const Reading after = At(kHourMs + 601'000);
    EXPECT_EQ(after.hdd2State, kStateBusy);
    EXPECT_EQ(after.task, kTaskRunning);
    const Reading done = At(kHourMs + 601'000 + 121'000);
    EXPECT_EQ(done.hdd2State, kStatePresent);
    EXPECT_EQ(done.task, kTaskNone);
}

class SimBackupInterrupted : public SimBackup {
  protected:
    SimBackupInterrupted()
        : SimBackup(HourlyMirror(6), {[] {
                        TimelineEvent gone;
                        gone.atMs = 90'000;
                        gone.kind = EventKind::DriveState;
                        gone.drive = 1;
                        gone.state = kStateAbsent;
                        return gone;
                    }()}) {}
};

TEST_F(SimBackupInterrupted, ADriveThatGoesAwayEndsTheBackupAndHdd2IsNoLongerBusy) {
    EXPECT_EQ(At(61'000).hdd2State, kStateBusy);
    const Reading r = At(91'000);
    EXPECT_EQ(r.hdd2State, kStatePresent);
    EXPECT_EQ(r.task, kTaskNone);
}

// Through the host: the poll decodes the busy HDD2 and the schedule line says
// that a backup runs.
TEST(SimBackupHost, TheWaitLineShowsBackingUpWhileTheStandInBacksUp) {
    sim::Scenario s{"t", {HourlyMirror(30)}, {}, {}};
    testing::EngineRig rig(s);
    rig.StartUp();
    rig.PollOnce();
    const RaidStatus& r = rig.state.devices.records[0];
    EXPECT_EQ(BackupMessageText(r), " Wait to Backup in minutes : " + std::string("5 (0d:0h:5m)"))
        << "the first poll reads the count";
    for (int i = 0; i < 60 && (r.taskMask & 0x02) == 0; ++i) {
        rig.PollOnce();
    }
    EXPECT_EQ(BackupMessageText(r), " Wait to Backup in minutes :  (Backing up...)");
    for (int i = 0; i < 60 && (r.taskMask & 0x02) != 0; ++i) {
        rig.PollOnce();
    }
    EXPECT_EQ(r.taskMask, 0);
    EXPECT_EQ(r.backupInfo[0], 1);
    EXPECT_GE(MinutesUntilBackup(r.backupInfo), 55u) << "the next backup is an hour away";
}

}  // namespace
}  // namespace raid::sim
