#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "device/clock.h"

namespace raid {

// Keeps our own processes (the window, a monitoring service, a one-shot
// raidcli) from interleaving read sequences on one enclosure: a frame mixed
// with another one is garbage to the controller, and during a firmware
// upgrade it could land in the flash. Follows the block-device locking
// convention: an exclusive flock on the disk's device node.
//
// Locks are reentrant within the process, so an upgrade that holds its
// enclosure from erase to verify does not shut out its own commands.
class EnclosureLock {
  public:
    virtual ~EnclosureLock() = default;
    // Takes the lock of disk `disk` without waiting. False when another
    // process holds it. A disk whose lock cannot be opened at all (it has
    // just gone away) counts as taken: the command then fails on its own.
    virtual bool TryLock(std::uint8_t disk) = 0;
    virtual void Unlock(std::uint8_t disk) = 0;
};

// The process-wide nesting of a lock taken on a system object per disk: the
// system lock is taken by the outermost TryLock and let go by the matching
// last Unlock, whichever thread makes them.
class NestedEnclosureLock : public EnclosureLock {
  public:
    bool TryLock(std::uint8_t disk) final;
    void Unlock(std::uint8_t disk) final;

  protected:
    // What stands for a taken system lock (a descriptor or a handle); kNoLock
    // when there was nothing to lock.
    using Token = std::intptr_t;
    static constexpr Token kNoLock = -1;

    // The system lock of `disk`, or nullopt when another process holds it or
    // it cannot be had at all.
    virtual std::optional<Token> Take(std::uint8_t disk) = 0;
    virtual void Release(Token token) = 0;
    // For the destructor of a derived class, which alone can still release.
    void ReleaseAll();

  private:
    struct Held {
        Token token = kNoLock;
        int depth = 0;
    };
    std::mutex mutex_;
    std::map<std::uint8_t, Held> held_;
};

// For runs that share their enclosures with nobody (the stand-in of a
// single process, unit tests).
class NoEnclosureLock final : public EnclosureLock {
  public:
    bool TryLock(std::uint8_t) override { return true; }
    void Unlock(std::uint8_t) override {}
};

// An exclusive lock on the file `pathOf(disk)` names (flock; LockFileEx on
// Windows): the disk's device node for real enclosures on Linux, a lock file
// for stand-ins shared between processes. An empty path means the disk has
// no lock (nothing to take). A missing file is made only when
// `createMissing` is set: never a node under /dev. Without it, a file that
// cannot be opened lets the command go on (the disk has gone; the command
// then fails on its own); with it, a lock file that cannot be made is
// refused like a held one, since nothing would keep another process out.
std::unique_ptr<EnclosureLock> MakeFileEnclosureLock(
    std::function<std::string(std::uint8_t disk)> pathOf, bool createMissing);

// The lock files of stand-in enclosures: `folder`/disk<N>.lock.
std::function<std::string(std::uint8_t)> LockFilesIn(const std::string& folder);

// How long a command waits for an enclosure that another process is using
// before it gives up (a poll then skips that enclosure).
inline constexpr std::uint32_t kLockWaitMs = 2000;
inline constexpr std::uint32_t kLockRetryMs = 20;

// Holds the lock of one disk for its lifetime. Waits up to `waitMs` through
// the clock, letting `pump` run between tries.
class EnclosureLockHold {
  public:
    EnclosureLockHold(EnclosureLock& lock, std::uint8_t disk, Clock& clock, std::uint32_t waitMs,
                      const std::function<void()>& pump = {});
    ~EnclosureLockHold();
    EnclosureLockHold(const EnclosureLockHold&) = delete;
    EnclosureLockHold& operator=(const EnclosureLockHold&) = delete;

    bool held() const { return held_; }

  private:
    EnclosureLock& lock_;
    std::uint8_t disk_;
    bool held_ = false;
};

}  // namespace raid
