#include "notify/settings/file_settings_store.h"
#include "notify/settings/host_settings_store.h"
#include "notify/settings/settings_folder.h"

namespace raid {

HostSettingsStore OpenHostSettingsStore(const std::string& folder) {
    auto file = std::make_unique<FileSettingsStore>(folder);
    HostSettingsStore host;
    host.problem = file->Open();
    host.location = file->Path();
    host.templateDirectory = TemplateFolderText(folder);
    host.store = std::move(file);
    return host;
}

}  // namespace raid
