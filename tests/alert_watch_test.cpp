// The alerts beyond a lost drive: heat, fan, the end of a rebuild and SMART,
// each told once per change.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "maintenance/smart_watch.h"
#include "monitor/alert_watch.h"
#include "monitor/mail_request.h"
#include "sim/drive_sectors.h"

namespace raid {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct EnvStep {
    std::uint8_t temperature;
    std::uint16_t fan;
    std::uint8_t envStatus;
    std::vector<std::string> lines;
    std::vector<std::uint8_t> kinds;
};

// One enclosure's readings poll after poll, against the default limit of 55.
TEST(EnvironmentWatch, OneFindingPerChangeWithHysteresis) {
    const std::vector<EnvStep> steps = {
        {54, 2400, 0xA0, {}, {}},
        {55, 2400, 0xA0, {"D1 Over Heat: 55 C, limit 55 C, T"}, {kMailOverHeat}},
        {60, 2400, 0xA0, {}, {}},
        {51, 2400, 0xA0, {}, {}},  // inside the hysteresis: still hot
        {50, 2400, 0xA0, {"D1 temperature back to normal: 50 C, T"}, {}},
        {54, 0, 0xA0, {"D1 Fan Fail: 0 RPM, T"}, {kMailFanFail}},
        {54, 0, 0xA0, {}, {}},
        {54, 1800, 0xA0, {"D1 fan back to normal: 1800 RPM, T"}, {}},
        {40,
         1800,
         0xA5,
         {"D1 Over Heat: 40 C, limit 55 C, T", "D1 Fan Fail: 1800 RPM, T"},
         {kMailOverHeat, kMailFanFail}},  // the controller's own bits
        {40, 1800, 0xFF, {}, {}},         // readings not reported: nothing is decided
    };
    SlotAlert alert;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        RaidStatus r;
        r.temperature = steps[i].temperature;
        r.fanRpm = steps[i].fan;
        r.envStatus = steps[i].envStatus;
        const AlertFindings found = WatchEnvironment(alert, 1, r, kDefaultHeatLimit, "T");
        EXPECT_EQ(found.lines, steps[i].lines) << "step " << i;
        EXPECT_EQ(found.kinds, steps[i].kinds) << "step " << i;
    }
}

TEST(EnvironmentWatch, AFanNeverSeenTurningIsNoFailure) {
    SlotAlert alert;
    RaidStatus r;
    r.envStatus = 0xA0;
    r.temperature = 30;
    EXPECT_THAT(WatchEnvironment(alert, 2, r, 45, "T").lines, IsEmpty());
    EXPECT_FALSE(alert.fanFailed);
}

TEST(RebuildEnd, FailedStatusDoneOrNothing) {
    RaidStatus r;
    r.driveClass = 0x28;  // HDD1 failed
    r.raidTaskStatus = 3;
    SlotAlert alert;
    AlertFindings found = RebuildEnded(alert, 1, r, 0, "T");
    EXPECT_THAT(found.lines, ElementsAre("D1 HDD2 --> HDD1 Failed, [03] T"));
    EXPECT_THAT(found.kinds, ElementsAre(kMailRebuild));
    EXPECT_TRUE(alert.rebuild.failed);

    r.driveClass = kBothPresent;
    r.raidTaskStatus = 0;
    found = RebuildEnded(alert, 1, r, 1, "T");
    EXPECT_THAT(found.lines, IsEmpty());  // the log's own "Done" line says it
    EXPECT_THAT(found.kinds, ElementsAre(kMailRebuild));
    EXPECT_FALSE(alert.rebuild.failed);

    r.driveClass = 0x42;  // HDD2 gone: its removal is told, not the rebuild
    found = RebuildEnded(alert, 1, r, 1, "T");
    EXPECT_THAT(found.kinds, IsEmpty());
}

// The SMART store of one enclosure whose HDD2 reports `attributes`.
class SmartWatchTest : public ::testing::Test {
  protected:
    SmartWatchTest() {
        devices.table.count = 1;
        devices.table.entries[0] = 0x40;
        devices.records[0].driveClass = kBothPresent;
    }

    SmartFindings Pass(std::vector<sim::SmartAttribute> attributes, bool thresholdsRead,
                       std::int64_t now) {
        sim::DriveConfig drive;
        drive.smart = std::move(attributes);
        store.data[0][1] = sim::SmartDataSector(drive);
        store.thresholds[0][1] = sim::SmartThresholdSector(drive);
        SmartPassReport thresholds;
        thresholds.ran = true;
        thresholds.drives[0][1] =
            thresholdsRead ? SmartDriveOutcome::Read : SmartDriveOutcome::Failed;
        WatchSmartPass(alerts, store, devices, kSmartReadThresholds, thresholds, now, "T");
        SmartPassReport data;
        data.ran = true;
        data.drives[0][1] = SmartDriveOutcome::Read;
        return WatchSmartPass(alerts, store, devices, kSmartReadData, data, now, "T");
    }

