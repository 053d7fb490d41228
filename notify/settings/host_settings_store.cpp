#include "notify/settings/host_settings_store.h"
#include "notify/settings/file_settings_store.h"
#include "notify/settings/memory_settings_store.h"

namespace raid {

HostSettingsStore OpenSettingsFile(const std::string& folder) {
    HostSettingsStore host;
    if (folder.empty()) {
        // Never a settings file in whatever folder the program started from.
        auto none = std::make_unique<MemorySettingsStore>();
        none->failCommit = kNoSettingsFolder;
        host.store = std::move(none);
        host.problem = kNoSettingsFolder;
        return host;
    }
    auto file = std::make_unique<FileSettingsStore>(folder);
    host.problem = file->Open();
    host.location = file->Path();
    host.templateDirectory = TemplateFolderText(folder);
    host.store = std::move(file);
    return host;
}

}  // namespace raid
