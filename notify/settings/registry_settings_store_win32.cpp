#include <windows.h>

#include <vector>

#include "notify/settings/registry_settings_store.h"

namespace raid {
namespace {

constexpr const char* kKey = "SOFTWARE\\KT_RAID_GUI";
constexpr DWORD kMaxValueBytes = 1 << 16;

class Key {
  public:
    explicit Key(REGSAM access) {
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, access, &key_) != ERROR_SUCCESS) {
            key_ = nullptr;
        }
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }
    HKEY Get() const { return key_; }

  private:
    HKEY key_ = nullptr;
};

std::string ErrorText(LONG code) {
    char text[256] = {};
    const DWORD n =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
    return n > 0 ? std::string(text, n) : "error " + std::to_string(code);
}

}  // namespace

bool RegistrySettingsStore::KeyExists() {
    return Key(KEY_READ).Get() != nullptr;
}

std::vector<std::string> RegistrySettingsStore::ValueNames() {
    std::vector<std::string> names;
    Key key(KEY_READ);
    if (key.Get() != nullptr) {
        for (DWORD i = 0;; ++i) {
            char name[256] = {};
            DWORD length = sizeof name;
            const LONG rc =
                RegEnumValueA(key.Get(), i, name, &length, nullptr, nullptr, nullptr, nullptr);
            if (rc == ERROR_NO_MORE_ITEMS) {
                break;
            }
            if (rc == ERROR_SUCCESS && length < sizeof name) {
                names.emplace_back(name, length);
            }
        }
    }
    for (const auto& [name, value] : staged_) {
        names.push_back(name);
    }
    return names;
}

std::optional<SettingValue> RegistrySettingsStore::Read(const std::string& name) {
    if (const auto it = staged_.find(name); it != staged_.end()) {
        return it->second;
    }
    Key key(KEY_READ);
    if (key.Get() == nullptr) {
        return std::nullopt;
    }
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        size > kMaxValueBytes) {
        return std::nullopt;
    }
    std::vector<BYTE> data(size + 1, 0);
    DWORD got = size;
    if (RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, data.data(), &got) !=
            ERROR_SUCCESS ||
        got > size) {
        return std::nullopt;
    }
    switch (type) {
        case REG_SZ: {
            std::string text(reinterpret_cast<const char*>(data.data()), got);
            if (const auto nul = text.find('\0'); nul != std::string::npos) {
                text.resize(nul);
            }
            return SettingValue::String(std::move(text));
        }
        case REG_DWORD:
            if (got != sizeof(DWORD)) {
                return std::nullopt;
            }
            return SettingValue::Integer(static_cast<std::uint32_t>(data[0]) |
                                         static_cast<std::uint32_t>(data[1]) << 8 |
                                         static_cast<std::uint32_t>(data[2]) << 16 |
                                         static_cast<std::uint32_t>(data[3]) << 24);
        case REG_BINARY:
            return SettingValue::Binary(
                std::vector<std::uint8_t>(data.begin(), data.begin() + got));
        default:
            return std::nullopt;
    }
}

void RegistrySettingsStore::Write(const std::string& name, const SettingValue& value) {
    staged_[name] = value;
}

std::string RegistrySettingsStore::Commit() {
    if (staged_.empty()) {
        return {};
    }
    std::map<std::string, SettingValue> staged = std::move(staged_);
    staged_.clear();
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_READ | KEY_WRITE,
                              nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) {
        return "The settings were not saved: HKEY_LOCAL_MACHINE\\" + std::string(kKey) + ": " +
               ErrorText(rc);
    }
    std::string error;
    for (const auto& [name, value] : staged) {
        switch (value.type) {
            case SettingValue::Type::String:
                rc = RegSetValueExA(key, name.c_str(), 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(value.text.c_str()),
                                    static_cast<DWORD>(value.text.size() + 1));
                break;
            case SettingValue::Type::Integer: {
                const DWORD number = value.number;
                rc = RegSetValueExA(key, name.c_str(), 0, REG_DWORD,
                                    reinterpret_cast<const BYTE*>(&number), sizeof number);
                break;
            }
            case SettingValue::Type::Binary:
                rc = RegSetValueExA(key, name.c_str(), 0, REG_BINARY, value.bytes.data(),
                                    static_cast<DWORD>(value.bytes.size()));
                break;
        }
        if (rc != ERROR_SUCCESS && error.empty()) {
            error = "The settings were not saved: " + name + ": " + ErrorText(rc);
        }
    }
    RegCloseKey(key);
    return error;
}

}  // namespace raid
