#include "device/enclosure_lock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Appends every read to a file shared by several processes, one line each.
class JournalTransport final : public Transport {
  public:
    JournalTransport(Transport& inner, int fd) : inner_(inner), fd_(fd) {}
    DeviceHandle OpenDevice(std::uint8_t code) override { return inner_.OpenDevice(code); }
    bool ReadSectors(DeviceHandle h, std::uint32_t lba, std::span<std::uint8_t> buffer,
                     std::uint32_t count) override {
        const std::string line = std::to_string(::getpid()) + " " + std::to_string(lba) + "\n";
        (void)!::write(fd_, line.data(), line.size());  // O_APPEND: one line at a time
        return inner_.ReadSectors(h, lba, buffer, count);
    }
    bool InquiryDevice(DeviceHandle h, std::span<std::uint8_t> buffer) override {
        return inner_.InquiryDevice(h, buffer);
    }
    void CloseHandle(DeviceHandle h) override { inner_.CloseHandle(h); }

  private:
    Transport& inner_;
    int fd_;
};

// A process that holds the lock of `disk` until told to let go.
class LockHolder {
  public:
    LockHolder(const std::string& folder, std::uint8_t disk) {
        int ready[2];
        int release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0) {
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            ::close(release[1]);
            auto lock = MakeFileEnclosureLock(LockFilesIn(folder), true);
            const char held = lock->TryLock(disk) ? 'h' : 'n';
            (void)!::write(ready[1], &held, 1);
            char ignored;
            (void)!::read(release[0], &ignored, 1);
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        release_ = release[1];
        char held = 0;
        ok_ = ::read(ready[0], &held, 1) == 1 && held == 'h';
        ::close(ready[0]);
    }
    ~LockHolder() { Release(); }

    bool ok() const { return ok_; }
    void Release() {
        if (release_ >= 0) {
            (void)!::write(release_, "x", 1);
            ::close(release_);
            release_ = -1;
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
    }

  private:
    pid_t pid_ = -1;
    int release_ = -1;
    bool ok_ = false;
};

// Exit status of a child that tries to take the lock once: 0 taken, 1 not.
int TryInChild(const std::string& folder, std::uint8_t disk) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        auto lock = MakeFileEnclosureLock(LockFilesIn(folder), true);
        ::_exit(lock->TryLock(disk) ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
    EXPECT_EQ(TryInChild(dir.path, 0), 1);  // still held once
    lock->Unlock(0);
    EXPECT_EQ(TryInChild(dir.path, 0), 0);
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
    std::vector<pid_t> children;
    for (int p = 0; p < 2; ++p) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int fd = ::open(journal.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            SteadyClock clock;
            sim::SimTransport sim(sim::DefaultScenario(), clock);
            JournalTransport shared(sim, fd);
            auto lock = MakeFileEnclosureLock(LockFilesIn(dir.path), true);
            CommandChannel channel(shared, clock);
            channel.SetEnclosureLock(*lock);
            ReplySector reply{};
            int ok = 0;
            for (int i = 0; i < kCommands; ++i) {
                ok += channel.SendCommand(CmdGetControllerInfo, reply) == kStatusOk;
            }
            ::_exit(ok == kCommands ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
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
            others.push_back(TryInChild(dir.path, 0));
        }
    });
    UpgradeView view;
    EXPECT_EQ(rig.engine.UpgradeFirmware(0, view).outcome, UpgradeOutcome::Completed);
    EXPECT_EQ(others, (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(TryInChild(dir.path, 0), 0);  // and lets go at the end
}

}  // namespace
}  // namespace raid
