#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "device/enclosure_lock.h"

namespace raid {
namespace {

class FlockEnclosureLock final : public NestedEnclosureLock {
  public:
    FlockEnclosureLock(std::function<std::string(std::uint8_t)> pathOf, bool createMissing)
        : pathOf_(std::move(pathOf)), createMissing_(createMissing) {}

    ~FlockEnclosureLock() override { ReleaseAll(); }

  private:
    std::optional<Token> Take(std::uint8_t disk) override {
        const std::string path = pathOf_ ? pathOf_(disk) : std::string();
        if (path.empty()) {
            return kNoLock;
        }
        const int flags = O_RDONLY | O_CLOEXEC | (createMissing_ ? O_CREAT : 0);
        int fd = -1;
        do {
            fd = ::open(path.c_str(), flags, 0644);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            if (createMissing_) {
                return std::nullopt;
            }
            return kNoLock;
        }
        int rc = 0;
        do {
            rc = ::flock(fd, LOCK_EX | LOCK_NB);
        } while (rc != 0 && errno == EINTR);
        if (rc != 0) {
            ::close(fd);
            return std::nullopt;  // EWOULDBLOCK: another process has it
        }
        return fd;
    }

    void Release(Token token) override {
        ::close(static_cast<int>(token));  // releases the flock
    }

    std::function<std::string(std::uint8_t)> pathOf_;
    bool createMissing_ = false;
};

}  // namespace

std::unique_ptr<EnclosureLock> MakeFileEnclosureLock(
    std::function<std::string(std::uint8_t disk)> pathOf, bool createMissing) {
    return std::make_unique<FlockEnclosureLock>(std::move(pathOf), createMissing);
}

}  // namespace raid
