#include "notify/settings/host_settings_store.h"

namespace raid {

HostSettingsStore OpenHostSettingsStore(const SettingsPlace& place) {
    return OpenSettingsFile(place.folder);
}

}  // namespace raid
