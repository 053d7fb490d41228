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

bool NestedEnclosureLock::TryLock(std::uint8_t disk) {
    const std::lock_guard guard(mutex_);
    if (auto it = held_.find(disk); it != held_.end()) {
        ++it->second.depth;
        return true;
    }
    const std::optional<Token> token = Take(disk);
    if (!token) {
        return false;
    }
    held_[disk] = Held{*token, 1};
    return true;
}

void NestedEnclosureLock::Unlock(std::uint8_t disk) {
    const std::lock_guard guard(mutex_);
    auto it = held_.find(disk);
    if (it == held_.end() || --it->second.depth != 0) {
        return;
    }
    if (it->second.token != kNoLock) {
        Release(it->second.token);
    }
    held_.erase(it);
}

void NestedEnclosureLock::ReleaseAll() {
    const std::lock_guard guard(mutex_);
    for (const auto& [disk, held] : held_) {
        if (held.token != kNoLock) {
            Release(held.token);
        }
    }
    held_.clear();
}

std::function<std::string(std::uint8_t)> LockFilesIn(const std::string& folder) {
    return [folder](std::uint8_t disk) {
        return folder + "/disk" + std::to_string(static_cast<unsigned>(disk)) + ".lock";
    };
}

}  // namespace raid
