#include <windows.h>

#include <algorithm>

#include "notify/settings/private_file.h"

namespace raid {
namespace {

std::string SystemError(const std::string& what, const std::string& path, DWORD code) {
    char text[256] = {};
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, text, sizeof text, nullptr);
    return what + " " + path + ": " + (n > 0 ? std::string(text, n) : std::to_string(code));
}

bool IsLink(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

class Handle {
  public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() {
        if (h_ != INVALID_HANDLE_VALUE) {
            CloseHandle(h_);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE Get() const { return h_; }
    bool Close() {
        const bool ok = CloseHandle(h_) != 0;
        h_ = INVALID_HANDLE_VALUE;
        return ok;
    }

  private:
    HANDLE h_;
};

}  // namespace

PrivateFileLoad LoadPrivateFile(const std::string& path, std::size_t maxBytes) {
    PrivateFileLoad load;
    if (IsLink(path)) {
        load.error = path + " is a link and is not followed";
        return load;
    }
    Handle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
            load.outcome = PrivateFileLoad::Outcome::Missing;
        } else {
            load.error = SystemError("cannot open", path, code);
        }
        return load;
    }
    std::string data;
    char buffer[8192];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr)) {
            load.error = SystemError("cannot read", path, GetLastError());
            return load;
        }
        if (got == 0) {
            break;
        }
        if (data.size() + got > maxBytes) {
            load.error = path + " is larger than " + std::to_string(maxBytes) + " bytes";
            return load;
        }
        data.append(buffer, got);
    }
    load.data = std::move(data);
    load.outcome = PrivateFileLoad::Outcome::Loaded;
    return load;
}

std::string SavePrivateFile(const std::string& path, std::string_view data) {
    if (IsLink(path)) {
        return path + " is a link; it is not written through or replaced";
    }
    const std::string temp = path + ".new";
    Handle file(CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) {
        return SystemError("cannot create", temp, GetLastError());
    }
    std::string error;
    std::string_view rest = data;
    while (!rest.empty() && error.empty()) {
        DWORD put = 0;
        const DWORD chunk = static_cast<DWORD>((std::min<std::size_t>)(rest.size(), 1 << 20));
        if (!WriteFile(file.Get(), rest.data(), chunk, &put, nullptr) || put == 0) {
            error = SystemError("cannot write", temp, GetLastError());
        }
        rest.remove_prefix(put);
    }
    if (error.empty() && !FlushFileBuffers(file.Get())) {
        error = SystemError("cannot flush", temp, GetLastError());
    }
    if (!file.Close() && error.empty()) {
        error = SystemError("cannot close", temp, GetLastError());
    }
    if (error.empty() && !MoveFileExA(temp.c_str(), path.c_str(),
                                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = SystemError("cannot replace", path, GetLastError());
    }
    if (!error.empty()) {
        DeleteFileA(temp.c_str());
    }
    return error;
}

std::string RemovePrivateFile(const std::string& path) {
    if (!DeleteFileA(path.c_str())) {
        const DWORD code = GetLastError();
        if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND) {
            return SystemError("cannot remove", path, code);
        }
    }
    return {};
}

std::string MoveAside(const std::string& path, std::string& error) {
    for (int n = 0; n < 100; ++n) {
        const std::string aside =
            path + ".unreadable" + (n == 0 ? std::string() : "." + std::to_string(n));
        if (GetFileAttributesA(aside.c_str()) != INVALID_FILE_ATTRIBUTES) {
            continue;
        }
        if (!MoveFileExA(path.c_str(), aside.c_str(), MOVEFILE_WRITE_THROUGH)) {
            error = SystemError("cannot move aside", path, GetLastError());
            return {};
        }
        return aside;
    }
    error = "cannot move aside " + path + ": too many earlier copies";
    return {};
}

}  // namespace raid
