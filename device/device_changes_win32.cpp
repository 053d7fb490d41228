#include "device/device_changes_win32.h"

#include <windows.h>

#include <dbt.h>

#include <cstdio>
#include <utility>

#include "device/windows_text.h"

namespace raid {
namespace {

constexpr wchar_t kWindowClass[] = L"RAIDGUI_DeviceChanges";
// Asks the window's thread to close its window and end.
constexpr UINT kStopMessage = WM_APP + 1;

// GUID_DEVINTERFACE_USB_DEVICE, the class the design registers for; disks
// and volumes too, so that a disk behind a hub or a new volume on an
// enclosure already plugged in is noticed as well.
constexpr GUID kUsbDevice = {
    0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};
constexpr GUID kDisk = {
    0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};
constexpr GUID kVolume = {
    0x53F5630D, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_NCCREATE: {
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(create->lpCreateParams));
            break;
        }
        case WM_DEVICECHANGE:
            // Whatever its parameters: each one restarts the countdown; 0 never
            // refuses a query to remove a device.
            if (auto* self = reinterpret_cast<Win32DeviceChanges*>(
                    GetWindowLongPtrW(window, GWLP_USERDATA))) {
                self->Arrived();
            }
            return 0;
        case kStopMessage:
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

std::unique_ptr<Win32DeviceChanges> Win32DeviceChanges::Open(std::string& error) {
    std::unique_ptr<Win32DeviceChanges> changes(new Win32DeviceChanges());
    std::promise<std::string> ready;
    std::future<std::string> outcome = ready.get_future();
    changes->thread_ = std::thread([self = changes.get(), &ready] { self->Run(ready); });
    error = outcome.get();
    if (!error.empty()) {
        changes->thread_.join();
        return nullptr;
    }
    return changes;
}

void Win32DeviceChanges::Run(std::promise<std::string>& ready) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    // A second watcher in the process finds the class made by the first.
    if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        ready.set_value("cannot register a window class: " + WindowsErrorText(GetLastError()));
        return;
    }
    // Message-only: never shown, but it receives what is sent to it.
    const HWND window =
        CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, this);
    if (window == nullptr) {
        ready.set_value("cannot make a window for device notifications: " +
                        WindowsErrorText(GetLastError()));
        return;
    }
    HDEVNOTIFY registered[3] = {};
    const GUID* classes[3] = {&kUsbDevice, &kDisk, &kVolume};
    for (int i = 0; i < 3; ++i) {
        DEV_BROADCAST_DEVICEINTERFACE_W filter{};
        filter.dbcc_size = sizeof filter;
        filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        filter.dbcc_classguid = *classes[i];
        registered[i] = RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
        if (registered[i] == nullptr) {
            const std::string reason = WindowsErrorText(GetLastError());
            for (int j = 0; j < i; ++j) {
                UnregisterDeviceNotification(registered[j]);
            }
            DestroyWindow(window);
            ready.set_value("cannot register for device notifications: " + reason);
            return;
        }
    }
    window_ = window;
    ready.set_value({});

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    for (HDEVNOTIFY handle : registered) {
        UnregisterDeviceNotification(handle);
    }
}

Win32DeviceChanges::~Win32DeviceChanges() {
    if (window_ != nullptr) {
        PostMessageW(static_cast<HWND>(window_), kStopMessage, 0, 0);
    }
    if (thread_.joinable()) {
        thread_.join();
    }
}

void Win32DeviceChanges::Arrived() {
    events_.fetch_add(1);
    const std::lock_guard guard(wakeMutex_);
    if (wake_) {
        wake_();
    }
}

int Win32DeviceChanges::TakeEvents() {
    return events_.exchange(0);
}

void Win32DeviceChanges::SetArrivalWake(std::function<void()> wake) {
    const std::lock_guard guard(wakeMutex_);
    wake_ = std::move(wake);
}

std::unique_ptr<DeviceChanges> WatchDeviceChangesOrNothing(const char* program) {
    std::string error;
    if (auto changes = Win32DeviceChanges::Open(error)) {
        return changes;
    }
    std::fprintf(stderr, "%s: device changes are not watched: %s\n", program, error.c_str());
    return std::make_unique<NoDeviceChanges>();
}

}  // namespace raid
