#include "notify/settings/file_settings_store.h"

#include <filesystem>
#include <nlohmann/json.hpp>
#include <system_error>

#include "device/utf8_path.h"
#include "notify/settings/private_file.h"

namespace raid {
namespace {

constexpr const char* kFileName = "KT_RAID_GUI.json";
constexpr std::size_t kMaxFileBytes = 1 << 20;

std::string HexText(const std::vector<std::uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (const std::uint8_t b : bytes) {
        text += kDigits[b >> 4];
        text += kDigits[b & 0x0F];
    }
    return text;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

bool ParseHex(const std::string& text, std::vector<std::uint8_t>& bytes) {
    if (text.size() % 2 != 0) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int hi = HexDigit(text[i]);
        const int lo = HexDigit(text[i + 1]);
        if (hi < 0 || lo < 0) {
            return false;
        }
        bytes.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
    }
    return true;
}

}  // namespace

std::string FormatSettings(const std::map<std::string, SettingValue>& values) {
    nlohmann::ordered_json root = nlohmann::ordered_json::object();
    for (const auto& [name, value] : values) {
        switch (value.type) {
            case SettingValue::Type::String:
                root[name] = {{"string", value.text}};
                break;
            case SettingValue::Type::Integer:
                root[name] = {{"dword", value.number}};
                break;
            case SettingValue::Type::Binary:
                root[name] = {{"binary", HexText(value.bytes)}};
                break;
        }
    }
    // Texts that are not UTF-8 must not make the save fail.
    return root.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

std::string ParseSettings(const std::string& text, std::map<std::string, SettingValue>& values) {
    const nlohmann::json root = nlohmann::json::parse(text, nullptr, false);
    if (root.is_discarded()) {
        return "it is not JSON";
    }
    if (!root.is_object()) {
        return "it is not a JSON object";
    }
    std::map<std::string, SettingValue> read;
    for (const auto& [name, entry] : root.items()) {
        if (!entry.is_object() || entry.size() != 1) {
            return "value \"" + name + "\" is not one typed value";
        }
        const std::string type = entry.begin().key();
        const nlohmann::json& data = entry.begin().value();
        if (type == "string" && data.is_string()) {
            read[name] = SettingValue::String(data.get<std::string>());
        } else if (type == "dword" && data.is_number_unsigned() &&
                   data.get<std::uint64_t>() <= 0xFFFFFFFFu) {
            read[name] =
                SettingValue::Integer(static_cast<std::uint32_t>(data.get<std::uint64_t>()));
        } else if (type == "binary" && data.is_string()) {
            std::vector<std::uint8_t> bytes;
            if (!ParseHex(data.get<std::string>(), bytes)) {
                return "value \"" + name + "\" is not hexadecimal";
            }
            read[name] = SettingValue::Binary(std::move(bytes));
        } else {
            return "value \"" + name + "\" has no known type";
        }
    }
    values = std::move(read);
    return {};
}

FileSettingsStore::FileSettingsStore(std::string folder)
    : folder_(std::move(folder)), path_(Utf8FromPath(PathFromUtf8(folder_) / kFileName)) {}

std::string FileSettingsStore::Open() {
    values_.clear();
    exists_ = false;
    blocked_.clear();
    PrivateFileLoad load = LoadPrivateFile(path_, kMaxFileBytes);
    if (load.outcome == PrivateFileLoad::Outcome::Missing) {
        return {};
    }
    std::string why = load.error;
    if (load.outcome == PrivateFileLoad::Outcome::Loaded) {
        why = ParseSettings(load.data, values_);
        if (why.empty()) {
            exists_ = true;
            return {};
        }
    }
    values_.clear();
    std::string moveError;
    const std::string aside = MoveAside(path_, moveError);
    if (aside.empty()) {
        blocked_ = "The settings file " + path_ + " could not be read (" + why +
                   ") nor moved aside (" + moveError + ")";
        return blocked_ + "; it is left as it is and nothing is saved. Mail is off.";
    }
    return "The settings file " + path_ + " could not be read (" + why + "); it was moved to " +
           aside + ". Mail is off until the settings are saved again.";
}

std::vector<std::string> FileSettingsStore::ValueNames() {
    std::vector<std::string> names;
    for (const auto& [name, value] : Current()) {
        names.push_back(name);
    }
    return names;
}

std::optional<SettingValue> FileSettingsStore::Read(const std::string& name) {
    const auto& values = Current();
    const auto it = values.find(name);
    if (it == values.end()) {
        return std::nullopt;
    }
    return it->second;
}

void FileSettingsStore::Write(const std::string& name, const SettingValue& value) {
    if (!staged_exists_) {
        staged_ = values_;
        staged_exists_ = true;
    }
    staged_[name] = value;
}

std::string FileSettingsStore::Commit() {
    if (!staged_exists_) {
        return {};
    }
    std::map<std::string, SettingValue> staged = std::move(staged_);
    staged_.clear();
    staged_exists_ = false;
    if (!blocked_.empty()) {
        return blocked_;
    }
    std::error_code ignored;
    std::filesystem::create_directories(PathFromUtf8(folder_), ignored);
    const std::string error = SavePrivateFile(path_, FormatSettings(staged));
    if (!error.empty()) {
        return "The settings were not saved: " + error;
    }
    values_ = std::move(staged);
    exists_ = true;
    return {};
}

}  // namespace raid
