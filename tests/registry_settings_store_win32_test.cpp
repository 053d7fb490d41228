// The registry settings store against the real registry, under a key of the
// test's own in HKEY_CURRENT_USER (never the machine's HKEY_LOCAL_MACHINE).
#include "notify/settings/registry_settings_store.h"

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "device/windows_text.h"

namespace raid {
namespace {

using ::testing::HasSubstr;
using ::testing::UnorderedElementsAre;

class RegistryStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::random_device seed;
        key.root = HKEY_CURRENT_USER;
        key.rootName = "HKEY_CURRENT_USER";
        key.path = "Software\\RaidGuiTest-" + std::to_string(seed()) + "\\KT_RAID_GUI";
        parent = key.path.substr(0, key.path.rfind('\\'));
    }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, Wide(parent).c_str()); }

    // The raw UTF-16 text of a string value, read past the store.
    std::wstring RawString(const std::string& name) const {
        wchar_t text[256] = {};
        DWORD size = sizeof text - sizeof(wchar_t);
        DWORD type = 0;
        HKEY k = nullptr;
        if (RegOpenKeyExW(key.root, Wide(key.path).c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &k) !=
            ERROR_SUCCESS) {
            return L"(no key)";
        }
        const LONG rc = RegQueryValueExW(k, Wide(name).c_str(), nullptr, &type,
                                         reinterpret_cast<BYTE*>(text), &size);
        RegCloseKey(k);
        return rc == ERROR_SUCCESS && type == REG_SZ ? std::wstring(text) : L"(none)";
    }

    RegistryKeyName key;
    std::string parent;
};

TEST_F(RegistryStoreTest, EveryTypeAndNonAsciiTextSurviveARoundTrip) {
    RegistrySettingsStore store(key);
    EXPECT_FALSE(store.KeyExists());
    const std::vector<std::uint8_t> bytes = {0x00, 0x5A, 0xFF, 0x10};
    // "Jörg Œ €" and a character outside the Basic Multilingual Plane.
    const std::string name = "J\xC3\xB6rg \xC5\x92 \xE2\x82\xAC \xF0\x9F\x92\xBE";
    store.Write("UserName", SettingValue::String(name));
    store.Write("EMailSend", SettingValue::Integer(0xFFFFFFFFu));
    store.Write("ProductID", SettingValue::Binary(bytes));
    ASSERT_EQ(store.Commit(), "");

    RegistrySettingsStore again(key);
    EXPECT_TRUE(again.KeyExists());
    EXPECT_EQ(again.ReadString("UserName"), name);
    EXPECT_EQ(again.ReadInteger("EMailSend"), 0xFFFFFFFFu);
    EXPECT_EQ(again.ReadBinary("ProductID"), bytes);
    EXPECT_EQ(again.ReadInteger("UserName"), std::nullopt);
    // Stored as the system's UTF-16, as the program's other tools read it.
    EXPECT_EQ(RawString("UserName"), L"J\u00F6rg \u0152 \u20AC \U0001F4BE");
}

TEST_F(RegistryStoreTest, AStagedValueThatIsAlreadyThereIsListedOnce) {
    RegistrySettingsStore store(key);
    store.Write("Port", SettingValue::String("25"));
    store.Write("SMTP", SettingValue::String("mail.example.com"));
    ASSERT_EQ(store.Commit(), "");
    store.Write("Port", SettingValue::String("2525"));
    store.Write("UserID", SettingValue::String("raid"));
    EXPECT_THAT(store.ValueNames(), UnorderedElementsAre("Port", "SMTP", "UserID"));
    EXPECT_EQ(store.ReadString("Port"), "2525");
}

// The registry refuses a value name past its limit of 16383 characters: a
// real failure half way through a commit.
const std::string kRefusedName = "Z" + std::string(20000, 'z');

TEST_F(RegistryStoreTest, AFailedCommitPutsBackWhatItHadWritten) {
    RegistrySettingsStore store(key);
    store.Write("Port", SettingValue::String("25"));
    store.Write("ProductID", SettingValue::Binary({1, 2, 3}));
    ASSERT_EQ(store.Commit(), "");

    // Written in name order: "Addr" (new), "Port" (changed), "ProductID"
    // (changed), then the refused one.
    store.Write("Addr", SettingValue::String("raid@example.com"));
    store.Write("Port", SettingValue::String("2525"));
    store.Write("ProductID", SettingValue::Binary({9, 9}));
    store.Write(kRefusedName, SettingValue::String("x"));
    EXPECT_THAT(store.Commit(), HasSubstr("The settings were not saved"));

    RegistrySettingsStore again(key);
    EXPECT_THAT(again.ValueNames(), UnorderedElementsAre("Port", "ProductID"));
    EXPECT_EQ(again.ReadString("Port"), "25");
    EXPECT_EQ(again.ReadBinary("ProductID"), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(again.ReadString("Addr"), std::nullopt);
    // The staged writes are dropped with the failure.
    EXPECT_EQ(store.ReadString("Port"), "25");
}

TEST_F(RegistryStoreTest, AFirstSaveThatFailsLeavesNoKey) {
    RegistrySettingsStore store(key);
    store.Write("Port", SettingValue::String("25"));
    store.Write(kRefusedName, SettingValue::String("x"));
    EXPECT_NE(store.Commit(), "");
    // No key: the settings still count as never saved, so mail stays off.
    EXPECT_FALSE(RegistrySettingsStore(key).KeyExists());
}

}  // namespace
}  // namespace raid
