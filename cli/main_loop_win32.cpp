#include <windows.h>

#include <algorithm>

#include "cli/main_loop.h"
#include "cli/stop_signal_hold.h"
#include "device/windows_text.h"

namespace raid::cli {

// Ctrl+C, Ctrl+Break and the console's close are held back for the monitor's
// whole life and end it through the loop, so that the day's log is saved;
// the close event waits in its handler until the hold ends.
struct MainLoopWaiter::Waits {
    Waits() = default;
    Waits(const Waits&) = delete;
    Waits& operator=(const Waits&) = delete;
    ~Waits() {
        if (wake != nullptr) {
            CloseHandle(wake);
        }
    }
    StopSignalHold stops;
    HANDLE wake = nullptr;
};

MainLoopWaiter::MainLoopWaiter() : waits_(std::make_unique<Waits>()) {}

MainLoopWaiter::~MainLoopWaiter() = default;

bool MainLoopWaiter::Open(std::string& error) {
    if (!waits_->stops.held()) {
        error = "cannot take over Ctrl+C: " + WindowsErrorText(GetLastError());
        return false;
    }
    waits_->wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (waits_->wake == nullptr) {
        error = "cannot make the main loop's wake-up: " + WindowsErrorText(GetLastError());
        return false;
    }
    return true;
}

void MainLoopWaiter::Wake() {
    if (waits_->wake != nullptr) {
        SetEvent(waits_->wake);
    }
}

bool MainLoopWaiter::Wait(std::uint64_t timeoutMs, int /*extraFd*/) {
    const HANDLE handles[2] = {static_cast<HANDLE>(waits_->stops.ArrivedEvent()), waits_->wake};
    const DWORD timeout = static_cast<DWORD>(std::min<std::uint64_t>(timeoutMs, 60'000));
    const DWORD ready = WaitForMultipleObjects(2, handles, FALSE, timeout);
    return ready == WAIT_OBJECT_0 && waits_->stops.TakeArrived();
}

}  // namespace raid::cli
