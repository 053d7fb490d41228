#include <windows.h>

#include "ui/instance_lock.h"

namespace raid::ui {

InstanceLock::~InstanceLock() {
    if (handle_ != -1) {
        HANDLE mutex = reinterpret_cast<HANDLE>(handle_);
        ReleaseMutex(mutex);
        ::CloseHandle(mutex);
    }
}

// The path is not used: the session's named mutex "KV_GUI" is the lock.
InstanceLock::Outcome InstanceLock::Acquire(const std::string&, std::string& error) {
    if (handle_ != -1) {
        return Outcome::Acquired;
    }
    HANDLE mutex = CreateMutexA(nullptr, TRUE, "KV_GUI");
    if (mutex == nullptr) {
        error = "CreateMutexA failed with error " + std::to_string(GetLastError());
        return Outcome::Failed;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        return Outcome::HeldElsewhere;
    }
    handle_ = reinterpret_cast<std::intptr_t>(mutex);
    return Outcome::Acquired;
}

std::string RuntimeLockPath(const char*) {
    return "KV_GUI";
}

}  // namespace raid::ui
