#pragma once

// Windows only.
#include <windows.h>

#include <map>
#include <string>

#include "notify/settings/settings_store.h"

namespace raid {

// A registry key: its root, the root's name for messages, and its path.
struct RegistryKeyName {
    HKEY root = HKEY_LOCAL_MACHINE;
    std::string rootName = "HKEY_LOCAL_MACHINE";
    std::string path = "SOFTWARE\\KT_RAID_GUI";

    std::string Text() const { return rootName + "\\" + path; }
};

// The program's settings key, by default HKEY_LOCAL_MACHINE\SOFTWARE\KT_RAID_GUI
// as the 32-bit program keeps it: a 64-bit build looks in the 32-bit view of
// the registry too (KEY_WOW64_32KEY), so the settings saved before are found.
// Names and strings are UTF-8 here and UTF-16 in the registry. Staged writes
// reach the registry at Commit, all or nothing: a write that fails puts back
// the values written before it.
class RegistrySettingsStore final : public SettingsStore {
  public:
    explicit RegistrySettingsStore(RegistryKeyName key = {});

    bool KeyExists() override;
    std::vector<std::string> ValueNames() override;
    std::optional<SettingValue> Read(const std::string& name) override;
    void Write(const std::string& name, const SettingValue& value) override;
    std::string Commit() override;

  private:
    RegistryKeyName key_;
    std::map<std::string, SettingValue> staged_;
};

}  // namespace raid
