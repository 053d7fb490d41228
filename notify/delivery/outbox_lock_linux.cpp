#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "notify/delivery/outbox_lock.h"

namespace raid {

OutboxLock::~OutboxLock() {
    if (handle_ >= 0) {
        ::close(static_cast<int>(handle_));
    }
}

bool OutboxLock::Acquire(const std::string& folder, std::string& error, const std::string& name) {
    if (handle_ >= 0) {
        return true;
    }
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::string path = (std::filesystem::path(folder) / name).string();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int saved = errno;
        ::close(fd);
        if (saved != EWOULDBLOCK) {
            error = "cannot lock " + path + ": " + std::strerror(saved);
        }
        return false;
    }
    handle_ = fd;
    path_ = path;
    return true;
}

void OutboxLock::RemoveAndRelease() {
    if (handle_ < 0) {
        return;
    }
    ::unlink(path_.c_str());
    ::close(static_cast<int>(handle_));
    handle_ = -1;
}

}  // namespace raid
