#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "monitor/mail_request.h"
#include "notify/compose/mail_templates.h"
#include "notify/settings/mail_settings_store.h"
#include "notify/settings/memory_settings_store.h"
#include "notify/settings/password_scramble.h"

namespace raid {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

TEST(PasswordScramble, PasswordsAndTheLoginSwitchSurviveAndForeignValuesAreMalformed) {
    struct Case {
        std::string password;
        bool login;
        std::uint8_t salt;
    };
    const Case cases[] = {
        {"", false, 0},
        {"", true, 0},
        {"fifteen-chars!!", true, 0x3C},
        {"secret", false, 0xFF},
        {"\xC3\xA9t\xC3\xA9", true, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.password);
        const ScrambledPassword stored = ScramblePassword(c.password, c.login, c.salt);
        EXPECT_EQ(stored[16], c.salt);
        const UnscrambledPassword back = UnscramblePassword(stored);
        EXPECT_EQ(back.password, c.password);
        EXPECT_EQ(back.status, c.login ? kPasswordLogin : kPasswordNoLogin);
        EXPECT_EQ(back.salt, c.salt);

        ScrambledPassword tampered = stored;
        tampered[17] ^= 0x80;
        EXPECT_EQ(UnscramblePassword(tampered).status, kPasswordMalformed);
        EXPECT_EQ(UnscramblePassword(tampered).password, "ErrorFormat");
    }
    // The designed bytes for "ab" with salt 0 and no login.
    const ScrambledPassword ab = ScramblePassword("ab", false, 0);
    EXPECT_EQ(ab[0], 'a' ^ 0x5A);
    EXPECT_EQ(ab[1], static_cast<std::uint8_t>(('b' + 1) ^ 0xA7));
    EXPECT_EQ(ab[2], 2 ^ 0x13);
    EXPECT_EQ(ab[8], 8 ^ 0x5A);
    // A stored value of any other length is malformed and read no further.
    const std::vector<std::uint8_t> shorter(ab.begin(), ab.begin() + 10);
    EXPECT_EQ(UnscramblePassword(shorter).status, kPasswordMalformed);
    EXPECT_EQ(UnscramblePassword({}).status, kPasswordMalformed);
}

TEST(MailSettingsStartUp, UserIdIsMigratedFromAddrAndEMailSendCreated) {
    const std::pair<std::string, std::string> cases[] = {
        {"admin@example.com", "admin"}, {"admin", "admin"}, {"", ""}, {"a@b@c", "a"}};
    for (const auto& [addr, userId] : cases) {
        MemorySettingsStore store;
        store.Write(setting::Addr, SettingValue::String(addr));
        ASSERT_EQ(store.Commit(), "");
        MailSettings settings;
        std::atomic<std::uint8_t> flags{0};
        EXPECT_EQ(InitialiseMailSettings(store, settings, "/cfg/", flags), "");
        EXPECT_TRUE(settings.MailKeyPresent);
        EXPECT_EQ(store.ReadString(setting::UserId), userId);
        EXPECT_EQ(store.ReadInteger(setting::EMailSend), 0u);
        EXPECT_EQ(flags.load(), MailReloadRequested);
    }

    // An existing UserID is kept; no key means mail stays off.
    MemorySettingsStore kept;
    kept.Write(setting::Addr, SettingValue::String("x@y"));
    kept.Write(setting::UserId, SettingValue::String("login"));
    ASSERT_EQ(kept.Commit(), "");
    MailSettings settings;
    std::atomic<std::uint8_t> flags{0};
    InitialiseMailSettings(kept, settings, "/cfg/", flags);
    EXPECT_EQ(kept.ReadString(setting::UserId), "login");

    MemorySettingsStore none;
    MailSettings off;
    std::atomic<std::uint8_t> noFlags{0};
    EXPECT_EQ(InitialiseMailSettings(none, off, "/cfg/", noFlags), "");
    EXPECT_FALSE(off.MailKeyPresent);
    EXPECT_EQ(off.TemplateDirectory, "/cfg/");
    EXPECT_EQ(noFlags.load(), 0);
    EXPECT_FALSE(none.KeyExists());
}

// The page, the settings file and the template files of one test.
class MailSaveTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = fs::path(::testing::TempDir()) / (std::string("mail-save-") + info->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        settings.TemplateDirectory = folder.string() + "/";
    }
    void TearDown() override { fs::remove_all(folder); }

