#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "ui/instance_lock.h"

namespace raid::ui {

InstanceLock::~InstanceLock() {
    if (handle_ >= 0) {
        // Closing the descriptor releases the lock.
        ::close(static_cast<int>(handle_));
    }
}

InstanceLock::Outcome InstanceLock::Acquire(const std::string& path, std::string& error) {
    if (handle_ >= 0) {
        return Outcome::Acquired;
    }
    // O_NOFOLLOW: in /tmp another user could have planted a link to a file of ours.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return Outcome::Failed;
    }
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int saved = errno;
        ::close(fd);
        if (saved == EWOULDBLOCK) {
            return Outcome::HeldElsewhere;
        }
        error = "cannot lock " + path + ": " + std::strerror(saved);
        return Outcome::Failed;
    }
    handle_ = fd;
    return Outcome::Acquired;
}

std::string RuntimeLockPath(const char* xdgRuntimeDir) {
    if (xdgRuntimeDir != nullptr && xdgRuntimeDir[0] != '\0') {
        return std::string(xdgRuntimeDir) + "/KV_GUI.lock";
    }
    return "/tmp/KV_GUI-" + std::to_string(::getuid()) + ".lock";
}

}  // namespace raid::ui
