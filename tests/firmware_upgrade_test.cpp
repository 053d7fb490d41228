#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "device/command_codes.h"
#include "maintenance/firmware_upgrade.h"
#include "tests/support/engine_rig.h"
#include "tests/support/firmware_images.h"

namespace raid {
namespace {

using sim::FaultConfig;
using testing::EngineRig;
using testing::MakeImage;

constexpr std::uint64_t kFaultsFromMs = 60'000;

class RecordingUpgradeView final : public UpgradeView {
  public:
    void SetDeviceBoxesEnabled(bool enabled) override { boxes.push_back(enabled); }
    void SetProgressLabel(const std::string& text) override { label = text; }
    void SetProgressRange(std::uint32_t maximum) override {
        this->maximum = maximum;
        positions.push_back(0);
    }
    void SetProgressPosition(std::uint32_t position) override { positions.push_back(position); }
    void SetProcessCaption(const std::string& text) override { captions.push_back(text); }
    void ShowProgress(bool visible) override { shown.push_back(visible); }
    void SetProgressTimer(bool running) override { timer.push_back(running); }

    std::vector<bool> boxes;
    std::string label;
    std::uint32_t maximum = 0;
    std::vector<std::uint32_t> positions;
    std::vector<std::string> captions;
    std::vector<bool> shown;
    std::vector<bool> timer;
};

// The default machine after start-up, ready to flash its mirror (disk 0).
struct UpgradeRig {
    explicit UpgradeRig(std::vector<FaultConfig> mirrorFaults = {},
                        sim::Scenario scenario = sim::DefaultScenario())
        : rig(WithFaults(std::move(scenario), std::move(mirrorFaults))) {
        rig.StartUp();
        rig.clock.Advance(kFaultsFromMs);
        rig.sim.SetRecording(true);
    }

    static sim::Scenario WithFaults(sim::Scenario s, std::vector<FaultConfig> faults) {
        for (FaultConfig& f : faults) {
            f.fromMs = kFaultsFromMs;
            s.enclosures[0].faults.push_back(f);
        }
        return s;
    }

    void Load(std::vector<std::uint8_t> bytes) {
        rig.state.maintenance.image.size = static_cast<std::uint32_t>(bytes.size());
        rig.state.maintenance.image.bytes = std::move(bytes);
    }

    UpgradeResult Upgrade(std::size_t device = 0) {
        rig.dialogs.boxes.clear();
        rig.status.history.clear();
        return rig.engine.UpgradeFirmware(device, view);
    }

    std::vector<std::uint8_t> Flash(std::uint8_t disk = 0) {
        std::vector<std::uint8_t> contents;
        rig.sim.WithController(disk, [&](sim::Controller& c) {
            contents.assign(c.flash().contents().begin(), c.flash().contents().end());
        });
        return contents;
    }

    std::size_t Count(std::uint8_t code, std::uint8_t disk = 0) {
        const auto commands = rig.sim.Commands(disk);
        return static_cast<std::size_t>(std::count_if(
            commands.begin(), commands.end(),
            [code](const sim::CommandRecord& r) { return r.code == code && r.crcOk; }));
    }

    bool PanelHistoryHas(const std::string& text) const {
        const auto& h = rig.status.history;
        return std::find(h.begin(), h.end(), "4:" + text) != h.end();
    }

