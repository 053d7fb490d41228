#include <windows.h>

#include "device/windows_text.h"
#include "tests/support/child_process.h"

namespace raid::testing {
namespace {

void CloseIfOpen(HANDLE& h) {
    if (h != nullptr && h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
    }
    h = nullptr;
}

// One argument of a command line as the C runtime splits it again: quoted,
// with backslashes before a quote doubled.
std::wstring Quoted(const std::wstring& argument) {
    std::wstring out = L"\"";
    std::size_t slashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++slashes;
        } else if (c == L'"') {
            out.append(slashes + 1, L'\\');
            slashes = 0;
        } else {
            slashes = 0;
        }
        out += c;
    }
    out.append(slashes, L'\\');
    return out + L"\"";
}

}  // namespace

struct ChildProcess::Process {
    PROCESS_INFORMATION info{};
    HANDLE input = nullptr;
    HANDLE output = nullptr;
    int exitCode = -1;
    bool waited = false;
};

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments)
    : process_(std::make_unique<Process>()) {
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE childIn = nullptr;
    HANDLE childOut = nullptr;
    if (!CreatePipe(&childIn, &process_->input, &inherited, 0) ||
        !CreatePipe(&process_->output, &childOut, &inherited, 0)) {
        CloseIfOpen(childIn);
        CloseIfOpen(childOut);
        return;
    }
    // Our ends stay here.
    SetHandleInformation(process_->input, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(process_->output, HANDLE_FLAG_INHERIT, 0);
    const std::wstring path = Wide(program);
    std::wstring line = Quoted(path);
    for (const std::string& argument : arguments) {
        line += L" " + Quoted(Wide(argument));
    }
    STARTUPINFOW start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = childIn;
    start.hStdOutput = childOut;
    start.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    if (!CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &start, &process_->info)) {
        process_->info = PROCESS_INFORMATION{};
    }
    CloseIfOpen(childIn);
    CloseIfOpen(childOut);
}

ChildProcess::~ChildProcess() {
    CloseInput();
    Wait();
    CloseIfOpen(process_->output);
    CloseIfOpen(process_->info.hProcess);
    CloseIfOpen(process_->info.hThread);
}

bool ChildProcess::started() const {
    return process_->info.hProcess != nullptr;
}

int ChildProcess::ReadByte() {
    unsigned char byte = 0;
    DWORD got = 0;
    if (process_->output == nullptr || !ReadFile(process_->output, &byte, 1, &got, nullptr) ||
        got != 1) {
        return -1;
    }
    return byte;
}

void ChildProcess::CloseInput() {
    CloseIfOpen(process_->input);
}

int ChildProcess::Wait() {
    if (!started() || process_->waited) {
        return process_->exitCode;
    }
    DWORD code = 0;
    process_->waited = true;
    if (WaitForSingleObject(process_->info.hProcess, INFINITE) == WAIT_OBJECT_0 &&
        GetExitCodeProcess(process_->info.hProcess, &code)) {
        process_->exitCode = static_cast<int>(code);
    }
    return process_->exitCode;
}

std::string BesideTests(const std::string& fileName) {
    std::wstring self(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
        if (length == 0) {
            return fileName;
        }
        if (length < self.size()) {
            self.resize(length);
            break;
        }
        self.resize(self.size() * 2);
    }
    const std::size_t slash = self.find_last_of(L"\\/");
    return Utf8(self.substr(0, slash + 1)) + fileName;
}

}  // namespace raid::testing
