// The enclosure lock between real processes: the helper program built with
// the tests takes the same lock files as raidcli with RAIDGUI_LOCK_DIR.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "device/command_channel.h"
#include "device/enclosure_lock.h"
#include "sim/sim_transport.h"
#include "tests/support/child_process.h"
#include "tests/support/engine_rig.h"
#include "tests/support/firmware_images.h"
#include "tests/support/scratch_folder.h"

namespace raid {
namespace {

#ifdef _WIN32
constexpr const char* kHelper = "enclosure_lock_helper.exe";
#else
constexpr const char* kHelper = "enclosure_lock_helper";
#endif

struct TempFolder : testing::ScratchFolder {
    TempFolder() : ScratchFolder("lock-test") {}
};

// Another process that holds the lock of `disk` until told to let go.
class LockHolder {
  public:
    LockHolder(const std::string& folder, std::uint8_t disk)
        : child_(testing::BesideTests(kHelper), {"hold", folder, std::to_string(disk)}) {
        ok_ = child_.started() && child_.ReadByte() == 'h';
    }
    bool ok() const { return ok_; }
    void Release() {
        child_.CloseInput();
        child_.Wait();
    }

  private:
    testing::ChildProcess child_;
    bool ok_ = false;
};

// Another process that tries for the lock once: 0 taken, 1 not.
int TryInOtherProcess(const std::string& folder, std::uint8_t disk) {
    testing::ChildProcess child(testing::BesideTests(kHelper),
                                {"try", folder, std::to_string(disk)});
    return child.Wait();
}

TEST(EnclosureLock, ExclusiveBetweenProcessesReentrantWithinOne) {
    TempFolder dir;
    auto lock = MakeFileEnclosureLock(LockFilesIn(dir.path), true);
    {
        LockHolder other(dir.path, 0);
        ASSERT_TRUE(other.ok());
        EXPECT_FALSE(lock->TryLock(0));
        EXPECT_TRUE(lock->TryLock(1));  // another enclosure is free
        lock->Unlock(1);
    }
    ASSERT_TRUE(lock->TryLock(0));
    ASSERT_TRUE(lock->TryLock(0));  // nested: an upgrade and its own commands
    lock->Unlock(0);
    EXPECT_EQ(TryInOtherProcess(dir.path, 0), 1);  // still held once
    lock->Unlock(0);
    EXPECT_EQ(TryInOtherProcess(dir.path, 0), 0);
}

TEST(EnclosureLock, ACommandWaitsBoundedThenReportsTheEnclosureBusy) {
    TempFolder dir;
    VirtualClock clock;
    sim::SimTransport sim(sim::DefaultScenario(), clock);
    auto lock = MakeFileEnclosureLock(LockFilesIn(dir.path), true);
    CommandChannel channel(sim, clock);
    channel.SetEnclosureLock(*lock);
    int pumps = 0;
    channel.SetMessagePump([&] { ++pumps; });
    sim.SetRecording(true);
    ReplySector reply{};

    LockHolder other(dir.path, 0);
    ASSERT_TRUE(other.ok());
    const std::uint64_t before = clock.NowMs();
    EXPECT_EQ(channel.SendCommand(CmdProbe, reply), kErrEnclosureBusy);
    EXPECT_GE(clock.NowMs() - before, kLockWaitMs);
    EXPECT_LT(clock.NowMs() - before, kLockWaitMs + 100);
    EXPECT_TRUE(sim.Reads(0).empty());
    EXPECT_GT(pumps, 0);  // the window stays alive while it waits

    other.Release();
    EXPECT_EQ(channel.SendCommand(CmdProbe, reply), kStatusOk);
}

TEST(EnclosureLock, TwoProcessesNeverInterleaveTheirReadSequences) {
    TempFolder dir;
    const std::string journal = dir.path + "/journal";
    constexpr int kCommands = 12;
    {
        std::vector<std::unique_ptr<testing::ChildProcess>> children;
        for (int p = 0; p < 2; ++p) {
            children.push_back(std::make_unique<testing::ChildProcess>(
                testing::BesideTests(kHelper),
                std::vector<std::string>{"commands", dir.path, journal,
                                         std::to_string(kCommands)}));
        }
        for (auto& child : children) {
            EXPECT_EQ(child->Wait(), 0);
        }
    }

    // Runs of reads by one process: each must be whole commands, from the
    // first preamble read to a reply read.
    std::ifstream in(journal);
    std::string pid;
    std::uint32_t lba = 0;
    std::vector<std::pair<std::string, std::vector<std::uint32_t>>> runs;
    std::map<std::string, int> starts;
    while (in >> pid >> lba) {
        if (runs.empty() || runs.back().first != pid) {
            runs.push_back({pid, {}});
        }
        runs.back().second.push_back(lba);
        starts[pid] += lba == 0x43;
    }
    ASSERT_EQ(starts.size(), 2u);
    for (const auto& [who, count] : starts) {
        EXPECT_EQ(count, kCommands) << who;
    }
    for (const auto& [who, lbas] : runs) {
        EXPECT_EQ(lbas.front(), 0x43u) << who;
        EXPECT_EQ(lbas.back(), kReplySector) << who;
    }
}

TEST(EnclosureLock, AnUpgradeHoldsItsEnclosureFromEraseToVerify) {
    TempFolder dir;
    testing::EngineRig rig;
    rig.StartUp();
    auto lock = MakeFileEnclosureLock(LockFilesIn(dir.path), true);
    rig.engine.SetEnclosureLock(*lock);
    const auto image = testing::MakeImage(8192);
    rig.state.maintenance.image.bytes = image;
    rig.state.maintenance.image.size = static_cast<std::uint32_t>(image.size());

    // Another process tries for the lock in all three phases: after 2
    // erase steps, 20 program and 50 read commands (8 + 64 + 64 in all),
    // which follow the 4 commands that ask the enclosure who it is and read
    // the two ends of the erase range.
    rig.sim.SetRecording(true);
    std::vector<std::size_t> triggers = {4 + 2, 4 + 8 + 20, 4 + 8 + 64 + 50};
    std::vector<int> others;
    rig.engine.SetMessagePump([&] {
        if (!triggers.empty() && rig.sim.Commands(0).size() == triggers.front()) {
            triggers.erase(triggers.begin());
            others.push_back(TryInOtherProcess(dir.path, 0));
        }
    });
    UpgradeView view;
    EXPECT_EQ(rig.engine.UpgradeFirmware(0, view).outcome, UpgradeOutcome::Completed);
    EXPECT_EQ(others, (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(TryInOtherProcess(dir.path, 0), 0);  // and lets go at the end
}

}  // namespace
}  // namespace raid
