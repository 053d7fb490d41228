#pragma once

#include <cstdint>
#include <string>

namespace raid::ui {

// One running window per user session: a named lock ("KV_GUI") that the
// first process holds until it ends. The operating system drops it with the
// process, so a crashed window never blocks the next start.
class InstanceLock {
  public:
    enum class Outcome { Acquired, HeldElsewhere, Failed };

    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // `path` names the lock (see RuntimeLockPath). On Failed, `error` says
    // why; the caller may run without the guard.
    Outcome Acquire(const std::string& path, std::string& error);

  private:
    std::intptr_t handle_ = -1;  // a descriptor, or the mutex on Windows
};

// The lock's path: "<XDG_RUNTIME_DIR>/KV_GUI.lock" when the session has a
// runtime folder (`xdgRuntimeDir`, may be null or empty); otherwise a
// per-user name in /tmp, so that two users on one machine do not block each
// other.
std::string RuntimeLockPath(const char* xdgRuntimeDir);

}  // namespace raid::ui
