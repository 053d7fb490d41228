#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

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
    const Case cases[] = {
        {40960, 98304, 768 + 12 + 30},     // E = 49152, doubled
        {131072, 139264, 2176 + 34 + 30},  // E = 139264
        {8192, 32768, 256 + 4 + 30},       // a whole multiple still gets a block
        {57344, 131072, 1024 + 16 + 30},   // E = 65536: still doubled
        {57345, 131072, 1024 + 16 + 30},   // same E
        {65536, 73728, 1152 + 18 + 30},    // E = 73728: not doubled
        {0x7FE000, 0x800000, 0x20000 + 2048 + 30},
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
    EXPECT_EQ(u.Count(CmdFlashRead), 320u);
    EXPECT_EQ(u.Count(CmdFlashErase, 1), 0u);

    EXPECT_EQ(u.rig.status.history,
              (std::vector<std::string>{"4:SPI = 12, BIN = 12", "4:SPI Erase OK",
                                        "4:SPI Program OK", "4:SPI Verify OK"}));
    EXPECT_EQ(u.view.label, "Firmware Update...");
    EXPECT_EQ(u.view.maximum, 810u);
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
    EXPECT_EQ(u.Count(CmdFlashRead), 8u);
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
