#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace raid {

// A value under the program's key, with the type the registry gives it.
struct SettingValue {
    enum class Type { String, Integer, Binary };
    Type type = Type::String;
    std::string text;                 // String
    std::uint32_t number = 0;         // Integer (32 bits)
    std::vector<std::uint8_t> bytes;  // Binary

    static SettingValue String(std::string text);
    static SettingValue Integer(std::uint32_t number);
    static SettingValue Binary(std::vector<std::uint8_t> bytes);
    bool operator==(const SettingValue&) const = default;
};

// The program's settings key: typed values under one name each. Writes are
// staged and reach the backing store with Commit, all or nothing.
class SettingsStore {
  public:
    virtual ~SettingsStore() = default;

    // Whether the key exists, i.e. the settings were saved at least once.
    virtual bool KeyExists() = 0;
    virtual std::vector<std::string> ValueNames() = 0;
    virtual std::optional<SettingValue> Read(const std::string& name) = 0;
    // Creates the key when it is missing and stages the value.
    virtual void Write(const std::string& name, const SettingValue& value) = 0;
    // Makes every staged write lasting. Returns an error text, empty on success;
    // after an error the staged writes are dropped and the store is as before.
    virtual std::string Commit() = 0;

    // Typed reads: nullopt when the value is missing or of another type.
    std::optional<std::string> ReadString(const std::string& name);
    std::optional<std::uint32_t> ReadInteger(const std::string& name);
    std::optional<std::vector<std::uint8_t>> ReadBinary(const std::string& name);
};

}  // namespace raid
