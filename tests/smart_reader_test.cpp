// The SMART reader against stand-in enclosures through the real protocol
// code, on virtual time: presence, bay order, the sector-size word and its
// error codes, attempts per command and the relay faults.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "maintenance/smart_table.h"
#include "tests/support/engine_rig.h"

namespace raid {
namespace {

using testing::EngineRig;

sim::DriveConfig Drive(std::uint64_t powerOnHours, std::uint16_t sectorWord = 0x6003) {
    sim::DriveConfig d;
    d.model = "MODEL";
    d.serial = "SERIAL";
    d.capacity = 1953525168;
    d.sectorWord = sectorWord;
    d.smart = {{1, 100, 100, 51, 0}, {9, 90, 90, 0, powerOnHours}, {194, 110, 100, 0, 35}};
    return d;
}

sim::EnclosureConfig Dock(std::uint8_t disk, std::vector<sim::FaultConfig> faults = {}) {
    sim::EnclosureConfig e;
    e.disk = disk;
    e.raidMode = sim::kModeStripe;
    e.controller.name = "Dock";
    e.controller.environment = false;
    e.drives = {Drive(1000 + disk * 100), Drive(2000 + disk * 100, 0x4000)};
    e.faults = std::move(faults);
    return e;
}

sim::Scenario Machine(std::vector<sim::EnclosureConfig> enclosures) {
    sim::Scenario s;
    s.enclosures = std::move(enclosures);
    return s;
}

// Power-on hours (slot 1) of a data sector: tells the drives apart.
std::uint64_t Hours(const SmartSector& data) {
    std::uint64_t raw = 0;
    for (std::size_t i = 0; i < 6; ++i) {
        raw |= std::uint64_t{data[2 + 12 + 5 + i]} << (8 * i);
    }
    return raw;
}

sim::FaultConfig Relay(sim::FaultKind kind, std::uint8_t code, std::uint8_t ata) {
    sim::FaultConfig f;
    f.kind = kind;
    f.code = code;
    f.ata = ata;
    return f;
}

sim::FaultConfig Refused(std::uint8_t code, std::uint8_t ata, std::optional<std::uint32_t> times,
                         std::optional<std::uint8_t> part = std::nullopt) {
    sim::FaultConfig f = Relay(sim::FaultKind::StatusByte, code, ata);
    f.status = 0xE0;
    f.times = times;
    f.part = part;
    return f;
}

// Relay frames of one ATA command that reached the controller of `disk`.
std::size_t Sent(EngineRig& rig, std::uint8_t disk, std::uint8_t code, std::uint8_t ata) {
    const auto commands = rig.sim.Commands(disk);
    return static_cast<std::size_t>(std::count_if(
        commands.begin(), commands.end(),
        [&](const sim::CommandRecord& c) { return c.code == code && c.args[0] == ata; }));
}

TEST(SmartReader, StartUpReadsEveryDriveOfBothEnclosures) {
    EngineRig rig(Machine({Dock(0), Dock(1)}));
    rig.StartUp();
    const SmartStore& store = rig.state.smart;
    EXPECT_TRUE(store.thresholdsValid);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(Hours(store.data[i][0]), 1000 + i * 100) << i;
        EXPECT_EQ(Hours(store.data[i][1]), 2000 + i * 100) << i;
        EXPECT_EQ(store.sectorWord[i][0], 0x6003u) << i;
        EXPECT_EQ(store.sectorWord[i][1], 0x4000u) << i;
        EXPECT_EQ(store.thresholds[i][0][2 + 1], 51) << "threshold of slot 0";
    }
    const SmartTable t =
        BuildSmartTable(store.data[0][0], store.thresholds[0][0], store.sectorWord[0][0]);
    ASSERT_EQ(t.rows.size(), 3u);
    EXPECT_EQ(t.rows[0].cells[3], "51");
    EXPECT_EQ(t.overallText, " Good ");
    EXPECT_EQ(t.fourK.text, " 4K Sector supported : Yes ");
}

TEST(SmartReader, AbsentBayIsClearedAndMarked) {
    sim::EnclosureConfig dock = Dock(0);
    dock.drives[1].state = sim::kStateAbsent;
    EngineRig rig(Machine({dock}));
    rig.StartUp();
    rig.state.smart.data[0][1].fill(0xAA);
    rig.sim.SetRecording(true);
    const SmartPassReport report = rig.engine.smartReader().ReadSmartPass(kSmartReadData);
    EXPECT_TRUE(report.ran);
    EXPECT_FALSE(report.failed);
    EXPECT_EQ(report.drives[0][1], SmartDriveOutcome::Absent);
    EXPECT_EQ(rig.state.smart.data[0][1], SmartSector{});
    EXPECT_EQ(rig.state.smart.sectorWord[0][1], 0xFFFFu);
    EXPECT_EQ(FourKLine(rig.state.smart.sectorWord[0][1]).hint, "Code=0xFFFF");
    for (const sim::CommandRecord& c : rig.sim.Commands(0)) {
        EXPECT_EQ(c.args[1], 0) << "nothing is relayed to the empty bay";
    }
}

TEST(SmartReader, FailedDriveCountsAsAbsent) {
    sim::EnclosureConfig dock = Dock(0);
    dock.drives[0].state = sim::kStateFailed;
    EngineRig rig(Machine({dock}));
    rig.StartUp();
    EXPECT_EQ(rig.state.smart.sectorWord[0][0], 0xFFFFu);
    EXPECT_EQ(Hours(rig.state.smart.data[0][1]), 2000u);
    EXPECT_TRUE(rig.state.smart.thresholdsValid);
}

TEST(SmartReader, SwappedBaysReadHdd1FromTheSecondDrive) {
    EngineRig rig(Machine({Dock(0)}));
    rig.StartUp();
    rig.state.devices.slots[0].drivesSwapped = true;
    rig.engine.smartReader().ReadSmartPass(kSmartReadData);
    EXPECT_EQ(Hours(rig.state.smart.data[0][0]), 2000u);
    EXPECT_EQ(Hours(rig.state.smart.data[0][1]), 1000u);
    EXPECT_EQ(rig.state.smart.sectorWord[0][0], 0x4000u);
}

TEST(SmartReader, SectorSizeWordAndItsErrorCodes) {
    using sim::FaultKind;
    auto echo = [](std::uint8_t code, std::uint8_t part, std::uint8_t b76, std::uint8_t b77) {
        sim::FaultConfig f = Relay(FaultKind::WrongEcho, code, 0xEC);
        if (part != 0) {
            f.part = part;
        }
        f.echo = {b76, b77};
        return f;
    };
    auto silent = [](std::uint8_t part) {
        sim::FaultConfig f = Relay(FaultKind::NoReply, CmdAtaFetch, 0xEC);
        f.part = part;
        return f;
    };
    struct Case {
        const char* what;
        sim::FaultConfig fault;
        std::uint32_t word;
    };
    const Case cases[] = {
        {"IDENTIFY refused", Refused(CmdAtaIssue, 0xEC, std::nullopt), 0xFFF7},
        {"IDENTIFY answered for another command", echo(CmdAtaIssue, 0, 0x12, 0x34), 0x1234},
        {"quarter 2 never arrives", silent(2), 0xFFFE},
        {"quarter 2 refused four times", Refused(CmdAtaFetch, 0xEC, 4, 2), 0xFFFE},
        {"quarter 2 refused three times", Refused(CmdAtaFetch, 0xEC, 3, 2), 0x6003},
        {"quarter 2 echoes another command", echo(CmdAtaFetch, 2, 0xB2, 0xD0), 0xB2D0},
        {"quarter 1 never arrives", silent(1), 0x6003},
    };
    for (const Case& c : cases) {
        EngineRig rig(Machine({Dock(0, {c.fault})}));
        rig.StartUp();
        EXPECT_EQ(rig.state.smart.sectorWord[0][0], c.word) << c.what;
        EXPECT_EQ(Hours(rig.state.smart.data[0][0]), 1000u) << c.what << ": the data still comes";
    }
}

TEST(SmartReader, IdentifyIsIssuedOnceAndEachQuarterTriedFourTimes) {
    sim::FaultConfig silent = Relay(sim::FaultKind::NoReply, CmdAtaFetch, 0xEC);
    silent.part = 2;
    silent.bay = 0;
    EngineRig rig(Machine({Dock(0, {Refused(CmdAtaIssue, 0xEC, std::nullopt, std::nullopt)})}));
    rig.StartUp();
    rig.sim.SetRecording(true);
    rig.engine.smartReader().ReadSmartPass(kSmartReadData);
    EXPECT_EQ(Sent(rig, 0, CmdAtaIssue, 0xEC), 2u) << "once per drive, no retry";
    EXPECT_EQ(Sent(rig, 0, CmdAtaFetch, 0xEC), 0u);

    EngineRig quiet(Machine({Dock(0, {silent})}));
    quiet.StartUp();
    quiet.sim.SetRecording(true);
    quiet.engine.smartReader().ReadSmartPass(kSmartReadData);
    // Bay 0: quarters 1, 3, 4 at once, quarter 2 four times; bay 1: four.
    EXPECT_EQ(Sent(quiet, 0, CmdAtaFetch, 0xEC), 3u + 4u + 4u);
}

struct AttemptCase {
    const char* what;
    sim::FaultConfig fault;
    bool valid;
};

TEST(SmartReader, FourAttemptsPerCommandAndPerQuarter) {
    const AttemptCase cases[] = {
        {"issue refused three times", Refused(CmdAtaIssue, 0xD1, 3), true},
        {"issue refused four times", Refused(CmdAtaIssue, 0xD1, 4), false},
        {"quarter 3 refused three times", Refused(CmdAtaFetch, 0xD1, 3, 3), true},
        {"quarter 3 refused four times", Refused(CmdAtaFetch, 0xD1, 4, 3), false},
    };
    for (const AttemptCase& c : cases) {
        EngineRig faulty(Machine({Dock(0, {c.fault})}));
        faulty.StartUp();
        EXPECT_EQ(faulty.state.smart.thresholdsValid, c.valid) << c.what;
    }
}

TEST(SmartReader, FailedCommandsKeepWhatTheyCouldNotReplace) {
    // The second threshold pass: issue refused four times for bay 0, then
    // quarter 3 of bay 1 refused four times.
    sim::FaultConfig issue = Refused(CmdAtaIssue, 0xD1, 4);
    issue.bay = 0;
    issue.fromMs = 60'000;
    sim::FaultConfig quarter = Refused(CmdAtaFetch, 0xD1, 4, 3);
    quarter.bay = 1;
    quarter.fromMs = 60'000;
    EngineRig rig(Machine({Dock(0, {issue, quarter})}));
    rig.StartUp();
    ASSERT_TRUE(rig.state.smart.thresholdsValid);
    SmartStore& store = rig.state.smart;
    store.thresholds[0][0].fill(0xAA);
    store.thresholds[0][1].fill(0xAA);
    rig.clock.Advance(60'000);

    const SmartPassReport report = rig.engine.smartReader().ReadSmartPass(kSmartReadThresholds);
    EXPECT_TRUE(report.failed);
    EXPECT_EQ(report.drives[0][0], SmartDriveOutcome::Failed);
    EXPECT_EQ(report.drives[0][1], SmartDriveOutcome::Failed);
    EXPECT_FALSE(store.thresholdsValid);
    EXPECT_TRUE(std::all_of(store.thresholds[0][0].begin(), store.thresholds[0][0].end(),
                            [](std::uint8_t b) { return b == 0xAA; }));
    const SmartSector& bay1 = store.thresholds[0][1];
    EXPECT_EQ(bay1[2], 1) << "quarter 1 was replaced";
    EXPECT_TRUE(std::all_of(bay1.begin() + 256, bay1.begin() + 384, [](std::uint8_t b) {
        return b == 0xAA;
    })) << "quarter 3 kept its bytes";
    EXPECT_NE(bay1[384], 0xAA) << "quarter 4 was replaced";
}

TEST(SmartReader, RestoresTheShownEnclosureAsTarget) {
    EngineRig rig(Machine({Dock(0), Dock(1)}));
    rig.StartUp();
    rig.state.poll.shownSlot = 1;
    rig.sim.SetRecording(true);
    rig.engine.smartReader().ReadSmartPass(kSmartReadData);
    EXPECT_GT(Sent(rig, 0, CmdAtaIssue, 0xD0), 0u);
    EXPECT_GT(Sent(rig, 1, CmdAtaIssue, 0xD0), 0u);
    EXPECT_EQ(rig.state.devices.currentSlot.load(), 1);
    rig.state.poll.shownSlot = 0;
    rig.engine.smartReader().ReadSmartPass(kSmartReadThresholds);
    EXPECT_EQ(rig.state.devices.currentSlot.load(), 0);
}

TEST(SmartReader, RefusesToStartWhenItMustNot) {
    struct Case {
        const char* what;
        std::function<void(AppState&)> set;
    };
    const Case cases[] = {
        {"flash target", [](AppState& s) { s.flags.flashTargetIndex.store(0); }},
        {"switching device", [](AppState& s) { s.poll.switchingDevice = true; }},
        {"no device", [](AppState& s) { s.devices.table.count = 0; }},
        {"both unticked",
         [](AppState& s) {
             s.poll.slotChecked[0].store(false);
             s.poll.slotChecked[1].store(false);
         }},
        {"closing", [](AppState& s) { s.flags.AppClosing.store(1); }},
    };
    for (const Case& c : cases) {
        EngineRig rig(Machine({Dock(0)}));
        rig.StartUp();
        rig.state.smart.thresholdsValid = true;
        c.set(rig.state);
        rig.sim.SetRecording(true);
        const SmartPassReport report = rig.engine.smartReader().ReadSmartPass(kSmartReadThresholds);
        EXPECT_FALSE(report.ran) << c.what;
        EXPECT_TRUE(rig.sim.Commands(0).empty()) << c.what;
        EXPECT_TRUE(rig.state.smart.thresholdsValid) << c.what << ": flag untouched";
    }
}

// Window events run between the pass's reads; a device change that falls
// due then waits for the pass, so discovery never sends commands in between.
TEST(SmartReader, DeviceChangeRecountWaitsForThePass) {
    EngineRig rig(Machine({Dock(0)}), {CatalogVolume{"/", kDriveTypeFixed, {}}});
    rig.StartUp();
    rig.catalog.SetVolumes({});
    rig.engine.DeviceChanged();
    bool detectionDuringPass = false;
    rig.engine.SetMessagePump([&] {
        rig.engine.Timer4Tick();
        detectionDuringPass = detectionDuringPass || rig.state.devices.DetectionRunning.load();
    });
    const SmartPassReport report = rig.engine.smartReader().ReadSmartPass(kSmartReadData);
    rig.engine.SetMessagePump({});
    EXPECT_FALSE(report.failed);
    EXPECT_FALSE(detectionDuringPass);
    EXPECT_FALSE(rig.state.smart.passRunning);
    rig.engine.Timer4Tick();
    EXPECT_EQ(rig.state.devices.DetectRequest.load(), 1) << "the recount follows the pass";
}

TEST(SmartReader, OneUntickedSlotStillLetsThePassRun) {
    EngineRig rig(Machine({Dock(0)}));
    rig.StartUp();
    rig.state.poll.slotChecked[0].store(false);
    EXPECT_TRUE(rig.engine.smartReader().ReadSmartPass(kSmartReadData).ran);
}

TEST(SmartReader, EnclosuresBeyondTheStoreAreNotRead) {
    EngineRig rig(Machine({Dock(0), Dock(1), Dock(2)}));
    rig.StartUp();
    ASSERT_EQ(rig.state.devices.table.count, 3);
    rig.sim.SetRecording(true);
    const SmartPassReport report = rig.engine.smartReader().ReadSmartPass(kSmartReadData);
    EXPECT_FALSE(report.failed);
    EXPECT_EQ(Sent(rig, 2, CmdAtaIssue, 0xD0), 0u);
    EXPECT_EQ(Hours(rig.state.smart.data[1][0]), 1100u);
}

// The default scenario's rebuilt drive reallocates sectors as time goes on;
// the minute refresh shows it getting worse.
TEST(SmartReader, WorseningDriveChangesTheOverallWordOverTheTimeline) {
    EngineRig rig;
    rig.StartUp();
    std::vector<std::string> words;
    auto overall = [&] {
        const SmartStore& s = rig.state.smart;
        return BuildSmartTable(s.data[0][0], s.thresholds[0][0], s.sectorWord[0][0]).overallText;
    };
    words.push_back(overall());
    for (int tick = 0; tick < 400; ++tick) {
        rig.clock.Advance(1000);
        rig.engine.Timer3Tick();
        if (rig.state.poll.PollRequest.load() & ReqSmartData) {
            rig.ServeAll();
            if (words.back() != overall()) {
                words.push_back(overall());
            }
        }
    }
    EXPECT_THAT(words, ::testing::ElementsAre(" Good ", " Warning ", " Error "));
}

}  // namespace
}  // namespace raid
