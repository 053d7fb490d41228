#include <windows.h>

#include <map>
#include <mutex>

#include "device/enclosure_lock.h"

namespace raid {
namespace {

// Windows has no flock on a disk; a named mutex per disk number keeps our own
// processes apart the same way. The path names the mutex.
class MutexEnclosureLock final : public EnclosureLock {
  public:
    explicit MutexEnclosureLock(std::function<std::string(std::uint8_t)> pathOf)
        : pathOf_(std::move(pathOf)) {}

    ~MutexEnclosureLock() override {
        for (auto& [disk, held] : held_) {
            ::ReleaseMutex(held.mutex);
            ::CloseHandle(held.mutex);
        }
    }

    bool TryLock(std::uint8_t disk) override {
        const std::lock_guard guard(mutex_);
        auto it = held_.find(disk);
        if (it != held_.end()) {
            ++it->second.depth;
            return true;
        }
        std::string name = "Global\\RAIDGUI_PhysicalDrive" + std::to_string(disk);
        HANDLE m = ::CreateMutexA(nullptr, FALSE, name.c_str());
        if (m == nullptr) {
            held_[disk] = Held{nullptr, 1};
            return true;
        }
        const DWORD wait = ::WaitForSingleObject(m, 0);
        if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
            ::CloseHandle(m);
            return false;
        }
        held_[disk] = Held{m, 1};
        return true;
    }

    void Unlock(std::uint8_t disk) override {
        const std::lock_guard guard(mutex_);
        auto it = held_.find(disk);
        if (it == held_.end() || --it->second.depth != 0) {
            return;
        }
        if (it->second.mutex != nullptr) {
            ::ReleaseMutex(it->second.mutex);
            ::CloseHandle(it->second.mutex);
        }
        held_.erase(it);
    }

  private:
    struct Held {
        HANDLE mutex = nullptr;
        int depth = 0;
    };

    std::function<std::string(std::uint8_t)> pathOf_;
    std::mutex mutex_;
    std::map<std::uint8_t, Held> held_;
};

}  // namespace

std::unique_ptr<EnclosureLock> MakeFileEnclosureLock(
    std::function<std::string(std::uint8_t disk)> pathOf, bool /*createMissing*/) {
    return std::make_unique<MutexEnclosureLock>(std::move(pathOf));
}

}  // namespace raid
