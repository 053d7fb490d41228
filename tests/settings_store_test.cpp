#include "notify/settings/file_settings_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "notify/settings/host_settings_store.h"
#include "notify/settings/settings_folder.h"
#include "tests/support/posix_files.h"

namespace raid {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

class SettingsFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = fs::path(::testing::TempDir()) / (std::string("settings-") + info->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    fs::path File() const { return folder / "KT_RAID_GUI.json"; }
    void WriteFile(const std::string& text) const { std::ofstream(File()) << text; }

    fs::path folder;
};

TEST_F(SettingsFileTest, EveryTypeSurvivesARoundTripInAPrivateFile) {
    FileSettingsStore store(folder.string());
    ASSERT_EQ(store.Open(), "");
    EXPECT_FALSE(store.KeyExists());

    const std::vector<std::uint8_t> bytes = {0x00, 0x5A, 0xFF, 0x10};
    store.Write("Port", SettingValue::String("25"));
    store.Write("EMailSend", SettingValue::Integer(0xFFFFFFFFu));
    store.Write("ProductID", SettingValue::Binary(bytes));
    store.Write("Name", SettingValue::String("Bj\xC3\xB6rn \"quoted\" \\"));
    ASSERT_EQ(store.Commit(), "");

    if (testing::kPosixFiles) {
        EXPECT_EQ(testing::PermissionBits(File()), 0600u);
    }

    FileSettingsStore again(folder.string());
    ASSERT_EQ(again.Open(), "");
    EXPECT_TRUE(again.KeyExists());
    EXPECT_EQ(again.ReadString("Port"), "25");
    EXPECT_EQ(again.ReadInteger("EMailSend"), 0xFFFFFFFFu);
    EXPECT_EQ(again.ReadBinary("ProductID"), bytes);
    EXPECT_EQ(again.ReadString("Name"), "Bj\xC3\xB6rn \"quoted\" \\");
    // A value read as another type is absent, as with the registry.
    EXPECT_EQ(again.ReadInteger("Port"), std::nullopt);
    EXPECT_EQ(again.ReadString("EMailSend"), std::nullopt);
    EXPECT_EQ(again.ValueNames(),
              (std::vector<std::string>{"EMailSend", "Name", "Port", "ProductID"}));
}

TEST_F(SettingsFileTest, AFileThatDoesNotParseIsReportedAndMovedAsideNeverOverwritten) {
    const std::vector<std::string> bad = {
        "{ not json",
        "[1, 2]",
        R"({"Port": "25"})",
        R"({"Port": {"string": "25", "dword": 1}})",
        R"({"EMailSend": {"dword": -1}})",
        R"({"EMailSend": {"dword": 4294967296}})",
        R"({"ProductID": {"binary": "5G"}})",
        R"({"ProductID": {"binary": "5"}})",
    };
    for (const auto& text : bad) {
        SCOPED_TRACE(text);
        fs::remove_all(folder);
        fs::create_directories(folder);
        WriteFile(text);
        FileSettingsStore store(folder.string());
        const std::string problem = store.Open();
        EXPECT_THAT(problem, HasSubstr(File().string()));
        EXPECT_THAT(problem, HasSubstr("Mail is off"));
        EXPECT_FALSE(store.KeyExists());
        EXPECT_FALSE(fs::exists(File()));
        const fs::path aside = File().string() + ".unreadable";
        ASSERT_TRUE(fs::exists(aside));
        std::ifstream in(aside);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), text);

        // Saving afterwards makes a new file and leaves the bad one aside.
        store.Write("Port", SettingValue::String("25"));
        EXPECT_EQ(store.Commit(), "");
        EXPECT_TRUE(fs::exists(aside));
    }
}

