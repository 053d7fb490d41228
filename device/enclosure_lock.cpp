#include "device/enclosure_lock.h"

namespace raid {

EnclosureLockHold::EnclosureLockHold(EnclosureLock& lock, std::uint8_t disk, Clock& clock,
                                     std::uint32_t waitMs, const std::function<void()>& pump)
    : lock_(lock), disk_(disk) {
    const std::uint64_t start = clock.NowMs();
    held_ = lock_.TryLock(disk_);
    while (!held_ && clock.NowMs() - start < waitMs) {
        if (pump) {
            pump();
        }
        clock.SleepMs(kLockRetryMs);
        held_ = lock_.TryLock(disk_);
    }
}

EnclosureLockHold::~EnclosureLockHold() {
    if (held_) {
        lock_.Unlock(disk_);
    }
}

std::function<std::string(std::uint8_t)> LockFilesIn(const std::string& folder) {
    return [folder](std::uint8_t disk) {
        return folder + "/disk" + std::to_string(static_cast<unsigned>(disk)) + ".lock";
    };
}

}  // namespace raid
