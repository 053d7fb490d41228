#include "notify/settings/registry_settings_store.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "device/windows_text.h"

namespace raid {
namespace {

// The 32-bit view, where the design's 32-bit program keeps its key; a 32-bit
// build is there anyway.
constexpr REGSAM kView = KEY_WOW64_32KEY;
constexpr DWORD kMaxValueBytes = 1 << 16;
constexpr DWORD kMaxNameChars = 16384;  // the registry's own limit, with the NUL

class Key {
  public:
    Key(const RegistryKeyName& name, REGSAM access) {
        if (RegOpenKeyExW(name.root, Wide(name.path).c_str(), 0, access | kView, &key_) !=
            ERROR_SUCCESS) {
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

// A value as the registry holds it.
struct RawValue {
    bool exists = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// ERROR_SUCCESS with the value, or with `exists` false when there is none.
LONG ReadRaw(HKEY key, const std::wstring& name, RawValue& raw) {
    raw = {};
    DWORD size = 0;
    LONG rc = RegQueryValueExW(key, name.c_str(), nullptr, &raw.type, nullptr, &size);
    if (rc == ERROR_FILE_NOT_FOUND) {
        return ERROR_SUCCESS;
    }
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    raw.data.assign(size, 0);
    DWORD got = size;
    rc = RegQueryValueExW(key, name.c_str(), nullptr, &raw.type, raw.data.data(), &got);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    raw.data.resize(std::min(got, size));
    raw.exists = true;
    return ERROR_SUCCESS;
}

RawValue Encoded(const SettingValue& value) {
    RawValue raw;
    raw.exists = true;
    switch (value.type) {
        case SettingValue::Type::String: {
            const std::wstring text = Wide(value.text);
            raw.type = REG_SZ;
            raw.data.resize((text.size() + 1) * sizeof(wchar_t), 0);
            std::memcpy(raw.data.data(), text.c_str(), text.size() * sizeof(wchar_t));
            break;
        }
        case SettingValue::Type::Integer: {
            const DWORD number = value.number;
            raw.type = REG_DWORD;
            raw.data.resize(sizeof number);
            std::memcpy(raw.data.data(), &number, sizeof number);
            break;
        }
        case SettingValue::Type::Binary:
            raw.type = REG_BINARY;
            raw.data.assign(value.bytes.begin(), value.bytes.end());
            break;
    }
    return raw;
}

LONG Put(HKEY key, const std::wstring& name, const RawValue& raw) {
    if (!raw.exists) {
        const LONG rc = RegDeleteValueW(key, name.c_str());
        return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
    }
    return RegSetValueExW(key, name.c_str(), 0, raw.type, raw.data.data(),
                          static_cast<DWORD>(raw.data.size()));
}

bool SameName(const std::string& a, const std::string& b) {
    // Value names are compared without regard to case, as the registry does.
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x >= 'a' && x <= 'z' ? x - 32 : x) == (y >= 'a' && y <= 'z' ? y - 32 : y);
           });
}

}  // namespace

RegistrySettingsStore::RegistrySettingsStore(RegistryKeyName key) : key_(std::move(key)) {}

bool RegistrySettingsStore::KeyExists() {
    return Key(key_, KEY_READ).Get() != nullptr;
}

std::vector<std::string> RegistrySettingsStore::ValueNames() {
    std::vector<std::string> names;
    Key key(key_, KEY_READ);
    if (key.Get() != nullptr) {
        std::vector<wchar_t> name(kMaxNameChars, L'\0');
        for (DWORD i = 0;; ++i) {
            DWORD length = kMaxNameChars;
            const LONG rc = RegEnumValueW(key.Get(), i, name.data(), &length, nullptr, nullptr,
                                          nullptr, nullptr);
            if (rc == ERROR_NO_MORE_ITEMS) {
                break;
            }
            if (rc == ERROR_SUCCESS && length < kMaxNameChars) {
                names.push_back(Utf8(std::wstring_view(name.data(), length)));
            } else if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) {
                break;
            }
        }
    }
    // A staged value that is already in the key is listed once.
    for (const auto& [name, value] : staged_) {
        const bool listed = std::any_of(names.begin(), names.end(),
                                        [&](const std::string& n) { return SameName(n, name); });
        if (!listed) {
            names.push_back(name);
        }
    }
    return names;
}

std::optional<SettingValue> RegistrySettingsStore::Read(const std::string& name) {
    if (const auto it = staged_.find(name); it != staged_.end()) {
        return it->second;
    }
    Key key(key_, KEY_READ);
    if (key.Get() == nullptr) {
        return std::nullopt;
    }
    RawValue raw;
    if (ReadRaw(key.Get(), Wide(name), raw) != ERROR_SUCCESS || !raw.exists ||
        raw.data.size() > kMaxValueBytes) {
        return std::nullopt;
    }
    switch (raw.type) {
        case REG_SZ: {
            std::wstring text(raw.data.size() / sizeof(wchar_t), L'\0');
            std::memcpy(text.data(), raw.data.data(), text.size() * sizeof(wchar_t));
            if (const auto nul = text.find(L'\0'); nul != std::wstring::npos) {
                text.resize(nul);
            }
            return SettingValue::String(Utf8(text));
        }
        case REG_DWORD:
            if (raw.data.size() != sizeof(DWORD)) {
                return std::nullopt;
            }
            return SettingValue::Integer(static_cast<std::uint32_t>(raw.data[0]) |
                                         static_cast<std::uint32_t>(raw.data[1]) << 8 |
                                         static_cast<std::uint32_t>(raw.data[2]) << 16 |
                                         static_cast<std::uint32_t>(raw.data[3]) << 24);
        case REG_BINARY:
            return SettingValue::Binary(
                std::vector<std::uint8_t>(raw.data.begin(), raw.data.end()));
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
    const std::string notSaved = "The settings were not saved: ";
    HKEY key = nullptr;
    DWORD disposition = 0;
    LONG rc = RegCreateKeyExW(key_.root, Wide(key_.path).c_str(), 0, nullptr, 0,
                              KEY_READ | KEY_WRITE | kView, nullptr, &key, &disposition);
    if (rc != ERROR_SUCCESS) {
        return notSaved + key_.Text() + ": " + WindowsErrorText(static_cast<DWORD>(rc));
    }
    // Every value as it was before this commit, to put back when a later
    // write fails.
    std::vector<std::pair<std::wstring, RawValue>> earlier;
    std::string error;
    for (const auto& [name, value] : staged) {
        const std::wstring wide = Wide(name);
        RawValue before;
        rc = ReadRaw(key, wide, before);
        if (rc != ERROR_SUCCESS) {
            error = notSaved + name + ": " + WindowsErrorText(static_cast<DWORD>(rc));
            break;
        }
        earlier.emplace_back(wide, std::move(before));
        rc = Put(key, wide, Encoded(value));
        if (rc != ERROR_SUCCESS) {
            error = notSaved + name + ": " + WindowsErrorText(static_cast<DWORD>(rc));
            break;
        }
    }
    if (error.empty()) {
        rc = RegFlushKey(key);
        if (rc != ERROR_SUCCESS) {
            error = notSaved + key_.Text() + ": " + WindowsErrorText(static_cast<DWORD>(rc));
        }
    }
    if (!error.empty()) {
        bool restored = true;
        for (auto it = earlier.rbegin(); it != earlier.rend(); ++it) {
            restored = Put(key, it->first, it->second) == ERROR_SUCCESS && restored;
        }
        if (!restored) {
            error += " (and some of the earlier values could not be put back)";
        }
    }
    RegCloseKey(key);
    if (!error.empty() && disposition == REG_CREATED_NEW_KEY) {
        // The key did not exist before: the settings were never saved.
        RegDeleteKeyExW(key_.root, Wide(key_.path).c_str(), kView, 0);
    }
    return error;
}

}  // namespace raid
