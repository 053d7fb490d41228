#include <windows.h>
// ConvertStringSecurityDescriptorToSecurityDescriptorW, ConvertSidToStringSidW
#include <sddl.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "device/windows_text.h"
#include "notify/settings/private_file.h"

namespace raid {
namespace {

std::string SystemError(const std::string& what, const std::string& path, DWORD code) {
    return what + " " + path + ": " + WindowsErrorText(code);
}

bool IsLink(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

class Handle {
  public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() {
        if (h_ != INVALID_HANDLE_VALUE && h_ != nullptr) {
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

struct LocalFreeDeleter {
    void operator()(void* p) const { LocalFree(p); }
};

// The SID of the account this process runs as, in its text form ("S-1-5-...").
std::wstring OwnSidText(std::string& error) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        error = "cannot read the account of this process: " + WindowsErrorText(GetLastError());
        return {};
    }
    Handle tokenHandle(token);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(std::max<DWORD>(size, sizeof(TOKEN_USER)));
    if (!GetTokenInformation(token, TokenUser, buffer.data(), static_cast<DWORD>(buffer.size()),
                             &size)) {
        error = "cannot read the account of this process: " + WindowsErrorText(GetLastError());
        return {};
    }
    const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.data());
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(user->User.Sid, &text)) {
        error = "cannot read the account of this process: " + WindowsErrorText(GetLastError());
        return {};
    }
    std::unique_ptr<wchar_t, LocalFreeDeleter> owned(text);
    return text;
}

// Full control for the account that writes the file and for the
// administrators, nobody else, and nothing inherited from the folder (which
// may let every user of the machine read it): the file holds the mail
// password and the mails.
class PrivateSecurity {
  public:
    explicit PrivateSecurity(std::string& error) {
        const std::wstring sid = OwnSidText(error);
        if (sid.empty()) {
            return;
        }
        const std::wstring sddl = L"D:P(A;;FA;;;" + sid + L")(A;;FA;;;BA)";
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                                  &descriptor, nullptr)) {
            error = "cannot make the file's access list: " + WindowsErrorText(GetLastError());
            return;
        }
        descriptor_.reset(descriptor);
        attributes_.nLength = sizeof attributes_;
        attributes_.lpSecurityDescriptor = descriptor;
        attributes_.bInheritHandle = FALSE;
    }
    SECURITY_ATTRIBUTES* Get() { return descriptor_ ? &attributes_ : nullptr; }

  private:
    std::unique_ptr<void, LocalFreeDeleter> descriptor_;
    SECURITY_ATTRIBUTES attributes_{};
};

}  // namespace

PrivateFileLoad LoadPrivateFile(const std::string& path, std::size_t maxBytes) {
    PrivateFileLoad load;
    const std::wstring wide = Wide(path);
    if (IsLink(wide)) {
        load.error = path + " is a link and is not followed";
        return load;
    }
    Handle file(CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
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
    const std::wstring wide = Wide(path);
    if (IsLink(wide)) {
        return path + " is a link; it is not written through or replaced";
    }
    std::string error;
    PrivateSecurity security(error);
    if (!error.empty()) {
        return "cannot write " + path + " privately: " + error;
    }
    const std::string temp = path + ".new";
    const std::wstring wideTemp = Wide(temp);
    // A new file each time: one left by an earlier run keeps the access list
    // it was made with, so it is replaced rather than opened.
    DeleteFileW(wideTemp.c_str());
    Handle file(CreateFileW(wideTemp.c_str(), GENERIC_WRITE, 0, security.Get(), CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) {
        return SystemError("cannot create", temp, GetLastError());
    }
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
    // A rename keeps the file's own access list.
    if (error.empty() && !MoveFileExW(wideTemp.c_str(), wide.c_str(),
                                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = SystemError("cannot replace", path, GetLastError());
    }
    if (!error.empty()) {
        DeleteFileW(wideTemp.c_str());
    }
    return error;
}

std::string RemovePrivateFile(const std::string& path) {
    if (!DeleteFileW(Wide(path).c_str())) {
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
        if (GetFileAttributesW(Wide(aside).c_str()) != INVALID_FILE_ATTRIBUTES) {
            continue;
        }
        if (!MoveFileExW(Wide(path).c_str(), Wide(aside).c_str(), MOVEFILE_WRITE_THROUGH)) {
            error = SystemError("cannot move aside", path, GetLastError());
            return {};
        }
        return aside;
    }
    error = "cannot move aside " + path + ": too many earlier copies";
    return {};
}

}  // namespace raid
