#include <windows.h>

#include <algorithm>
#include <cwchar>

#include "device/windows_text.h"
#include "notify/hook/command_run.h"

namespace raid {
namespace {

constexpr DWORD kLookEveryMs = 50;
constexpr std::size_t kErrorBytesKept = 4096;

// One argument as the C runtime's command-line parser reads it back.
std::string Quoted(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) {
        return arg;
    }
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (const char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    return out + "\"";
}

std::vector<std::string> OwnEnvironment() {
    std::vector<std::string> own;
    LPWCH block = ::GetEnvironmentStringsW();
    if (block == nullptr) {
        return own;
    }
    for (const wchar_t* e = block; *e != L'\0'; e += std::wcslen(e) + 1) {
        if (*e != L'=') {  // the per-drive current folders
            own.push_back(Utf8(e));
        }
    }
    ::FreeEnvironmentStringsW(block);
    return own;
}

// Reads what the pipe holds now, never waiting for more: a program the
// command started may keep the pipe open long after the command ended.
void ReadWaiting(HANDLE pipe, std::string& text) {
    DWORD waiting = 0;
    while (::PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr) && waiting > 0) {
        char buffer[512];
        DWORD got = 0;
        if (!::ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) || got == 0) {
            break;
        }
        text.append(buffer, got);
        text.resize(std::min(text.size(), kErrorBytesKept));
    }
}

}  // namespace

CommandOutcome RunCommand(const std::string& program, const std::vector<std::string>& args,
                          const std::vector<std::string>& environment,
                          std::chrono::milliseconds limit, const std::atomic<bool>& stop) {
    CommandOutcome outcome;
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        outcome.startError = "no pipe for its error output";
        return outcome;
    }
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    HANDLE nul =
        ::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      &inherit, OPEN_EXISTING, 0, nullptr);
    std::string commandLine = Quoted(program);
    for (const std::string& arg : args) {
        commandLine += " " + Quoted(arg);
    }
    // The program keeps text in UTF-8; the child gets it as the system's
    // UTF-16, so a name or value outside the ANSI code page arrives intact.
    std::wstring wideCommandLine = Wide(commandLine);
    std::wstring block;
    for (const std::string& entry : MergedEnvironment(OwnEnvironment(), environment)) {
        block += Wide(entry);
        block += L'\0';
    }
    block += L'\0';
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = nul;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process{};
    // A job object ends whatever the command started when it is killed.
    HANDLE job = ::CreateJobObjectW(nullptr, nullptr);
    const BOOL made =
        ::CreateProcessW(Wide(program).c_str(), wideCommandLine.data(), nullptr, nullptr, TRUE,
                         CREATE_NO_WINDOW | CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT,
                         block.data(), nullptr, &startup, &process);
    const DWORD madeError = ::GetLastError();
    ::CloseHandle(writeEnd);
    if (nul != INVALID_HANDLE_VALUE) {
        ::CloseHandle(nul);
    }
    if (!made) {
        ::CloseHandle(readEnd);
        if (job != nullptr) {
            ::CloseHandle(job);
        }
        outcome.startError = program + ": " + WindowsErrorText(madeError);
        outcome.missing = madeError == ERROR_FILE_NOT_FOUND || madeError == ERROR_PATH_NOT_FOUND ||
                          madeError == ERROR_ACCESS_DENIED || madeError == ERROR_BAD_EXE_FORMAT;
        return outcome;
    }
    if (job != nullptr) {
        ::AssignProcessToJobObject(job, process.hProcess);
    }
    ::ResumeThread(process.hThread);
    ::CloseHandle(process.hThread);
    outcome.started = true;

    const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(limit.count());
    std::string errorText;
    bool ended = false;
    for (;;) {
        ReadWaiting(readEnd, errorText);
        if (::WaitForSingleObject(process.hProcess, kLookEveryMs) == WAIT_OBJECT_0) {
            // What it wrote in its last moments is in the pipe still.
            ReadWaiting(readEnd, errorText);
            ended = true;
            break;
        }
        if (::GetTickCount64() >= deadline || stop.load()) {
            outcome.timedOut = !stop.load();
            outcome.stopped = stop.load();
            if (job != nullptr) {
                ::TerminateJobObject(job, 1);
            }
            ::TerminateProcess(process.hProcess, 1);
            ::WaitForSingleObject(process.hProcess, INFINITE);
            break;
        }
    }
    if (ended) {
        DWORD code = 0;
        ::GetExitCodeProcess(process.hProcess, &code);
        outcome.exitCode = static_cast<int>(code);
    }
    ::CloseHandle(process.hProcess);
    ::CloseHandle(readEnd);
    if (job != nullptr) {
        ::CloseHandle(job);
    }
    outcome.errorLines = FirstLines(errorText, kHookErrorLines);
    return outcome;
}

}  // namespace raid
