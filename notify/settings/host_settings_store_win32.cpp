#include <windows.h>

#include <array>

#include "notify/settings/host_settings_store.h"
#include "notify/settings/registry_settings_store.h"

namespace raid {

HostSettingsStore OpenHostSettingsStore(const std::string& /*folder*/) {
    HostSettingsStore host;
    host.store = std::make_unique<RegistrySettingsStore>();
    host.location = "HKEY_LOCAL_MACHINE\\SOFTWARE\\KT_RAID_GUI";
    std::array<char, 128> system{};
    const UINT n = GetSystemDirectoryA(system.data(), static_cast<UINT>(system.size()));
    host.templateDirectory =
        n > 0 && n < system.size() ? std::string(system.data(), n) + "\\" : std::string();
    return host;
}

}  // namespace raid
