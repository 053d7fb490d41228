// Scenario files, the built-in default, the timeline and the disks a
// scenario puts behind the transport.
#include <gtest/gtest.h>

#include <string>

#include "device/command_channel.h"
#include "sim/sim_transport.h"

namespace raid::sim {
namespace {

struct Rig {
    explicit Rig(Scenario scenario) : sim(std::move(scenario), clock), channel(sim, clock) {
        channel.SetTargetResolver([this] { return target; });
    }
    VirtualClock clock;
    SimTransport sim;
    CommandChannel channel;
    ReplySector reply{};
    std::uint8_t target = 0;
};

std::uint64_t BigEndian(const ReplySector& r, std::size_t at, std::size_t size) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i) {
        value = (value << 8) | r[at + i];
    }
    return value;
}

// From the source tree named by the build: __FILE__ may be relative to a
// folder other than the one the test runs in (compiler caches rewrite it).
std::string SourcePath(const std::string& relative) {
    return std::string(RAIDGUI_SOURCE_DIR) + "/" + relative;
}

TEST(SimScenario, ShippedDefaultFileIsTheBuiltInDefault) {
    const LoadResult loaded = LoadScenarioFile(SourcePath("sim/scenarios/default.json"));
    ASSERT_TRUE(loaded.ok) << loaded.error;
    EXPECT_EQ(loaded.scenario, DefaultScenario());
}

TEST(SimScenario, FileValuesReachTheScenario) {
    const LoadResult r = ParseScenario(R"({
      "name": "x",
      "enclosures": [{
        "disk": 3, "present": false, "raid_mode": "0x05",
        "controller": {"signature": "second", "name": null, "buzzer": "none",
                       "info_bytes": {"124": 1, "0x7D": "0x02"}, "flash_size": 8192,
                       "backup": {"period": 2, "unit": 12, "presets": [1, 2, 14]}},
        "drives": [{"state": "rebuild_failed", "model": "M", "smart": [{"id": 5, "raw": 9}]},
                   {"state": 7}],
        "faults": [{"kind": "no_reply", "code": 17, "polls": 3, "times": 1,
                    "from_ms": 5, "until_ms": 9},
                   {"kind": "bad_signature", "spoil": "second"}]
      }],
      "plain_disks": [{"disk": 4, "product": "SSD"}],
      "timeline": [{"at_ms": 10, "disk": 3, "drive": 2, "state": "inserted", "serial": "N"},
                   {"at_ms": 20, "disk": 3, "schedule": {"period": 0}},
                   {"at_ms": 30, "disk": 3, "task_status": 3},
                   {"at_ms": 40, "disk": 3, "enclosure": "appear"}]
    })");
    ASSERT_TRUE(r.ok) << r.error;
    const EnclosureConfig& e = r.scenario.enclosures.at(0);
    EXPECT_EQ(e.disk, 3);
    EXPECT_FALSE(e.present);
    EXPECT_EQ(e.raidMode, 5);
    EXPECT_EQ(e.controller.signature, SignatureKind::Second);
    EXPECT_FALSE(e.controller.name.has_value());
    EXPECT_EQ(e.controller.buzzer, BuzzerKind::None);
    EXPECT_EQ(e.controller.infoBytes,
              (std::vector<std::pair<std::uint16_t, std::uint8_t>>{{124, 1}, {0x7D, 2}}));
    EXPECT_EQ(e.controller.backup->unit, 12);
    EXPECT_EQ(e.controller.backup->presets[2], 14);
    EXPECT_EQ(e.drives[0].state, kStateRebuildFailed);
    EXPECT_EQ(e.drives[0].smart.at(0).raw, 9u);
    EXPECT_EQ(e.drives[1].state, 7);
    ASSERT_EQ(e.faults.size(), 2u);
    EXPECT_EQ(e.faults[0].polls, 3u);
    EXPECT_EQ(e.faults[0].times, 1u);
    EXPECT_EQ(e.faults[0].untilMs, 9u);
    EXPECT_TRUE(e.faults[1].secondSignature);
    EXPECT_EQ(r.scenario.plainDisks.at(0).product, "SSD");
    ASSERT_EQ(r.scenario.timeline.size(), 4u);
    EXPECT_EQ(r.scenario.timeline[0].serial, "N");
    EXPECT_FALSE(r.scenario.timeline[0].model.has_value());
    EXPECT_EQ(r.scenario.timeline[1].kind, EventKind::Schedule);
    EXPECT_EQ(r.scenario.timeline[2].taskStatus, 3);
    EXPECT_TRUE(r.scenario.timeline[3].appear);
}

