#include "notify/settings/settings_store.h"

namespace raid {

SettingValue SettingValue::String(std::string text) {
    SettingValue value;
    value.type = Type::String;
    value.text = std::move(text);
    return value;
}

SettingValue SettingValue::Integer(std::uint32_t number) {
    SettingValue value;
    value.type = Type::Integer;
    value.number = number;
    return value;
}

SettingValue SettingValue::Binary(std::vector<std::uint8_t> bytes) {
    SettingValue value;
    value.type = Type::Binary;
    value.bytes = std::move(bytes);
    return value;
}

std::optional<std::string> SettingsStore::ReadString(const std::string& name) {
    auto value = Read(name);
    if (!value || value->type != SettingValue::Type::String) {
        return std::nullopt;
    }
    return std::move(value->text);
}

std::optional<std::uint32_t> SettingsStore::ReadInteger(const std::string& name) {
    auto value = Read(name);
    if (!value || value->type != SettingValue::Type::Integer) {
        return std::nullopt;
    }
    return value->number;
}

std::optional<std::vector<std::uint8_t>> SettingsStore::ReadBinary(const std::string& name) {
    auto value = Read(name);
    if (!value || value->type != SettingValue::Type::Binary) {
        return std::nullopt;
    }
    return std::move(value->bytes);
}

}  // namespace raid