    EngineRig rig;
    RecordingUpgradeView view;
};

TEST(EraseRule, LengthsAndProgressMaximum) {
    struct Case {
        std::uint32_t size, erase, maximum;
    };
    // The maximum counts the commands the upgrade sends: erase steps, then
    // as many program as read-back commands.
    const Case cases[] = {
        {40960, 98304, 24 + 2 * 320},     // E = 49152, doubled
        {131072, 139264, 34 + 2 * 1024},  // E = 139264
        {8192, 32768, 8 + 2 * 64},        // a whole multiple still gets a block
        {57344, 131072, 32 + 2 * 448},    // E = 65536: still doubled
        {57345, 131072, 32 + 2 * 449},    // same E, one more partial page
        {65536, 73728, 18 + 2 * 512},     // E = 73728: not doubled
        {1000, 16384, 4 + 2 * 8},         // a partial last page is a whole command
        {0x7FE000, 0x800000, 2048 + 2 * 0xFFC0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        EXPECT_EQ(EraseLength(c.size), c.erase);
        EXPECT_EQ(ProgressMaximum(c.size), c.maximum);
    }
}

TEST(FirmwareUpgrade, RewritesTheMirrorAndVerifiesIt) {
    UpgradeRig u;
    const auto image = MakeImage(40960);
    u.Load(image);
    const UpgradeResult result = u.Upgrade(0);

    EXPECT_EQ(result.outcome, UpgradeOutcome::Completed);
    ASSERT_EQ(u.rig.dialogs.boxes.size(), 1u);
    EXPECT_EQ(u.rig.dialogs.boxes[0].caption, "Firmware Upgrade Message");
    EXPECT_EQ(u.rig.dialogs.boxes[0].text,
              "Firmware Upgrade 3/3 completed!\n\nPlease power off this device or the "
              "system,\nand power on it to enable the new firmware!");
    const auto flash = u.Flash();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
    EXPECT_TRUE(std::all_of(flash.begin() + 40960, flash.begin() + 98304,
                            [](std::uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(u.Count(CmdFlashErase), 24u);
    EXPECT_EQ(u.Count(CmdFlashProgram), 320u);
    EXPECT_EQ(u.Count(CmdFlashRead), 2u + 320u);  // the two pages the erase will reach first
    EXPECT_EQ(u.Count(CmdFlashErase, 1), 0u);
    ASSERT_EQ(u.rig.dialogs.questions.size(), 1u);
    const std::string& question = u.rig.dialogs.questions[0].text;
    for (const char* part :
         {"Device1 (disk 0: Sim Mirror Dock, firmware 140403", "40960 bytes, Chksum:"}) {
        EXPECT_NE(question.find(part), std::string::npos) << part << " in " << question;
    }

    EXPECT_EQ(u.rig.status.history,
              (std::vector<std::string>{"4:SPI = 12, BIN = 12", "4:SPI Erase OK",
                                        "4:SPI Program OK", "4:SPI Verify OK"}));
    EXPECT_EQ(u.view.label, "Firmware Update...");
    // The bar ends full.
    EXPECT_EQ(u.view.maximum, 664u);
    EXPECT_EQ(u.view.positions, (std::vector<std::uint32_t>{0, 24, 344, 664}));
    EXPECT_EQ(u.view.captions,
              (std::vector<std::string>{"Process 1 / 3", "Process 2 / 3", "Process 3 / 3"}));
    EXPECT_EQ(u.view.shown, (std::vector<bool>{true, false}));
    EXPECT_EQ(u.view.timer, (std::vector<bool>{true, false}));
    EXPECT_EQ(u.view.boxes, (std::vector<bool>{false, true}));

    EXPECT_EQ(u.rig.state.flags.MaintenanceBusy.load(), 0);
    EXPECT_EQ(u.rig.state.flags.flashTargetIndex.load(), kNoFlashTarget);
    EXPECT_TRUE(u.rig.state.maintenance.image.Loaded());

    // The image can be written again.
    EXPECT_EQ(u.Upgrade(0).outcome, UpgradeOutcome::Completed);
}

TEST(FirmwareUpgrade, AnImageOfOddSizeIsPaddedWithErasedBytes) {
    UpgradeRig u;
    const auto image = MakeImage(1000);
    u.Load(image);
    EXPECT_EQ(u.Upgrade(0).outcome, UpgradeOutcome::Completed);
    const auto flash = u.Flash();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
    EXPECT_TRUE(std::all_of(flash.begin() + 1000, flash.begin() + 1024,
                            [](std::uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(u.Count(CmdFlashProgram), 8u);
    EXPECT_EQ(u.Count(CmdFlashRead), 2u + 8u);
    EXPECT_EQ(u.view.positions.back(), u.view.maximum);
}

TEST(FirmwareUpgrade, RefusalsComeBeforeAnyFlashCommand) {
    struct Case {
        const char* name;
        std::optional<std::vector<std::uint8_t>> image;
        std::size_t device;
        std::string message;
    };
    const Case cases[] = {
        {"no image", std::nullopt, 0, "Please Load Firmware File First "},
        {"type on a first-pair device", MakeImage(4096, 0x13), 0,
         "Incorrect Firmware Type! SPI = 12, BIN = 13"},
        {"erase past 8 MiB", MakeImage(0x800000), 0,
         "The firmware file is too large for the SPI flash (8388608 bytes)."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UpgradeRig u;
        if (c.image) {
            u.Load(*c.image);
        }
        const UpgradeResult result = u.Upgrade(c.device);
        EXPECT_EQ(result.outcome, UpgradeOutcome::NotStarted);
        ASSERT_EQ(u.rig.dialogs.boxes.size(), 1u);
        EXPECT_EQ(u.rig.dialogs.boxes[0].text, c.message);
        EXPECT_EQ(u.rig.dialogs.boxes[0].caption, "Message");
        EXPECT_TRUE(u.rig.sim.Commands(0).empty());
        EXPECT_TRUE(u.view.shown.empty());
        EXPECT_EQ(u.rig.state.flags.MaintenanceBusy.load(), 0);
        EXPECT_EQ(u.rig.state.flags.flashTargetIndex.load(), kNoFlashTarget);
        EXPECT_EQ(u.view.boxes, (std::vector<bool>{false, true}));
    }
}

// Whatever happened since the image was loaded (another enclosure chosen, a
// discovery running, another program at the enclosure, the user saying no),
// the upgrade checks again and writes nothing when a check fails.
TEST(FirmwareUpgrade, ChecksRunAgainstTheTargetWhenTheUpgradeStarts) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> image;
        std::function<void(UpgradeRig&)> meanwhile;
        std::string text;
        std::string caption;  // empty: no message box
    };
    auto spoiledGuid = MakeImage(4096);
    spoiledGuid[140] ^= 0x01;
    const Case cases[] = {
        // Loaded for the second-pair enclosure, which has no family check.
        {"family of another product",
         MakeImage(4096, 0x12, 0x14040310, 0x27, 0x60),
         {},
         "The firmware is not for this product.\nPlease check it.",
         "Error"},
        {"GUID",
         spoiledGuid,
         {},
         "Threr are GUID error in the firmware file.\nPlease check it.",
         "Error"},
        {"discovery running", MakeImage(4096),
         [](UpgradeRig& u) { u.rig.state.devices.DetectionRunning.store(1); },
         FirmwareUpgrade::kDetectingText, "Message"},
        {"discovery not yet applied", MakeImage(4096),
         [](UpgradeRig& u) { u.rig.state.devices.DetectDone.store(1); },
         FirmwareUpgrade::kDetectingText, "Message"},
        {"in use by another program", MakeImage(4096),
         [](UpgradeRig& u) { u.rig.state.devices.table.entries[0] |= kEnclosureInUse; },
         FirmwareUpgrade::kInUseText, "Message"},
        {"the user says no", MakeImage(4096), [](UpgradeRig& u) { u.rig.dialogs.answer = false; },
         "Cancelled.", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UpgradeRig u;
        u.Load(c.image);
        if (c.meanwhile) {
            c.meanwhile(u);
        }
        const UpgradeResult result = u.Upgrade(0);
        EXPECT_EQ(result.outcome, UpgradeOutcome::NotStarted);
        EXPECT_EQ(result.text, c.text);
        if (c.caption.empty()) {
            EXPECT_TRUE(u.rig.dialogs.boxes.empty());
        } else {
            ASSERT_EQ(u.rig.dialogs.boxes.size(), 1u);
            EXPECT_EQ(u.rig.dialogs.boxes[0].text, c.text);
            EXPECT_EQ(u.rig.dialogs.boxes[0].caption, c.caption);
        }
        EXPECT_EQ(u.Count(CmdFlashErase) + u.Count(CmdFlashProgram), 0u);
        EXPECT_TRUE(u.view.shown.empty());
        EXPECT_EQ(u.rig.state.flags.MaintenanceBusy.load(), 0);
        EXPECT_EQ(u.rig.state.flags.flashTargetIndex.load(), kNoFlashTarget);
    }
}

// The product check reads the tables a discovery writes on its own thread: a
// file chosen meanwhile is refused (no image, no half-checked one) rather
// than checked against a table being rewritten.
TEST(FirmwareUpgrade, ALoadDuringADiscoveryIsRefused) {
    UpgradeRig u;
    const auto path = std::filesystem::path(u.rig.logFolder) / "fw.bin";
    const auto bytes = MakeImage(4096, 0x12, 0x14040310, 0x27, 0x60);
    std::FILE* f = std::fopen(path.string().c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
    u.rig.state.devices.DetectionRunning.store(1);
    auto file = MakeDiskImageFile();
    EXPECT_FALSE(u.rig.engine.LoadFirmware(path.string(), *file, 0));
    EXPECT_FALSE(u.rig.state.maintenance.image.Loaded());
    ASSERT_EQ(u.rig.dialogs.boxes.size(), 1u);
    EXPECT_EQ(u.rig.dialogs.boxes[0].text, FirmwareUpgrade::kDetectingText);

    // Once it is over, the same file is checked against the enclosure.
    u.rig.state.devices.DetectionRunning.store(0);
    EXPECT_FALSE(u.rig.engine.LoadFirmware(path.string(), *file, 0));
    EXPECT_EQ(u.rig.dialogs.boxes.back().text,
              "The firmware is not for this product.\nPlease check it.");
}

// Right before the first erase the enclosure is asked who it is: one that is
// not the enclosure the checks saw (swapped on the same disk, say) is left
// alone.
TEST(FirmwareUpgrade, AnotherEnclosureAtTheDiskIsNotFlashed) {
    struct Case {
        const char* name;
        std::function<void(DeviceState&)> checkedWas;
        const char* differs;
    };
    const Case cases[] = {
        {"name", [](DeviceState& d) { d.blocks[0][kBlockNameOffset + 1] ^= 0x20; },
         "(name changed)"},
        {"firmware", [](DeviceState& d) { d.blocks[0][kBlockFirmwareOffset + 3] ^= 0x01; },
         "(firmware changed)"},
        {"a drive", [](DeviceState& d) { d.records[0].hdd2Serial[0] ^= 0x01; },
         "(drive serials changed)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UpgradeRig u;
        u.Load(MakeImage(4096));
        c.checkedWas(u.rig.state.devices);
        const UpgradeResult result = u.Upgrade(0);
        EXPECT_EQ(result.outcome, UpgradeOutcome::NotStarted);
        EXPECT_NE(result.text.find(c.differs), std::string::npos) << result.text;
        EXPECT_NE(result.text.find("nothing was written"), std::string::npos);
        EXPECT_EQ(u.Count(CmdFlashErase) + u.Count(CmdFlashProgram) + u.Count(CmdFlashRead), 0u);
    }
}

// A flash smaller than the range the erase covers would be erased whole and
// then fail past its end, leaving nothing the controller can start from.
TEST(FirmwareUpgrade, AFlashThatEndsBeforeTheEraseRangeIsNotErased) {
    sim::Scenario s = sim::DefaultScenario();
    s.enclosures[0].controller.flashSize = 64 * 1024;
    UpgradeRig u({}, s);
    u.Load(MakeImage(64 * 1024));  // the whole chip: the erase would cover 72 KiB
    const auto before = u.Flash();
    const UpgradeResult result = u.Upgrade(0);
    EXPECT_EQ(result.outcome, UpgradeOutcome::NotStarted);
    EXPECT_EQ(result.text,
              "The SPI flash cannot be read at address 11F80, which the erase would cover; "
              "nothing was erased.");
    EXPECT_EQ(u.Count(CmdFlashErase) + u.Count(CmdFlashProgram), 0u);
    EXPECT_EQ(u.Flash(), before);

    // The same image on a chip that holds the whole range goes through.
    UpgradeRig big;
    big.Load(MakeImage(64 * 1024));
    EXPECT_EQ(big.Upgrade(0).outcome, UpgradeOutcome::Completed);
}

// `raidcli firmware check` runs Check: whatever it accepts an upgrade starts
// on, and what it refuses the upgrade refuses with the same reason.
TEST(FirmwareUpgrade, CheckGivesTheVerdictOfTheUpgrade) {
    auto spoiledSignature = MakeImage(4096);
    spoiledSignature[128] = 'X';
    struct Case {
        std::vector<std::uint8_t> image;
        std::array<bool, 2> accepted;  // on the first-pair and the second-pair enclosure
    };
    const std::vector<Case> cases = {
        {MakeImage(4096), {true, true}},
        {MakeImage(4096, 0x13), {false, true}},                          // type: first pair only
        {MakeImage(4096, 0x12, 0x14040310, 0x27, 0x60), {false, true}},  // family
        {MakeImage(4096, 0x12, 0x13122500, 0x27, 0x60), {true, true}},   // old stamp
        {MakeImage(0x800000), {false, false}},  // the erase would pass 8 MiB
        {spoiledSignature, {false, false}},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        for (std::size_t device : {0u, 1u}) {
            SCOPED_TRACE("image " + std::to_string(i) + ", device " + std::to_string(device));
            const auto& image = cases[i].image;
            UpgradeRig checked;
            checked.Load(image);
            const UpgradeResult verdict = checked.rig.engine.CheckUpgrade(device);
            EXPECT_EQ(verdict.outcome == UpgradeOutcome::Accepted, cases[i].accepted[device]);
            EXPECT_EQ(checked.Count(CmdFlashErase) + checked.Count(CmdFlashProgram), 0u);
            EXPECT_TRUE(checked.rig.dialogs.questions.empty());
            EXPECT_EQ(checked.rig.state.flags.MaintenanceBusy.load(), 0);

            UpgradeRig upgraded;
            upgraded.Load(image);
            const UpgradeResult result = upgraded.Upgrade(device);
            if (verdict.outcome == UpgradeOutcome::Accepted) {
                EXPECT_EQ(result.outcome, UpgradeOutcome::Completed);
            } else {
                EXPECT_EQ(verdict.outcome, UpgradeOutcome::NotStarted);
                EXPECT_EQ(result.outcome, UpgradeOutcome::NotStarted);
                EXPECT_EQ(result.text, verdict.text);
            }
        }
    }
}

TEST(FirmwareUpgrade, ATypeDifferenceDoesNotStopASecondPairDevice) {
    UpgradeRig u;
    const auto image = MakeImage(4096, 0x13);
    u.Load(image);
    EXPECT_EQ(u.rig.state.devices.devices[1].chipVariant, 1);
    EXPECT_EQ(u.Upgrade(1).outcome, UpgradeOutcome::Completed);
    const auto flash = u.Flash(1);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
    EXPECT_EQ(u.rig.status.history.front(), "4:SPI = 12, BIN = 13");
}

TEST(FirmwareUpgrade, ASecondClickDuringAnUpgradeDoesNothing) {
    UpgradeRig u;
    u.Load(MakeImage(4096));
    std::optional<UpgradeResult> nested;
    u.rig.engine.SetMessagePump([&] {
        if (!nested) {
            RecordingUpgradeView other;
            nested = u.rig.engine.UpgradeFirmware(0, other);
        }
    });
    EXPECT_EQ(u.Upgrade(0).outcome, UpgradeOutcome::Completed);
    ASSERT_TRUE(nested);
    EXPECT_EQ(nested->outcome, UpgradeOutcome::Ignored);
}

FaultConfig Fault(sim::FaultKind kind, std::uint8_t code, std::uint32_t address,
                  std::optional<std::uint32_t> times = std::nullopt, std::uint8_t status = 0xE0) {
    FaultConfig f;
    f.kind = kind;
    f.code = code;
    f.address = address;
    f.times = times;
    f.status = status;
    return f;
}

TEST(FirmwareUpgrade, FlashFaultsEndWithTheirTexts) {
    using sim::FaultKind;
    struct Case {
        const char* name;
        FaultConfig fault;
        UpgradeOutcome outcome;
        std::string finalText;    // the result box
        std::string attemptText;  // somewhere in panel 4 on the way, if any
        bool flashHoldsImage;
    };
    const Case cases[] = {
        {"read at 0x80 fails twice", Fault(FaultKind::StatusByte, CmdFlashRead, 0x80, 2),
         UpgradeOutcome::Completed, "", "ReadSPI fail 2 times, Address = 0080", true},
        {"program fails 8 times", Fault(FaultKind::StatusByte, CmdFlashProgram, 0x100, 8),
         UpgradeOutcome::Completed, "", "WriteSPI fail8 times, Address = 0100", true},
        {"erase fails for good", Fault(FaultKind::StatusByte, CmdFlashErase, 0x3000),
         UpgradeOutcome::Failed, "SPI Erase Fail.", "EraseSPI fail, Address = 3000", false},
        {"program fails for good", Fault(FaultKind::NoReply, CmdFlashProgram, 0x2000),
         UpgradeOutcome::Failed, "SPI Program Fail.", "WriteSPI fail9 times, Address = 2000",
         false},
        {"read-back fails for good", Fault(FaultKind::ReplyRead, CmdFlashRead, 0x400),
         UpgradeOutcome::Failed, "ReadSPI fail, Address = 0400",
         "ReadSPI fail 9 times, Address = 0400", true},
        {"last byte flipped in read-back",
         [] {
             auto f = Fault(FaultKind::FlipBit, CmdFlashRead, 40959);
             f.bit = 3;
             return f;
         }(),
         UpgradeOutcome::Failed, "SPI Verify fail !!!", "", true},
        {"enclosure gone mid-erase", Fault(FaultKind::Vanish, CmdFlashErase, 0x5000),
         UpgradeOutcome::Failed, "SPI Erase Fail.", "EraseSPI fail, Address = 5000", false},
        {"enclosure gone mid-program", Fault(FaultKind::Vanish, CmdFlashProgram, 0x1000),
         UpgradeOutcome::Failed, "SPI Program Fail.", "WriteSPI fail, Address = 1000", false},
    };
    const auto image = MakeImage(40960);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UpgradeRig u({c.fault});
        u.Load(image);
        const UpgradeResult result = u.Upgrade(0);
        EXPECT_EQ(result.outcome, c.outcome);
        if (c.outcome == UpgradeOutcome::Failed) {
            EXPECT_EQ(result.text, c.finalText);
            ASSERT_EQ(u.rig.dialogs.boxes.size(), 1u);
            EXPECT_EQ(u.rig.dialogs.boxes[0].text, c.finalText);
            EXPECT_EQ(u.rig.dialogs.boxes[0].caption, "Message");
        }
        if (!c.attemptText.empty()) {
            EXPECT_TRUE(u.PanelHistoryHas(c.attemptText)) << c.attemptText;
        }
        const auto flash = u.Flash();
        EXPECT_EQ(std::equal(image.begin(), image.end(), flash.begin()), c.flashHoldsImage);
        EXPECT_TRUE(u.rig.state.maintenance.image.Loaded());
        EXPECT_EQ(u.rig.state.flags.MaintenanceBusy.load(), 0);
        EXPECT_EQ(u.rig.state.flags.flashTargetIndex.load(), kNoFlashTarget);
        EXPECT_EQ(u.view.shown, (std::vector<bool>{true, false}));
    }
}

TEST(FirmwareUpgrade, AFailedReadLeavesItsAttemptTextUntilTheNextText) {
    // The attempt text of k = 2 stays in panel 4 while the phase goes on.
    UpgradeRig u({Fault(sim::FaultKind::StatusByte, CmdFlashRead, 0x80, 2)});
    u.Load(MakeImage(4096));
    u.Upgrade(0);
    const auto& h = u.rig.status.history;
    const auto at = std::find(h.begin(), h.end(), "4:ReadSPI fail 2 times, Address = 0080");
    ASSERT_NE(at, h.end());
    ASSERT_NE(at + 1, h.end());
    EXPECT_EQ(*(at + 1), "4:SPI Verify OK");
    EXPECT_EQ(*(at - 1), "4:ReadSPI fail 1 times, Address = 0080");
}

TEST(FlashPrimitives, EraseAndProgramNeedADeviceAtTheTargetIndex) {
    UpgradeRig u;
    SpiFlashAccess& flash = u.rig.engine.flash();
    u.rig.state.flags.flashTargetIndex.store(kNoFlashTarget);
    EXPECT_FALSE(flash.EraseSpiFlash(0, 4096));
    EXPECT_EQ(u.rig.status.panels[4], "No Upgrade Mode!!!");
    EXPECT_EQ(u.rig.dialogs.boxes.back().text, "No Upgrade Mode !");
    const std::vector<std::uint8_t> data(128, 0);
    u.rig.state.flags.flashTargetIndex.store(2);  // two devices: 0 and 1
    EXPECT_FALSE(flash.ProgramSpiFlash(0, 128, data));
    u.rig.state.devices.table.count = 0;
    EXPECT_FALSE(flash.EraseSpiFlash(0, 4096));
    EXPECT_EQ(u.rig.status.panels[4], "Device not found!!!");
    EXPECT_EQ(u.rig.dialogs.boxes.back().text, "No Device found !");
    EXPECT_EQ(u.rig.dialogs.boxes.back().caption, "Message");
    EXPECT_TRUE(u.rig.sim.Commands(0).empty());
}

TEST(FlashPrimitives, NoAddressPast8MiBIsEverSent) {
    UpgradeRig u;
    u.rig.state.flags.flashTargetIndex.store(0);
    const std::vector<std::uint8_t> data(256, 0);
    // 0x7FFF80 + 256 bytes would wrap round to page 0.
    EXPECT_FALSE(u.rig.engine.flash().ProgramSpiFlash(0x7FFF80, 256, data));
    EXPECT_FALSE(u.rig.engine.flash().EraseSpiFlash(0x7FF000, 8192));
    EXPECT_TRUE(u.rig.sim.Commands(0).empty());
    std::vector<std::uint8_t> small(100);
    EXPECT_FALSE(u.rig.engine.flash().ReadSpiFlash(0, 128, small));  // buffer too small
}

TEST(Discovery, ReadsTheFirmwareTypeThroughTheFlashPrimitive) {
    sim::Scenario s = sim::DefaultScenario();
    s.enclosures[0].controller.flashType = 0x34;
    FaultConfig f;
    f.kind = sim::FaultKind::StatusByte;
    f.code = CmdFlashRead;
    f.address = 0x80;
    f.times = 1;
    f.status = 0xE0;
    s.enclosures[0].faults.push_back(f);
    EngineRig rig(s);
    rig.StartUp();
    EXPECT_EQ(rig.state.devices.devices[0].flashType, 0x34);
    EXPECT_EQ(rig.state.devices.devices[1].flashType, 0x12);
    const auto& h = rig.status.history;
    EXPECT_NE(std::find(h.begin(), h.end(), "4:ReadSPI fail 1 times, Address = 0080"), h.end());
    EXPECT_EQ(rig.state.maintenance.progressCounter.load(), 4u);  // two reads on two devices
}

TEST(Discovery, TheEnclosureBeingFlashedIsFoundByItsTableIndex) {
    // Enclosures on disks 2 and 5: table index 1 is disk 5, not disk 1.
    sim::Scenario s = sim::DefaultScenario();
    s.enclosures[0].disk = 2;
    s.enclosures[1].disk = 5;
    s.timeline.clear();
    EngineRig rig(s);
    rig.StartUp();
    ASSERT_EQ(rig.state.devices.table.count, 2);
    ASSERT_EQ(rig.state.devices.table.Disk(1), 5);
    rig.state.flags.StartupPass.store(0);
    rig.state.flags.flashTargetIndex.store(1);
    rig.sim.SetRecording(true);
    rig.state.devices.DetectRequest.store(1);
    rig.state.devices.DetectionRunning.store(1);
    rig.engine.RunDetectionPass();
    EXPECT_TRUE(rig.sim.Commands(5).empty());  // left alone
    EXPECT_FALSE(rig.sim.Commands(2).empty());
    EXPECT_EQ(rig.state.devices.newTable.count, 2);
    EXPECT_EQ(rig.state.devices.newTable.Disk(0), 2);
    EXPECT_EQ(rig.state.devices.newTable.Disk(1), 5);
}

TEST(DeviceChangeFollowUp, AChangeThatLeavesTheCountsAloneReenablesUpgrade) {
    EngineRig rig;
    rig.StartUp();
    rig.frontEnd.upgradeEnabled.clear();
    rig.engine.DeviceChanged();
    for (int tick = 0; tick < 11; ++tick) {
        rig.engine.Timer4Tick();
    }
    EXPECT_EQ(rig.frontEnd.upgradeEnabled, (std::vector<bool>{false, true}));
    EXPECT_EQ(rig.state.devices.DetectionRunning.load(), 0);
    EXPECT_EQ(rig.state.devices.DetectRequest.load(), 0);
}

}  // namespace
}  // namespace raid