TEST(SimScenario, BadFilesAreRefusedWithTheOffendingPath) {
    const std::string drives = R"("drives": [{}, {}])";
    struct Case {
        std::string json;
        std::string mentions;
    };
    const Case cases[] = {
        {"{", "not valid JSON"},
        {"[]", "expected an object"},
        {R"({"enclosures": 5})", "enclosures: expected an array"},
        {R"({"enclosurs": []})", "unknown key \"enclosurs\""},
        {R"({"enclosures": [{"disk": 0}]})", "enclosures[0].drives: expected two drives"},
        {R"({"enclosures": [{"disk": 10, )" + drives + "}]}", "enclosures[0].disk"},
        {R"({"enclosures": [{"disk": -1, )" + drives + "}]}", "enclosures[0].disk"},
        {R"({"enclosures": [{"disk": "zero", )" + drives + "}]}", "enclosures[0].disk"},
        {R"({"enclosures": [{"disk": 1.5, )" + drives + "}]}", "enclosures[0].disk"},
        {R"({"enclosures": [{)" + drives + "}]}", "missing \"disk\""},
        {R"({"enclosures": [{"disk": 1, )" + drives + R"(}, {"disk": 1, )" + drives + "}]}",
         "enclosures[1].disk: disk 1 is taken"},
        {R"({"enclosures": [{"disk": 1, "drives": [{"state": "gone"}, {}]}]})", "drives[0].state"},
        {R"({"enclosures": [{"disk": 1, "drives": [{"model": ")" + std::string(41, 'M') +
             R"("}, {}]}]})",
         "drives[0].model: longer than 40"},
        {R"({"enclosures": [{"disk": 1, "drives": [{"capacity": 281474976710656}, {}]}]})",
         "drives[0].capacity: must be at most"},
        {R"({"enclosures": [{"disk": 1, "controller": {"flash_size": 5000}, )" + drives + "}]}",
         "controller.flash_size"},
        {R"({"enclosures": [{"disk": 1, "controller": {"firmware": [1, 2]}, )" + drives + "}]}",
         "controller.firmware: expected 8 bytes"},
        {R"({"enclosures": [{"disk": 1, "controller": {"signature": 1}, )" + drives + "}]}",
         "controller.signature: expected one of"},
        {R"({"enclosures": [{"disk": 1, "controller": {"info_bytes": {"600": 1}}, )" + drives +
             "}]}",
         "info_bytes.600"},
        {R"({"enclosures": [{"disk": 1, "faults": [{"kind": "status"}], )" + drives + "}]}",
         "faults[0].status"},
        {R"({"enclosures": [{"disk": 1, "faults": [{"kind": "late"}], )" + drives + "}]}",
         "faults[0].kind"},
        {R"({"enclosures": [{"disk": 1, "faults": [{"kind": "status", "status": 33, "polls": 2}], )" +
             drives + "}]}",
         "faults[0].polls"},
        {R"({"timeline": [{"at_ms": 0, "disk": 2, "task_status": 1}]})",
         "timeline[0].disk: no enclosure on disk 2"},
        {R"({"enclosures": [{"disk": 0, )" + drives +
             R"(}], "timeline": [{"at_ms": 0, "disk": 0}]})",
         "timeline[0]: expected exactly one of"},
        {R"({"enclosures": [{"disk": 0, )" + drives +
             R"(}], "timeline": [{"at_ms": 9, "disk": 0, "rebuild": {"drive": 1, "until_ms": 9}}]})",
         "rebuild.until_ms: must be later"},
        {R"({"enclosures": [{"disk": 0, )" + drives +
             R"(}], "timeline": [{"at_ms": 9, "disk": 0, "drive": 3, "state": "absent"}]})",
         "timeline[0].drive"},
        {R"({"enclosures": [{"disk": 1, "faults": [{"kind": "wrong_echo"}], )" + drives + "}]}",
         "faults[0].echo: a wrong_echo fault needs"},
        {R"({"enclosures": [{"disk": 1, "faults": [{"kind": "no_reply", "echo": [1, 2]}], )" +
             drives + "}]}",
         "faults[0].echo: only a wrong_echo"},
        {R"({"enclosures": [{"disk": 1, "faults": [{"kind": "no_reply", "part": 5}], )" + drives +
             "}]}",
         "faults[0].part"},
        {R"({"enclosures": [{"disk": 1, "faults": [{"kind": "no_reply", "drive": 0}], )" + drives +
             "}]}",
         "faults[0].drive"},
        {R"({"enclosures": [{"disk": 1, "faults": [{"kind": "sequence_read_fails", "ata": 208}], )" +
             drives + "}]}",
         "faults[0]: a sequence read fails before"},
        {R"({"enclosures": [{"disk": 0, )" + drives +
             R"(}], "timeline": [{"at_ms": 9, "disk": 0, "smart": [{"id": 5}]}]})",
         "timeline[0]: missing \"drive\""},
        {R"({"enclosures": [{"disk": 0, )" + drives +
             R"(}], "timeline": [{"at_ms": 9, "disk": 0, "drive": 1, "smart": []}]})",
         "timeline[0].smart: expected a list"},
        {R"({"enclosures": [{"disk": 0, )" + drives +
             R"(}], "timeline": [{"at_ms": 9, "disk": 0, "drive": 1, "smart": [{"id": 0}]}]})",
         "timeline[0].smart[0].id"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        const LoadResult r = ParseScenario(c.json);
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.error.find(c.mentions), std::string::npos) << r.error;
        EXPECT_TRUE(r.scenario.enclosures.empty());
    }
}

