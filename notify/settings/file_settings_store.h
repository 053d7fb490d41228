#pragma once

#include <map>
#include <string>

#include "notify/settings/settings_store.h"

namespace raid {

// The settings key as one JSON file ("KT_RAID_GUI.json") in a folder. Every
// value keeps its type: {"Port": {"string": "25"}, "EMailSend": {"dword": 0},
// "ProductID": {"binary": "5AA7..."}}.
class FileSettingsStore final : public SettingsStore {
  public:
    explicit FileSettingsStore(std::string folder);

    // Reads the file. A missing file is a key that does not exist yet. A file
    // that cannot be understood is moved aside (never overwritten) and the
    // store starts empty; the returned text then says what happened and where.
    std::string Open();

    bool KeyExists() override { return exists_; }
    std::vector<std::string> ValueNames() override;
    std::optional<SettingValue> Read(const std::string& name) override;
    void Write(const std::string& name, const SettingValue& value) override;
    std::string Commit() override;

    const std::string& Path() const { return path_; }
    const std::string& Folder() const { return folder_; }

  private:
    const std::map<std::string, SettingValue>& Current() const {
        return staged_exists_ ? staged_ : values_;
    }

    std::string folder_;
    std::string path_;
    bool exists_ = false;
    // Set when the file could be neither read nor moved aside: saving would
    // destroy it.
    std::string blocked_;
    std::map<std::string, SettingValue> values_;
    std::map<std::string, SettingValue> staged_;
    bool staged_exists_ = false;
};

// The text of a settings file and back; Parse returns an error text (empty on
// success). Exposed for the tests of the format.
std::string FormatSettings(const std::map<std::string, SettingValue>& values);
std::string ParseSettings(const std::string& text, std::map<std::string, SettingValue>& values);

}  // namespace raid
