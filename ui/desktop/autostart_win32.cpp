#include <windows.h>

#include "ui/desktop/autostart.h"

namespace raid::ui {
namespace {

constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kValueName = "RAID GUI";

}  // namespace

std::string AutostartLocation(const char* /*xdgConfigHome*/, const char* /*home*/) {
    return std::string("HKEY_CURRENT_USER\\") + kRunKey + "\\" + kValueName;
}

std::string HostAutostartLocation() {
    return AutostartLocation(nullptr, nullptr);
}

bool SetAutostart(const std::string& /*location*/, bool on, const std::string& program,
                  std::string& error) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        error = "the Run key cannot be opened";
        return false;
    }
    LONG result = ERROR_SUCCESS;
    if (on) {
        const std::string command = "\"" + program + "\"";
        result = RegSetValueExA(key, kValueName, 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(command.c_str()),
                                static_cast<DWORD>(command.size() + 1));
    } else {
        result = RegDeleteValueA(key, kValueName);
        if (result == ERROR_FILE_NOT_FOUND) {
            result = ERROR_SUCCESS;
        }
    }
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) {
        error = "the Run key cannot be written";
        return false;
    }
    return true;
}

std::string ThisProgram() {
    char path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return n == 0 || n >= MAX_PATH ? std::string("raidgui.exe") : std::string(path, n);
}

bool AutostartEnabled(const std::string& /*location*/) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return false;
    }
    const bool found =
        RegQueryValueExA(key, kValueName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return found;
}

}  // namespace raid::ui
