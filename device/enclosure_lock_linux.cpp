#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>

#include "device/enclosure_lock.h"

namespace raid {
namespace {

class FlockEnclosureLock final : public EnclosureLock {
  public:
    FlockEnclosureLock(std::function<std::string(std::uint8_t)> pathOf, bool createMissing)
        : pathOf_(std::move(pathOf)), createMissing_(createMissing) {}

    ~FlockEnclosureLock() override {
        for (auto& [disk, held] : held_) {
            if (held.fd >= 0) {
                ::close(held.fd);  // releases the flock
            }
        }
    }

    bool TryLock(std::uint8_t disk) override {
        const std::lock_guard guard(mutex_);
        auto it = held_.find(disk);
        if (it != held_.end()) {
            ++it->second.depth;
            return true;
        }
        const std::string path = pathOf_ ? pathOf_(disk) : std::string();
        int fd = -1;
        if (!path.empty()) {
            const int flags = O_RDONLY | O_CLOEXEC | (createMissing_ ? O_CREAT : 0);
            do {
                fd = ::open(path.c_str(), flags, 0644);
            } while (fd < 0 && errno == EINTR);
        }
        if (fd >= 0) {
            int rc = 0;
            do {
                rc = ::flock(fd, LOCK_EX | LOCK_NB);
            } while (rc != 0 && errno == EINTR);
            if (rc != 0) {
                ::close(fd);
                return false;  // EWOULDBLOCK: another process has it
            }
        }
        held_[disk] = Held{fd, 1};
        return true;
    }

    void Unlock(std::uint8_t disk) override {
        const std::lock_guard guard(mutex_);
        auto it = held_.find(disk);
        if (it == held_.end()) {
            return;
        }
        if (--it->second.depth == 0) {
            if (it->second.fd >= 0) {
                ::close(it->second.fd);
            }
            held_.erase(it);
        }
    }

  private:
    struct Held {
        int fd = -1;
        int depth = 0;
    };

    std::function<std::string(std::uint8_t)> pathOf_;
    bool createMissing_ = false;
    std::mutex mutex_;
    std::map<std::uint8_t, Held> held_;
};

}  // namespace

std::unique_ptr<EnclosureLock> MakeFileEnclosureLock(
    std::function<std::string(std::uint8_t disk)> pathOf, bool createMissing) {
    return std::make_unique<FlockEnclosureLock>(std::move(pathOf), createMissing);
}

}  // namespace raid
