#pragma once

#include <map>
#include <string>

#include "notify/settings/settings_store.h"

namespace raid {

// A key held in memory: the settings of one test. `failCommit` makes the next
// commits fail as a full disk or a read-only folder would.
class MemorySettingsStore final : public SettingsStore {
  public:
    bool KeyExists() override { return exists_; }
    std::vector<std::string> ValueNames() override;
    std::optional<SettingValue> Read(const std::string& name) override;
    void Write(const std::string& name, const SettingValue& value) override;
    std::string Commit() override;

    // What has been committed.
    const std::map<std::string, SettingValue>& Committed() const { return values_; }
    std::string failCommit;
    int commits = 0;

  private:
    bool exists_ = false;
    bool staged_exists_ = false;
    std::map<std::string, SettingValue> values_;
    std::map<std::string, SettingValue> staged_;
};

}  // namespace raid
