#include <windows.h>

#include <array>

#include "device/windows_text.h"
#include "notify/settings/host_settings_store.h"
#include "notify/settings/registry_settings_store.h"

namespace raid {

HostSettingsStore OpenHostSettingsStore(const SettingsPlace& place) {
    if (!place.registry) {
        return OpenSettingsFile(place.folder);
    }
    HostSettingsStore host;
    const RegistryKeyName key;
    host.store = std::make_unique<RegistrySettingsStore>(key);
    host.location = key.Text();
    // The template folder of a key not saved yet: the system folder, with the
    // program's buffer of 128 characters.
    std::array<wchar_t, 128> system{};
    const UINT n = GetSystemDirectoryW(system.data(), static_cast<UINT>(system.size()));
    host.templateDirectory = n > 0 && n < system.size()
                                 ? Utf8(std::wstring_view(system.data(), n)) + "\\"
                                 : std::string();
    return host;
}

}  // namespace raid
