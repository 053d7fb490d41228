#include "device/enclosure_lock.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "device/command_channel.h"
#include "sim/sim_transport.h"
#include "tests/support/engine_rig.h"
#include "tests/support/firmware_images.h"
#include "tests/support/scratch_folder.h"

namespace raid {
namespace {

struct TempFolder : testing::ScratchFolder {
    TempFolder() : ScratchFolder("lock-test") {}
};

TEST(EnclosureLock, ADeviceNodeThatIsGoneIsNotWaitedFor) {
    auto lock =
        MakeFileEnclosureLock([](std::uint8_t) { return std::string("/nonexistent/sdz"); }, false);
    EXPECT_TRUE(lock->TryLock(3));
    lock->Unlock(3);
    EXPECT_FALSE(std::filesystem::exists("/nonexistent/sdz"));
}

// Nothing would keep another process out: refused as if held, never run
// unlocked.
TEST(EnclosureLock, ALockFileThatCannotBeMadeIsRefused) {
    TempFolder dir;
    auto lock = MakeFileEnclosureLock(LockFilesIn(dir.path + "/missing"), true);
    EXPECT_FALSE(lock->TryLock(0));
    EXPECT_FALSE(std::filesystem::exists(dir.path + "/missing"));
}

// A lock some other process always holds.
class TakenLock final : public EnclosureLock {
  public:
    bool TryLock(std::uint8_t) override { return false; }
    void Unlock(std::uint8_t) override {}
};

TEST(EnclosureLock, APollPassesABusyEnclosureWithoutCountingAFailure) {
    testing::EngineRig rig;
    rig.StartUp();
    TakenLock taken;
    rig.engine.SetEnclosureLock(taken);
    rig.sim.SetRecording(true);
    for (int i = 0; i < 25; ++i) {
        rig.PollOnce();
    }
    EXPECT_TRUE(rig.sim.Commands(0).empty());
    EXPECT_TRUE(rig.state.poll.slotChecked[0].load());
    EXPECT_TRUE(rig.frontEnd.unchecked.empty());
    EXPECT_EQ(rig.state.devices.slots[0].failCount, 0);
}

// Refuses one disk, as another process in the middle of an upgrade would.
class OneDiskTaken final : public EnclosureLock {
  public:
    explicit OneDiskTaken(std::uint8_t disk) : disk_(disk) {}
    bool TryLock(std::uint8_t disk) override { return disk != disk_; }
    void Unlock(std::uint8_t) override {}

  private:
    std::uint8_t disk_;
};

TEST(EnclosureLock, ADiscoveryKeepsAnEnclosureAnotherProcessIsUsing) {
    testing::EngineRig rig;
    rig.StartUp();
    ASSERT_EQ(rig.state.devices.table.count, 2);
    const ControllerBlock mirrorBlock = rig.state.devices.blocks[0];
    const FoundDevice mirror = rig.state.devices.devices[0];
    OneDiskTaken taken(0);
    rig.engine.SetEnclosureLock(taken);

    rig.state.devices.DetectionRunning.store(1);
    rig.state.devices.DetectRequest.store(1);
    rig.engine.RunDetectionPass();
    rig.engine.Timer4Tick();

    ASSERT_EQ(rig.state.devices.table.count, 2);
    EXPECT_EQ(rig.state.devices.table.Disk(0), 0);
    EXPECT_EQ(rig.state.devices.table.Disk(1), 1);
    EXPECT_EQ(rig.state.devices.blocks[0], mirrorBlock);  // its name and firmware stay
    EXPECT_EQ(rig.state.devices.devices[0].flashType, mirror.flashType);
    EXPECT_EQ(rig.state.devices.devices[0].chipVariant, mirror.chipVariant);
    EXPECT_TRUE(rig.state.log.DeviceChangeLines.empty());
    EXPECT_TRUE(rig.mail.Requests().empty());
}

TEST(EnclosureLock, AnUpgradeOfABusyEnclosureSendsNoFlashCommand) {
    testing::EngineRig rig;
    rig.StartUp();
    TakenLock taken;
    rig.engine.SetEnclosureLock(taken);
    rig.state.maintenance.image.bytes = testing::MakeImage(4096);
    rig.state.maintenance.image.size = 4096;
    rig.sim.SetRecording(true);
    UpgradeView view;
    const UpgradeResult result = rig.engine.UpgradeFirmware(0, view);
    EXPECT_EQ(result.outcome, UpgradeOutcome::NotStarted);
    EXPECT_EQ(result.text, "The device is in use by another program.");
    EXPECT_TRUE(rig.sim.Commands(0).empty());
    EXPECT_EQ(rig.state.flags.MaintenanceBusy.load(), 0);
}

}  // namespace
}  // namespace raid
