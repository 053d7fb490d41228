#include "notify/settings/memory_settings_store.h"

namespace raid {

std::vector<std::string> MemorySettingsStore::ValueNames() {
    std::vector<std::string> names;
    for (const auto& [name, value] : staged_exists_ ? staged_ : values_) {
        names.push_back(name);
    }
    return names;
}

std::optional<SettingValue> MemorySettingsStore::Read(const std::string& name) {
    const auto& values = staged_exists_ ? staged_ : values_;
    const auto it = values.find(name);
    if (it == values.end()) {
        return std::nullopt;
    }
    return it->second;
}

void MemorySettingsStore::Write(const std::string& name, const SettingValue& value) {
    if (!staged_exists_) {
        staged_ = values_;
        staged_exists_ = true;
    }
    staged_[name] = value;
}

std::string MemorySettingsStore::Commit() {
    ++commits;
    if (!staged_exists_) {
        return {};
    }
    if (!failCommit.empty()) {
        staged_.clear();
        staged_exists_ = false;
        return failCommit;
    }
    values_ = std::move(staged_);
    staged_.clear();
    staged_exists_ = false;
    exists_ = true;
    return {};
}

}  // namespace raid
