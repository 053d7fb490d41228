#include <cstdlib>

#include "device/windows_text.h"
#include "notify/settings/settings_folder.h"

namespace raid {

SettingsPlace HostSettingsPlace() {
    // The wide environment: a folder name outside the ANSI code page stays
    // whole, and the program keeps it in UTF-8.
    const wchar_t* named = _wgetenv(L"RAIDGUI_CONFIG_DIR");
    if (named != nullptr && named[0] != L'\0') {
        return {.folder = Utf8(named), .registry = false};
    }
    return {.folder = {}, .registry = true};
}

}  // namespace raid
