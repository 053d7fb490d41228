#pragma once

#include <map>
#include <string>

#include "notify/settings/settings_store.h"

namespace raid {

// HKEY_LOCAL_MACHINE\SOFTWARE\KT_RAID_GUI, the registry key of the program.
// Staged writes reach the registry value by value at Commit. Windows only.
class RegistrySettingsStore final : public SettingsStore {
  public:
    bool KeyExists() override;
    std::vector<std::string> ValueNames() override;
    std::optional<SettingValue> Read(const std::string& name) override;
    void Write(const std::string& name, const SettingValue& value) override;
    std::string Commit() override;

  private:
    std::map<std::string, SettingValue> staged_;
};

}  // namespace raid
