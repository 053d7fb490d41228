#include <windows.h>

#include <string>

#include "cli/stop_signal_hold.h"

namespace raid::cli {
namespace {

// A console handler routine gets no context of its own: it finds the hold's
// two events by names made of the process id.
std::wstring EventName(const wchar_t* what) {
    return L"Local\\raidcli-" + std::wstring(what) + L"-" + std::to_wstring(GetCurrentProcessId());
}

BOOL WINAPI HoldBack(DWORD event) {
    HANDLE arrived = OpenEventW(EVENT_MODIFY_STATE, FALSE, EventName(L"stop").c_str());
    if (arrived != nullptr) {
        SetEvent(arrived);
        CloseHandle(arrived);
    }
    // Ctrl+C and Ctrl+Break are simply swallowed. After a close, log-off or
    // shut-down event the system ends the process as soon as this returns,
    // so it returns only when the hold is over (the system's own time limit
    // for the handler may still end it; nothing here can prevent that).
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        HANDLE ended = OpenEventW(SYNCHRONIZE, FALSE, EventName(L"ended").c_str());
        if (ended != nullptr) {
            WaitForSingleObject(ended, INFINITE);
            CloseHandle(ended);
        }
    }
    return TRUE;
}

}  // namespace

StopSignalHold::StopSignalHold() {
    arrived_ = CreateEventW(nullptr, TRUE, FALSE, EventName(L"stop").c_str());
    ended_ = CreateEventW(nullptr, TRUE, FALSE, EventName(L"ended").c_str());
    held_ = arrived_ != nullptr && ended_ != nullptr && SetConsoleCtrlHandler(HoldBack, TRUE) != 0;
}

StopSignalHold::~StopSignalHold() {
    if (held_) {
        SetConsoleCtrlHandler(HoldBack, FALSE);
    }
    if (ended_ != nullptr) {
        SetEvent(static_cast<HANDLE>(ended_));
        CloseHandle(static_cast<HANDLE>(ended_));
    }
    if (arrived_ != nullptr) {
        CloseHandle(static_cast<HANDLE>(arrived_));
    }
}

bool StopSignalHold::TakeArrived() {
    if (arrived_ == nullptr) {
        return false;
    }
    const bool arrived = WaitForSingleObject(static_cast<HANDLE>(arrived_), 0) == WAIT_OBJECT_0;
    ResetEvent(static_cast<HANDLE>(arrived_));
    return arrived;
}

bool IgnoreBrokenPipes() {
    return true;  // Windows has no such signal: a write to a closed pipe fails
}

}  // namespace raid::cli