TEST_F(SettingsFileTest, ASymbolicLinkIsNeitherReadNorWrittenThrough) {
#ifdef _WIN32
    GTEST_SKIP() << "creating a symbolic link needs a privilege on Windows";
#endif
    const fs::path target = folder / "elsewhere.json";
    std::ofstream(target) << R"({"Port": {"string": "25"}})";
    fs::create_symlink(target, File());

    FileSettingsStore store(folder.string());
    EXPECT_THAT(store.Open(), HasSubstr("symbolic link"));
    // The link itself was moved aside; the file it names is never touched.
    EXPECT_TRUE(fs::is_symlink(File().string() + ".unreadable"));
    store.Write("Port", SettingValue::String("2525"));
    EXPECT_EQ(store.Commit(), "");
    EXPECT_FALSE(fs::is_symlink(File()));
    std::ifstream in(target);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), R"({"Port": {"string": "25"}})");
}

TEST_F(SettingsFileTest, ALinkPlacedAtTheFileLaterIsNotReplaced) {
#ifdef _WIN32
    GTEST_SKIP() << "creating a symbolic link needs a privilege on Windows";
#endif
    FileSettingsStore store(folder.string());
    ASSERT_EQ(store.Open(), "");
    const fs::path target = folder / "elsewhere";
    std::ofstream(target) << "keep";
    fs::create_symlink(target, File());
    store.Write("Port", SettingValue::String("25"));
    EXPECT_THAT(store.Commit(), HasSubstr("symbolic link"));
    EXPECT_TRUE(fs::is_symlink(File()));
    std::ifstream in(target);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep");
}

TEST_F(SettingsFileTest, AFailedCommitKeepsTheOldValues) {
    FileSettingsStore store((folder / "sub").string());
    ASSERT_EQ(store.Open(), "");
    store.Write("Port", SettingValue::String("25"));
    ASSERT_EQ(store.Commit(), "");
    // A file where the folder was: no one, root included, can write there.
    fs::remove_all(folder / "sub");
    std::ofstream(folder / "sub") << "in the way";
    store.Write("Port", SettingValue::String("2525"));
    EXPECT_THAT(store.Commit(), HasSubstr("not saved"));
    EXPECT_EQ(store.ReadString("Port"), "25");
}

// Without a place (Linux without HOME) nothing is read from or written to
// the folder the program happened to start in.
TEST(SettingsFolder, NoPlaceGivesAStoreThatIsNeverSaved) {
    const fs::path before = fs::current_path();
    const fs::path scratch = fs::path(::testing::TempDir()) / "settings-no-place";
    fs::remove_all(scratch);
    fs::create_directories(scratch);
    fs::current_path(scratch);
    std::ofstream("KT_RAID_GUI.json") << R"({"SMTP": {"string": "planted.example"}})";
    {
        const SettingsPlace none;
        EXPECT_FALSE(none.Known());
        HostSettingsStore host = OpenHostSettingsStore(none);
        EXPECT_EQ(host.problem, kNoSettingsFolder);
        EXPECT_FALSE(host.store->KeyExists());
        EXPECT_EQ(host.store->ReadString("SMTP"), std::nullopt);
        host.store->Write("SMTP", SettingValue::String("mail.example.com"));
        EXPECT_EQ(host.store->Commit(), kNoSettingsFolder);
    }
    std::ifstream in("KT_RAID_GUI.json");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
              R"({"SMTP": {"string": "planted.example"}})");
    in.close();
    fs::current_path(before);
    fs::remove_all(scratch);
}

TEST(SettingsFolder, OverrideThenRootThenTheUsersConfigFolder) {
    struct Case {
        SettingsFolderInputs inputs;
        std::string folder;
    };
    const Case cases[] = {
        {{"/tmp/cfg", true, "/x", "/home/u"}, "/tmp/cfg"},
        {{"", true, "/x", "/home/u"}, "/etc/raidgui"},
        {{nullptr, false, "/x", "/home/u"}, "/x/raidgui"},
        {{nullptr, false, "relative", "/home/u"}, "/home/u/.config/raidgui"},
        {{nullptr, false, nullptr, "/home/u"}, "/home/u/.config/raidgui"},
        {{nullptr, false, nullptr, nullptr}, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ChooseSettingsFolder(c.inputs), c.folder);
    }
    EXPECT_EQ(TemplateFolderText("/etc/raidgui"), "/etc/raidgui/");
    EXPECT_EQ(TemplateFolderText("/etc/raidgui/"), "/etc/raidgui/");
}

}  // namespace
}  // namespace raid