// The relay faults narrowed by ATA command, bay and quarter, and a SMART
// event that changes one attribute and appends another.
TEST(SimScenario, RelayFaultsAndSmartEventsTakeEffect) {
    const LoadResult r = ParseScenario(R"({
      "enclosures": [{"disk": 0, "drives": [{"model": "A"}, {"model": "B"}],
        "faults": [
          {"kind": "wrong_echo", "code": "0xB2", "ata": "0xEC", "drive": 2, "part": 2,
           "echo": ["0xB2", "0xD0"]},
          {"kind": "status", "code": "0xB1", "ata": "0xD1", "status": "0xC0", "times": 1}
        ]}],
      "timeline": [{"at_ms": 1000, "disk": 0, "drive": 1,
                    "smart": [{"id": 5, "worst": 9, "threshold": 36, "raw": 77},
                              {"id": 187, "raw": 3}]}]
    })");
    ASSERT_TRUE(r.ok) << r.error;
    const FaultConfig& echo = r.scenario.enclosures[0].faults[0];
    EXPECT_EQ(echo.kind, FaultKind::WrongEcho);
    EXPECT_EQ(echo.bay, 1);
    EXPECT_EQ(echo.part, 2);
    EXPECT_EQ(echo.echo, (std::array<std::uint8_t, 2>{0xB2, 0xD0}));

    Rig rig(r.scenario);
    EXPECT_EQ(rig.channel.AtaIssue(0xD1, 0, rig.reply), 0xC0) << "once";
    EXPECT_EQ(rig.channel.AtaIssue(0xD1, 0, rig.reply), kStatusOk);
    ASSERT_EQ(rig.channel.AtaIssue(0xEC, 1, rig.reply), kStatusOk);
    for (std::uint8_t part : {1, 2}) {
        ASSERT_EQ(rig.channel.AtaFetch(0xEC, 1, part, rig.reply), kStatusOk);
        EXPECT_EQ(rig.reply[77], part == 2 ? 0xD0 : 0xEC) << "quarter " << int(part);
    }
    ASSERT_EQ(rig.channel.AtaIssue(0xEC, 0, rig.reply), kStatusOk);
    ASSERT_EQ(rig.channel.AtaFetch(0xEC, 0, 2, rig.reply), kStatusOk);
    EXPECT_EQ(rig.reply[77], 0xEC) << "the other bay answers normally";

    rig.clock.Advance(1000);
    ASSERT_EQ(rig.channel.AtaIssue(0xD0, 0, rig.reply), kStatusOk);
    ASSERT_EQ(rig.channel.AtaFetch(0xD0, 0, 1, rig.reply), kStatusOk);
    const std::size_t slot3 = 80 + 2 + 3 * 12;  // ID 5 in the healthy set
    EXPECT_EQ(rig.reply[slot3], 5);
    EXPECT_EQ(rig.reply[slot3 + 4], 9);
    EXPECT_EQ(rig.reply[slot3 + 5], 77);
    rig.sim.WithController(0, [](Controller& c) {
        const auto& smart = c.state().drives[0].smart;
        EXPECT_EQ(smart.size(), HealthyAttributes().size() + 1);
        EXPECT_EQ(smart.back().id, 187);
    });
}