    MailPageFields Filled() const {
        MailPageFields f = PageFields(settings);
        f.smtp = "mail.example.com";
        f.userName = "RAID box";
        f.addr = "raid@example.com";
        f.userId = "raid";
        f.password = "pa55word";
        f.login = true;
        f.recipients = {"ops@example.com", "boss@example.com"};
        f.subjects = {"Drive failed", "Enclosure gone"};
        f.contents = {std::vector<std::string>{"Replace the drive.", "Now."},
                      std::vector<std::string>{"Check the cable."}};
        return f;
    }
    std::string Save(const MailPageFields& fields) {
        return SaveMailSettings(store, settings, fields, flags);
    }
    void Reload() { LoadMailSettings(store, settings); }
    std::string FileText(const std::string& path) const {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path folder;
    MemorySettingsStore store;
    MailSettings settings;
    std::atomic<std::uint8_t> flags{0};
};

TEST_F(MailSaveTest, TheFirstSaveWritesEverythingAndALoadGivesItBack) {
    MailPageFields fields = Filled();
    fields.port = "";
    fields.timeOut = "";
    ASSERT_EQ(Save(fields), "");
    EXPECT_EQ(flags.load(), MailReloadRequested);
    EXPECT_FALSE(settings.MailSettingsLoaded);
    EXPECT_TRUE(settings.MailKeyPresent);
    for (const char* name :
         {setting::Port, setting::Smtp, setting::UserName, setting::Addr, setting::TimeOut,
          setting::UserId, setting::ProductId, setting::EMailSend, setting::ToAddrCount,
          setting::FilePath, "ToAddr_00", "ToAddr_01", setting::Security, setting::CaFile}) {
        EXPECT_TRUE(store.Read(name).has_value()) << name;
    }
    EXPECT_EQ(store.ReadString(setting::Port), "25");
    EXPECT_EQ(store.ReadString(setting::TimeOut), "0");
    EXPECT_EQ(FileText(SubjectTemplatePath(settings.TemplateDirectory, 1)), "Drive failed\r\n");
    EXPECT_EQ(FileText(ContentsTemplatePath(settings.TemplateDirectory, 1)),
              "Replace the drive.\r\nNow.\r\n");
    EXPECT_TRUE(fs::exists(folder / "EmailSubject Device Removed.txt"));
    EXPECT_TRUE(fs::exists(folder / "EmailContens Device Removed.txt"));

    Reload();
    EXPECT_TRUE(settings.MailSettingsLoaded);
    EXPECT_EQ(settings.MailEditDirty, 0);
    EXPECT_THAT(settings.serverList, ElementsAre("25", "mail.example.com", "RAID box",
                                                 "raid@example.com", "0", "pa55word", "raid"));
    EXPECT_EQ(settings.PasswordStatus, kPasswordLogin);
    EXPECT_THAT(settings.RecipientList, ElementsAre("ops@example.com", "boss@example.com"));
    EXPECT_THAT(settings.SubjectTemplates[0], ElementsAre("Drive failed"));
    EXPECT_THAT(settings.ContentsTemplates[1], ElementsAre("Check the cable."));
    EXPECT_THAT(settings.SubjectTemplates[2], IsEmpty());
}

TEST_F(MailSaveTest, WithTheKeyPresentOnlyChangedFieldsAreWritten) {
    ASSERT_EQ(Save(Filled()), "");
    Reload();
    MailPageFields fields = PageFields(settings);
    fields.smtp = "other.example.com";  // typed, but its change bit is not set
    fields.port = "587";
    settings.MailEditDirty = kDirtyPort;
    ASSERT_EQ(Save(fields), "");
    Reload();
    EXPECT_EQ(settings.Server(kServerPort), "587");
    EXPECT_EQ(settings.Server(kServerSmtp), "mail.example.com");
    EXPECT_EQ(settings.Server(kServerPassword), "pa55word");
}

TEST_F(MailSaveTest, RecipientsRemovedAndTemplatesClearedReachTheStoreAndTheFiles) {
    ASSERT_EQ(Save(Filled()), "");
    Reload();
    MailPageFields fields = PageFields(settings);
    fields.recipients.clear();
    fields.subjects[0].clear();
    fields.contents[1].clear();
    ASSERT_EQ(Save(fields), "");
    EXPECT_EQ(store.ReadInteger(setting::ToAddrCount), 0u);
    EXPECT_FALSE(fs::exists(SubjectTemplatePath(settings.TemplateDirectory, 1)));
    EXPECT_FALSE(fs::exists(ContentsTemplatePath(settings.TemplateDirectory, 2)));
    Reload();
    EXPECT_THAT(settings.RecipientList, IsEmpty());
    EXPECT_THAT(settings.SubjectTemplates[0], IsEmpty());
    EXPECT_THAT(settings.ContentsTemplates[0], ElementsAre("Replace the drive.", "Now."));
}

TEST_F(MailSaveTest, ThePasswordSwitchAloneRewritesTheScrambledPassword) {
    ASSERT_EQ(Save(Filled()), "");
    Reload();
    MailPageFields fields = PageFields(settings);
    fields.login = false;
    ASSERT_EQ(Save(fields), "");
    Reload();
    EXPECT_EQ(settings.PasswordStatus, kPasswordNoLogin);
    EXPECT_EQ(settings.Server(kServerPassword), "pa55word");
}

TEST_F(MailSaveTest, FieldsThatCouldBreakTheMailExchangeAreRefusedAndNothingIsWritten) {
    struct Case {
        const char* what;
        void (*edit)(MailPageFields&);
    };
    const Case cases[] = {
        {"sender address", [](MailPageFields& f) { f.addr = "raid@example.com\r\nRCPT TO:<x@y>"; }},
        {"sender address", [](MailPageFields& f) { f.addr = "Raid <raid@example.com>"; }},
        {"sender address", [](MailPageFields& f) { f.addr = "no-at-sign"; }},
        {"recipient", [](MailPageFields& f) { f.recipients.push_back("a b@example.com"); }},
        {"recipient", [](MailPageFields& f) { f.recipients.push_back("@example.com"); }},
        {"recipient", [](MailPageFields& f) { f.recipients.push_back(std::string("x@y\0z", 5)); }},
        {"recipients", [](MailPageFields& f) { f.recipients.assign(11, "a@b"); }},
        {"line break", [](MailPageFields& f) { f.userName = "Raid\nBcc: all@example.com"; }},
        {"line break", [](MailPageFields& f) { f.subjects[1] = "Gone\r"; }},
        {"line break", [](MailPageFields& f) { f.smtp = "mail\n"; }},
        {"NUL", [](MailPageFields& f) { f.contents[0] = {std::string("a\0b", 3)}; }},
        // Addresses a server refuses in ASCII mode, or a To: header reads as something else.
        {"recipient", [](MailPageFields& f) { f.recipients.push_back("jörg@example.com"); }},
        {"recipient", [](MailPageFields& f) { f.recipients.push_back("a,b@example.com"); }},
        {"recipient", [](MailPageFields& f) { f.recipients.push_back("\"a b\"@example.com"); }},
        {"recipient", [](MailPageFields& f) { f.recipients.push_back("a(note)@example.com"); }},
        {"recipient", [](MailPageFields& f) { f.recipients.push_back("a..b@example.com"); }},
        {"recipient",
         [](MailPageFields& f) { f.recipients.push_back(std::string(65, 'a') + "@example.com"); }},
        {"sender address",
         [](MailPageFields& f) { f.addr = "a@" + std::string(250, 'b') + ".com"; }},
        {"control characters", [](MailPageFields& f) { f.userName = "Raid\x1b[2J"; }},
        {"not UTF-8", [](MailPageFields& f) { f.userName = "Ger\xe4t"; }},
        {"15 bytes", [](MailPageFields& f) { f.password = "sixteen-chars!!!"; }},
        {"15 bytes", [](MailPageFields& f) { f.password = "pässwörd-123456"; }},
        {"time-out", [](MailPageFields& f) { f.timeOut = "120"; }},
        {"time-out", [](MailPageFields& f) { f.timeOut = "1s"; }},
        {"security", [](MailPageFields& f) { f.security = "ssl"; }},
    };
    for (const auto& c : cases) {
        MailPageFields fields = Filled();
        c.edit(fields);
        EXPECT_THAT(Save(fields), HasSubstr(c.what));
    }
    EXPECT_FALSE(store.KeyExists());
    EXPECT_EQ(store.commits, 0);
    EXPECT_EQ(flags.load(), 0);
    // The design keeps a port as typed; only the dispatch finds it wrong.
    MailPageFields fields = Filled();
    fields.port = "smtp";
    EXPECT_EQ(Save(fields), "");
}

TEST_F(MailSaveTest, AStoreThatCannotSaveIsReportedAndTheSettingsStayAsTheyWere) {
    store.failCommit = "The settings were not saved: disk full";
    EXPECT_EQ(Save(Filled()), "The settings were not saved: disk full");
    EXPECT_FALSE(settings.MailKeyPresent);
    EXPECT_EQ(flags.load(), 0);
    EXPECT_FALSE(fs::exists(SubjectTemplatePath(settings.TemplateDirectory, 1)));
}

TEST_F(MailSaveTest, AHandEditedKeyIsReadSafely) {
    store.Write(setting::ToAddrCount, SettingValue::Integer(200));
    for (std::size_t i = 0; i < 12; ++i) {
        store.Write(RecipientValueName(i), SettingValue::String("r" + std::to_string(i) + "@x"));
    }
    store.Write(setting::ProductId, SettingValue::Binary({1, 2, 3}));
    store.Write(setting::Port, SettingValue::Integer(25));
    ASSERT_EQ(store.Commit(), "");
    Reload();
    EXPECT_EQ(settings.RecipientList.size(), 10u);
    EXPECT_EQ(settings.RecipientList.back(), "r9@x");
    EXPECT_EQ(settings.PasswordStatus, kPasswordMalformed);
    EXPECT_EQ(settings.Server(kServerPassword), "ErrorFormat");
    EXPECT_EQ(settings.Server(kServerPort), "");

    MemorySettingsStore empty;
    empty.Write(setting::Addr, SettingValue::String("a@b"));
    ASSERT_EQ(empty.Commit(), "");
    MailSettings loaded;
    LoadMailSettings(empty, loaded);
    EXPECT_THAT(loaded.RecipientList, IsEmpty());
    EXPECT_TRUE(loaded.MailSettingsLoaded);
}

TEST(MailTemplates, FileNamesAndLineEnds) {
    EXPECT_EQ(SubjectTemplatePath("/t/", 1), "/t/EmailSubject Hard Disks Fail.txt");
    EXPECT_EQ(ContentsTemplatePath("/t/", 2), "/t/EmailContens Device Removed.txt");
    EXPECT_EQ(SubjectTemplatePath("", 3), "EmailSubject Over Heat.txt");
    EXPECT_EQ(ContentsTemplatePath("", 4), "EmailContens Fan Fail.txt");
    EXPECT_EQ(RecipientValueName(0), "ToAddr_00");
    EXPECT_EQ(RecipientValueName(9), "ToAddr_09");
    EXPECT_EQ(RecipientValueName(10), "ToAddr_0A");

    const fs::path file = fs::path(::testing::TempDir()) / "mail-template-lines.txt";
    std::ofstream(file, std::ios::binary) << "one\r\ntwo\nthree";
    EXPECT_THAT(LoadTemplate(file.string()), ElementsAre("one", "two", "three"));
    fs::remove(file);
    EXPECT_THAT(LoadTemplate(file.string()), IsEmpty());
}

}  // namespace
}  // namespace raid
