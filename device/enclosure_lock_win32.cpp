#include "device/enclosure_lock_win32.h"

#include <windows.h>

#include <sddl.h>

#include <map>
#include <mutex>
#include <utility>

#include "device/windows_text.h"

namespace raid {
namespace {

// LockFileEx on one byte of a lock file: released when the handle closes,
// also when the process dies, and it belongs to the handle, not to a thread.
class LockFileEnclosureLock final : public NestedEnclosureLock {
  public:
    LockFileEnclosureLock(std::function<std::string(std::uint8_t)> pathOf, bool createMissing)
        : pathOf_(std::move(pathOf)), createMissing_(createMissing) {}

    ~LockFileEnclosureLock() override { ReleaseAll(); }

  private:
    std::optional<Token> Take(std::uint8_t disk) override {
        const std::string path = pathOf_ ? pathOf_(disk) : std::string();
        if (path.empty()) {
            return kNoLock;
        }
        const HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, createMissing_ ? OPEN_ALWAYS : OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            if (createMissing_) {
                return std::nullopt;
            }
            return kNoLock;
        }
        OVERLAPPED at{};
        if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
            CloseHandle(file);
            return std::nullopt;  // ERROR_LOCK_VIOLATION: another process has it
        }
        return reinterpret_cast<Token>(file);
    }

    void Release(Token token) override {
        const HANDLE file = reinterpret_cast<HANDLE>(token);
        OVERLAPPED at{};
        // Closing alone lets go too, but only once the system gets to it.
        UnlockFileEx(file, 0, 1, 0, &at);
        CloseHandle(file);
    }

    std::function<std::string(std::uint8_t)> pathOf_;
    bool createMissing_ = false;
};

// Waiting on and releasing a mutex: all a process of ours needs of one made
// by another, whatever account that one runs under.
constexpr DWORD kMutexUse = SYNCHRONIZE | MUTEX_MODIFY_STATE;

// Made so that a service and a user's window can share it: the system and
// administrators fully, everyone else to wait and release.
class SharedMutexSecurity {
  public:
    SharedMutexSecurity() {
        if (ConvertStringSecurityDescriptorToSecurityDescriptorW(
                L"D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x00100001;;;WD)", SDDL_REVISION_1, &descriptor_,
                nullptr)) {
            attributes_.nLength = sizeof attributes_;
            attributes_.lpSecurityDescriptor = descriptor_;
            attributes_.bInheritHandle = FALSE;
        }
    }
    ~SharedMutexSecurity() {
        if (descriptor_ != nullptr) {
            LocalFree(descriptor_);
        }
    }
    SharedMutexSecurity(const SharedMutexSecurity&) = delete;
    SharedMutexSecurity& operator=(const SharedMutexSecurity&) = delete;

    // Null (the default security) when the descriptor could not be made.
    SECURITY_ATTRIBUTES* attributes() { return descriptor_ != nullptr ? &attributes_ : nullptr; }

  private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    SECURITY_ATTRIBUTES attributes_{};
};

class MutexEnclosureLock final : public EnclosureLock {
  public:
    explicit MutexEnclosureLock(std::function<std::string(std::uint8_t)> nameOf)
        : nameOf_(std::move(nameOf)) {}

    ~MutexEnclosureLock() override {
        const std::lock_guard guard(mutex_);
        for (const auto& [key, held] : held_) {
            // Only the owning thread can release; another one's mutex is let
            // go (abandoned) when that thread ends.
            if (key.first == GetCurrentThreadId()) {
                ReleaseMutex(held.mutex);
            }
            CloseHandle(held.mutex);
        }
    }

    bool TryLock(std::uint8_t disk) override {
        const std::lock_guard guard(mutex_);
        const Key key{GetCurrentThreadId(), disk};
        if (auto it = held_.find(key); it != held_.end()) {
            ++it->second.depth;
            return true;
        }
        SharedMutexSecurity security;
        const HANDLE m =
            CreateMutexExW(security.attributes(), Wide(nameOf_(disk)).c_str(), 0, kMutexUse);
        if (m == nullptr) {
            return false;
        }
        // Abandoned: its holder died half way; the enclosure is ours now and
        // the next command starts a fresh sequence.
        const DWORD wait = WaitForSingleObject(m, 0);
        if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
            CloseHandle(m);
            return false;
        }
        held_[key] = Held{m, 1};
        return true;
    }

    void Unlock(std::uint8_t disk) override {
        const std::lock_guard guard(mutex_);
        auto it = held_.find(Key{GetCurrentThreadId(), disk});
        if (it == held_.end() || --it->second.depth != 0) {
            return;
        }
        ReleaseMutex(it->second.mutex);
        CloseHandle(it->second.mutex);
        held_.erase(it);
    }

  private:
    using Key = std::pair<DWORD, std::uint8_t>;
    struct Held {
        HANDLE mutex = nullptr;
        int depth = 0;
    };

    std::function<std::string(std::uint8_t)> nameOf_;
    std::mutex mutex_;
    std::map<Key, Held> held_;
};

}  // namespace

std::string EnclosureMutexName(std::uint8_t disk) {
    return "Global\\RAIDGUI_PhysicalDrive" + std::to_string(static_cast<unsigned>(disk));
}

std::unique_ptr<EnclosureLock> MakeMutexEnclosureLock(
    std::function<std::string(std::uint8_t disk)> nameOf) {
    return std::make_unique<MutexEnclosureLock>(std::move(nameOf));
}

std::unique_ptr<EnclosureLock> MakeFileEnclosureLock(
    std::function<std::string(std::uint8_t disk)> pathOf, bool createMissing) {
    return std::make_unique<LockFileEnclosureLock>(std::move(pathOf), createMissing);
}

}  // namespace raid