TEST(SimScenario, MissingFileIsAnErrorNotACrash) {
    const LoadResult r = LoadScenarioFile("/nonexistent/scenario.json");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("cannot open"), std::string::npos);
}

TEST(SimTimeline, DefaultRebuildAdvancesWithTheClockAndEnds) {
    Rig rig(DefaultScenario());
    struct Sample {
        std::uint64_t atMs;
        std::uint8_t taskStatus;
        std::uint64_t percent;
        std::uint8_t hdd1State;
    };
    const Sample samples[] = {
        {0, kTaskRunning, 0, kStateBusy},
        {30'000, kTaskRunning, 25, kStateBusy},
        {90'000, kTaskRunning, 75, kStateBusy},
        {120'000, kTaskNone, 0, kStatePresent},
    };
    const std::uint64_t start = rig.clock.NowMs();
    for (const Sample& s : samples) {
        SCOPED_TRACE(s.atMs);
        rig.clock.Advance(start + s.atMs - rig.clock.NowMs());
        ASSERT_EQ(rig.channel.SendCommand(CmdGetExtendedStatus, rig.reply), kStatusOk);
        EXPECT_EQ(rig.reply[0x54], s.taskStatus);
        if (s.taskStatus == kTaskRunning) {
            const std::uint64_t length = BigEndian(rig.reply, 0x5E, 6);
            ASSERT_NE(length, 0u);
            EXPECT_EQ(BigEndian(rig.reply, 0x77, 5) * 100 / length, s.percent);
        }
        ASSERT_EQ(rig.channel.SendCommand(CmdGetDriveInfo, rig.reply), kStatusOk);
        EXPECT_EQ(rig.reply[0x54], s.hdd1State);
    }
}

TEST(SimTimeline, DefaultLaterRemovesAMirrorDriveThenTheStripe) {
    Rig rig(DefaultScenario());
    rig.clock.Advance(150'000);
    ASSERT_EQ(rig.channel.SendCommand(CmdGetDriveInfo, rig.reply), kStatusOk);
    EXPECT_EQ(rig.reply[0x54], kStatePresent);
    EXPECT_EQ(rig.reply[0xA0], kStateAbsent);

    rig.target = 1;
    EXPECT_EQ(rig.channel.SendCommand(CmdProbe, rig.reply), kStatusOk);
    EXPECT_EQ(rig.channel.ChipVariant(), 1);
    rig.clock.Advance(50'000);
    EXPECT_EQ(rig.channel.SendCommand(CmdProbe, rig.reply), kErrOpenFailed);
    ASSERT_TRUE(rig.sim.LastOpenFailure().has_value());
    EXPECT_EQ(rig.sim.LastOpenFailure()->kind, OpenFailure::Kind::NotFound);
}

TEST(SimTimeline, EventsApplyInTimeOrderEvenWhenReadLate) {
    // Nobody looks between the rebuild's end and a later failure of the same
    // drive: the rebuild must count as finished, not as broken by the failure.
    Scenario s = DefaultScenario();
    TimelineEvent fail;
    fail.atMs = 130'000;
    fail.disk = 0;
    fail.kind = EventKind::DriveState;
    fail.drive = 1;
    fail.state = kStateFailed;
    s.timeline.push_back(fail);
    Rig rig(std::move(s));
    rig.clock.Advance(140'000);
    ASSERT_EQ(rig.channel.SendCommand(CmdGetExtendedStatus, rig.reply), kStatusOk);
    EXPECT_EQ(rig.reply[0x54], kTaskNone);
}

TEST(SimTimeline, DriveLeavingDuringRebuildFailsTheTask) {
    Scenario s = DefaultScenario();
    TimelineEvent pull;
    pull.atMs = 60'000;
    pull.disk = 0;
    pull.kind = EventKind::DriveState;
    pull.drive = 1;
    pull.state = kStateAbsent;
    s.timeline.push_back(pull);
    Rig rig(std::move(s));
    rig.clock.Advance(61'000);
    ASSERT_EQ(rig.channel.SendCommand(CmdGetExtendedStatus, rig.reply), kStatusOk);
    EXPECT_EQ(rig.reply[0x54], kTaskFailed);
}

TEST(SimDisks, OnlyScenarioDisksOpenAndPlainOnesNeverAnswer) {
    Scenario s = DefaultScenario();
    s.plainDisks.push_back({2, "ATA", "Boot SSD"});
    Rig rig(std::move(s));
    EXPECT_EQ(rig.sim.OpenDevice(5), kInvalidHandle);
    EXPECT_EQ(rig.sim.LastOpenFailure()->kind, OpenFailure::Kind::NotFound);
    EXPECT_EQ(rig.sim.OpenDevice('C'), kInvalidHandle) << "no volumes";

    rig.target = 2;
    EXPECT_EQ(rig.channel.SendCommand(CmdProbe, rig.reply), kErrNoReply);
    EXPECT_EQ(rig.sim.OpenHandleCount(), 0u);

    struct Case {
        std::uint8_t disk;
        const char* vendorProduct;
    };
    for (const Case& c :
         {Case{1, "RAIDSIM Stripe Dock     "}, Case{2, "ATA     Boot SSD        "}}) {
        const DeviceHandle handle = rig.sim.OpenDevice(c.disk);
        ASSERT_NE(handle, kInvalidHandle);
        std::array<std::uint8_t, 36> inquiry{};
        ASSERT_TRUE(rig.sim.InquiryDevice(handle, inquiry));
        EXPECT_EQ(inquiry[0] & 0x1F, 0) << "direct-access device";
        EXPECT_EQ(std::string(inquiry.begin() + 8, inquiry.begin() + 32), c.vendorProduct);
        std::array<std::uint8_t, 20> small{};
        EXPECT_FALSE(rig.sim.InquiryDevice(handle, small));
        EXPECT_FALSE(rig.sim.ReadSectors(handle, 0, small, 1)) << "buffer too small";
        rig.sim.CloseHandle(handle);
    }
}

TEST(SimDisks, HandleOfAVanishedEnclosureFailsAndAReturnStartsClean) {
    Scenario s = DefaultScenario();
    TimelineEvent back;
    back.atMs = 210'000;
    back.disk = 1;
    back.kind = EventKind::Enclosure;
    back.appear = true;
    s.timeline.push_back(back);
    Rig rig(std::move(s));
    rig.target = 1;
    const DeviceHandle handle = rig.sim.OpenDevice(1);
    rig.clock.Advance(200'000);
    std::array<std::uint8_t, 512> sector{};
    EXPECT_FALSE(rig.sim.ReadSectors(handle, 0, sector, 1));
    rig.sim.CloseHandle(handle);
    rig.clock.Advance(10'000);
    EXPECT_EQ(rig.channel.SendCommand(CmdProbe, rig.reply), kStatusOk);
}

TEST(SimDisks, RecordingKeepsEveryReadAndDecodedCommandPerDisk) {
    Rig rig(DefaultScenario());
    EXPECT_EQ(rig.channel.SendCommand(CmdProbe, rig.reply), kStatusOk);
    EXPECT_TRUE(rig.sim.Reads(0).empty()) << "off until switched on";
    rig.sim.SetRecording(true);
    EXPECT_EQ(rig.channel.SendCommand(CmdProbe, rig.reply), kStatusOk);
    const auto reads = rig.sim.Reads(0);
    ASSERT_GE(reads.size(), 18u);
    EXPECT_EQ(reads.front().lba, 0x43u);
    EXPECT_EQ(reads[reads.size() - 2].lba, kSeparatorSector);
    EXPECT_EQ(reads.back().lba, kReplySector);
    EXPECT_TRUE(rig.sim.Reads(1).empty());
    ASSERT_EQ(rig.sim.Commands(0).size(), 1u);
    EXPECT_EQ(rig.sim.Commands(0)[0].code, CmdProbe);
}

}  // namespace
}  // namespace raid::sim
