#pragma once

// Windows only (the *_win32.cpp files).
#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "device/device_changes.h"

namespace raid {

// Device notifications from Windows: WM_DEVICECHANGE on a message-only
// window of its own thread, registered for the arrival and removal of USB
// devices, disks and volumes. Every message counts as one notification.
class Win32DeviceChanges final : public DeviceChanges {
  public:
    // nullptr with `error` filled when the window cannot be made or the
    // notifications cannot be registered.
    static std::unique_ptr<Win32DeviceChanges> Open(std::string& error);
    ~Win32DeviceChanges() override;
    Win32DeviceChanges(const Win32DeviceChanges&) = delete;
    Win32DeviceChanges& operator=(const Win32DeviceChanges&) = delete;

    int TakeEvents() override;
    void SetArrivalWake(std::function<void()> wake) override;

    // The window the notifications go to (an HWND).
    void* window() const { return window_; }
    // Its window's thread, for every notification.
    void Arrived();

  private:
    Win32DeviceChanges() = default;
    // The window's thread: makes the window, hands `ready` its error text
    // (empty when watching), then serves messages until the window closes.
    void Run(std::promise<std::string>& ready);

    std::thread thread_;
    void* window_ = nullptr;
    std::atomic<int> events_{0};
    std::mutex wakeMutex_;
    std::function<void()> wake_;
};

// The host's device notifications; when they cannot be watched, says so on
// standard error (as `program`) and watches nothing.
std::unique_ptr<DeviceChanges> WatchDeviceChangesOrNothing(const char* program);

}  // namespace raid
