#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <system_error>

#include "notify/delivery/outbox_lock.h"

namespace raid {

OutboxLock::~OutboxLock() {
    if (handle_ >= 0) {
        CloseHandle(reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(handle_)));
    }
}

bool OutboxLock::Acquire(const std::string& folder, std::string& error, const std::string& name) {
    if (handle_ >= 0) {
        return true;
    }
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::string path = (std::filesystem::path(folder) / name).string();
    // No sharing: a second run cannot open the file while this one holds it.
    const HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code != ERROR_SHARING_VIOLATION) {
            error = "cannot open " + path + ": error " + std::to_string(code);
        }
        return false;
    }
    handle_ = static_cast<long long>(reinterpret_cast<std::intptr_t>(h));
    return true;
}

}  // namespace raid
