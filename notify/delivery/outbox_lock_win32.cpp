#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <system_error>

#include "device/windows_text.h"
#include "notify/delivery/outbox_lock.h"

namespace raid {
namespace {

HANDLE AsHandle(long long handle) {
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(handle));
}

}  // namespace

OutboxLock::~OutboxLock() {
    if (handle_ >= 0) {
        CloseHandle(AsHandle(handle_));
    }
}

bool OutboxLock::Acquire(const std::string& folder, std::string& error, const std::string& name) {
    if (handle_ >= 0) {
        return true;
    }
    std::error_code ec;
    const std::filesystem::path folderPath(Wide(folder));
    std::filesystem::create_directories(folderPath, ec);
    const std::wstring path = (folderPath / Wide(name)).wstring();
    // No sharing: a second run cannot open the file while this one holds it.
    // DELETE lets the holder remove the file it holds (RemoveAndRelease).
    const HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code != ERROR_SHARING_VIOLATION) {
            error = "cannot open " + Utf8(path) + ": " + WindowsErrorText(code);
        }
        return false;
    }
    handle_ = static_cast<long long>(reinterpret_cast<std::intptr_t>(h));
    path_ = Utf8(path);
    return true;
}

void OutboxLock::RemoveAndRelease() {
    if (handle_ < 0) {
        return;
    }
    // A file held without sharing cannot be deleted by name, not even by its
    // holder: mark the open file for deletion, which happens at the close.
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    SetFileInformationByHandle(AsHandle(handle_), FileDispositionInfo, &disposition,
                               sizeof disposition);
    CloseHandle(AsHandle(handle_));
    handle_ = -1;
}

}  // namespace raid
