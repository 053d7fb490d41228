// Folders named beyond ASCII: the program keeps paths as UTF-8 text, and each
// file it keeps there must be found again under the same name. On Windows a
// path built from a plain string is read in the ANSI code page, which names
// another folder.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/folders.h"
#include "device/environment_text.h"
#include "device/utf8_path.h"
#include "maintenance/firmware_image.h"
#include "monitor/log_file.h"
#include "notify/delivery/outbox.h"
#include "notify/settings/file_settings_store.h"
#include "tests/support/environment.h"
#include "tests/support/scratch_folder.h"

namespace raid {
namespace {

namespace fs = std::filesystem;
using ::testing::IsEmpty;

class FolderBeyondAscii : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(scratch.path.empty());
        folder = scratch.path + "/J\u00fcrgen \u65e5\u672c \u03a9";
        ASSERT_TRUE(fs::create_directory(PathFromUtf8(folder)));
    }

    // What the folder holds, by name: nothing may land in a look-alike.
    std::vector<std::string> Entries(const std::string& in) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(PathFromUtf8(in))) {
            names.push_back(Utf8FromPath(entry.path().filename()));
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    testing::ScratchFolder scratch{"utf8-paths"};
    std::string folder;
};

TEST_F(FolderBeyondAscii, TheEventLogSeesTheDayFileThereAndKeepsItsLines) {
    const std::string day = LogFileName(folder, "261206");
    std::ofstream(PathFromUtf8(day), std::ios::binary) << "earlier\r\n";

    // Taken for missing, the file would be replaced by the new lines alone.
    EXPECT_TRUE(LogFileMayExist(day));
    const LogLoad load = LoadLogFile(day);
    ASSERT_EQ(load.outcome, LogLoad::Outcome::Loaded) << load.error;
    EXPECT_EQ(load.lines, std::vector<std::string>{"earlier"});
    EXPECT_EQ(SaveLogFile(day, {"earlier", "later"}), "");
    EXPECT_EQ(LoadLogFile(day).lines, (std::vector<std::string>{"earlier", "later"}));
    EXPECT_EQ(Entries(folder), std::vector<std::string>{"261206.log"});
    EXPECT_FALSE(LogFileMayExist(LogFileName(folder, "261207")));
}

TEST_F(FolderBeyondAscii, TheOutboxFindsTheMailsItKeptThere) {
    const std::string outbox = folder + "/outbox";
    {
        Outbox earlier(outbox);
        ASSERT_THAT(earlier.Resume(100), IsEmpty());
        MailMessage mail;
        mail.subject = "waiting";
        ASSERT_EQ(earlier.Add(mail, 100), "");
    }
    Outbox next(outbox);
    EXPECT_THAT(next.Resume(100), IsEmpty());
    ASSERT_EQ(next.Size(), 1u);
    EXPECT_EQ(Entries(folder), std::vector<std::string>{"outbox"});
}

TEST_F(FolderBeyondAscii, SettingsSavedThereAreReadBack) {
    {
        FileSettingsStore store(folder);
        ASSERT_EQ(store.Open(), "");
        store.Write("SMTP", SettingValue::String("mail.example.com"));
        ASSERT_EQ(store.Commit(), "");
    }
    FileSettingsStore again(folder);
    ASSERT_EQ(again.Open(), "");
    EXPECT_EQ(again.Read("SMTP"), SettingValue::String("mail.example.com"));
    EXPECT_EQ(Entries(folder).size(), 1u);
}

TEST_F(FolderBeyondAscii, AFirmwareImageThereOpens) {
    const std::string image = folder + "/\u00dcbersicht.bin";
    std::ofstream(PathFromUtf8(image), std::ios::binary) << std::string(300, 'x');
    const auto file = MakeDiskImageFile();
    ASSERT_EQ(file->Open(image), ImageFile::OpenResult::Opened);
    EXPECT_EQ(file->Length(), 300u);
}

TEST_F(FolderBeyondAscii, TheLogFolderIsMadeUnderItsOwnName) {
    const std::string logs = folder + "/logs/\u00e9v\u00e9nements";
    EXPECT_EQ(PrepareLogFolder(logs, 0700).problem, "");
    EXPECT_TRUE(fs::is_directory(PathFromUtf8(logs)));
    EXPECT_EQ(Entries(folder), std::vector<std::string>{"logs"});
}

TEST(EnvironmentText, KeepsAFolderNameBeyondAscii) {
    const std::string name = "C:\\Users\\J\u00fcrgen\\\u65e5\u672c";
    ASSERT_EQ(testing::SetEnvironment("RAIDGUI_TEST_FOLDER", name.c_str()), 0);
    EXPECT_EQ(EnvironmentText("RAIDGUI_TEST_FOLDER"), name);
    testing::UnsetEnvironment("RAIDGUI_TEST_FOLDER");
    EXPECT_EQ(EnvironmentText("RAIDGUI_TEST_FOLDER"), "");
}

}  // namespace
}  // namespace raid