    static std::vector<sim::SmartAttribute> Worn(std::uint64_t reallocated,
                                                 std::uint64_t pending = 0,
                                                 std::uint8_t worst = 200) {
        return {
            {1, 200, 200, 51, 0}, {5, 200, worst, 140, reallocated}, {197, 200, 200, 0, pending}};
    }

    DeviceState devices;
    SmartStore store;
    AlertState alerts;
};

TEST_F(SmartWatchTest, WorseWordsAndGrowingCountsAreToldCountsAtMostHourly) {
    const DriveAlert& hdd2 = alerts.slots[0].drives[1];
    SmartFindings found = Pass(Worn(0), true, 1000);
    EXPECT_THAT(found.lines, IsEmpty());  // Good from the start, and the counts' base
    EXPECT_EQ(hdd2.word, SmartWord::Good);

    found = Pass(Worn(8), true, 1100);
    EXPECT_THAT(found.lines,
                ElementsAre("D1 HDD2 SMART Good: 05-Reallocated sector count 0 --> 8, T"));
    EXPECT_EQ(found.drives.size(), 1u);

    found = Pass(Worn(9), true, 1200);  // within the hour: logged only
    EXPECT_THAT(found.lines,
                ElementsAre("D1 HDD2 SMART Good: 05-Reallocated sector count 8 --> 9, T"));
    EXPECT_THAT(found.drives, IsEmpty());

    found = Pass(Worn(9, 2), true, 1300);  // a worse word is told at once
    EXPECT_THAT(found.lines,
                ElementsAre("D1 HDD2 SMART Warning: C5-Current pending sector count value 200, "
                            "worst 200, threshold 0, raw 2 (Alert), T",
                            "  05-Reallocated sector count value 200, worst 200, threshold 140, "
                            "raw 9 (Alert)",
                            "D1 HDD2 SMART Warning: C5-Current pending sector count 0 --> 2, T"));
    EXPECT_EQ(found.drives.size(), 1u);
    EXPECT_EQ(hdd2.report.front(),
              "D1 HDD2 SMART Warning: C5-Current pending sector count value "
              "200, worst 200, threshold 0, raw 2 (Alert)");

    found = Pass(Worn(10, 2), true, 1100 + kCountAlertPauseSeconds);  // an hour after the last
    EXPECT_EQ(found.drives.size(), 1u);

    found = Pass(Worn(10, 2, 120), true, 9000);  // worn below its threshold
    EXPECT_EQ(hdd2.word, SmartWord::Error);
    EXPECT_EQ(found.drives.size(), 1u);

    found = Pass(Worn(10, 0), true, 9100);  // better: logged, not told
    EXPECT_THAT(found.lines,
                ElementsAre("D1 HDD2 SMART Good: was Error, T",
                            "D1 HDD2 SMART Good: C5-Current pending sector count 2 --> 0, T"));
    EXPECT_THAT(found.drives, IsEmpty());
}

TEST_F(SmartWatchTest, ThresholdsNotReadAreUnknownNotGood) {
    // Worn below its threshold, but the thresholds never arrived.
    SmartFindings found = Pass(Worn(0, 0, 120), false, 1000);
    EXPECT_THAT(found.lines, ElementsAre("D1 HDD2 SMART unknown: thresholds could not be read, T"));
    EXPECT_THAT(found.drives, IsEmpty());
    EXPECT_EQ(alerts.slots[0].drives[1].word, SmartWord::Unknown);
    EXPECT_THAT(Pass(Worn(0, 0, 120), false, 1100).lines, IsEmpty());  // said once

    found = Pass(Worn(0, 0, 120), true, 1200);  // read on a later pass
    EXPECT_EQ(alerts.slots[0].drives[1].word, SmartWord::Error);
    EXPECT_EQ(found.drives.size(), 1u);
}

TEST_F(SmartWatchTest, ADriveTakenOutStartsAfreshWhenPutBack) {
    Pass(Worn(5), true, 1000);
    SmartPassReport absent;
    absent.ran = true;
    absent.drives[0][1] = SmartDriveOutcome::Absent;
    WatchSmartPass(alerts, store, devices, kSmartReadData, absent, 1100, "T");
    EXPECT_FALSE(alerts.slots[0].drives[1].watched);
    // Another drive with fewer reallocated sectors is no change of the old one.
    EXPECT_THAT(Pass(Worn(1), true, 1200).lines, IsEmpty());
}

}  // namespace
}  // namespace raid
