#include "monitor/log_file.h"
#include "tests/support/posix_files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace raid {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

TEST(LogFileLinesTest, SplitOnCrLfOrLf) {
    struct Case {
        const char* data;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb\n", {"a", "b"}},
        {"a\r\nb", {"a", "b"}},  // no final line break
        {"a\r\n\r\nb\r\n", {"a", "", "b"}},
        {"a\rb\r\n", {"a\rb"}},  // a lone CR is text
        {"\r\n", {""}},
        {"a\r", {"a\r"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitLogLines(c.data), c.lines) << "data: " << c.data;
    }
}

TEST(LogFileLinesTest, JoinEndsEveryLineWithCrLf) {
    EXPECT_EQ(JoinLogLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
    EXPECT_EQ(JoinLogLines({}), "");
}

TEST(LogFileLinesTest, FileNameIsFolderDayAndLog) {
#ifdef _WIN32
    const std::string joined = "/var/log/raid\\261206.log";  // the platform's own separator
    EXPECT_EQ(LogFileName("C:\\raid", "261206"), "C:\\raid\\261206.log");
#else
    const std::string joined = "/var/log/raid/261206.log";
#endif
    EXPECT_EQ(LogFileName("/var/log/raid", "261206"), joined);
    EXPECT_EQ(LogFileName("/var/log/raid/", "261206"), "/var/log/raid/261206.log");
    EXPECT_EQ(LogFileName("", "261206"), "261206.log");
}

class LogFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = fs::path(::testing::TempDir()) / (std::string("log-file-") + info->name());
        fs::remove_all(folder);
        ASSERT_TRUE(fs::create_directories(folder));
        path = (folder / "261206.log").string();
    }
    void TearDown() override { fs::remove_all(folder); }

    static std::string Read(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        std::stringstream data;
        data << in.rdbuf();
        return data.str();
    }
    std::vector<std::string> FolderEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    fs::path folder;
    std::string path;
};

TEST_F(LogFileTest, SaveWritesCrLfAndLoadReadsItBack) {
    ASSERT_EQ(SaveLogFile(path, {"first", "second"}), "");
    EXPECT_EQ(Read(path), "first\r\nsecond\r\n");
    const LogLoad load = LoadLogFile(path);
    EXPECT_EQ(load.outcome, LogLoad::Outcome::Loaded);
    EXPECT_THAT(load.lines, ElementsAre("first", "second"));
}

TEST_F(LogFileTest, SaveReplacesTheFileKeepsItsModeAndLeavesNoTemporaryFile) {
    std::ofstream(path) << "old contents that are longer than the new ones\n";
    fs::permissions(path, fs::perms(0640), fs::perm_options::replace);
    ASSERT_EQ(SaveLogFile(path, {"new"}), "");
    EXPECT_EQ(Read(path), "new\r\n");
    EXPECT_THAT(FolderEntries(), ElementsAre("261206.log"));
    if (testing::kPosixFiles) {
        EXPECT_EQ(testing::PermissionBits(path), 0640u);
    }
    // And again: a second save replaces the file the first one made.
    ASSERT_EQ(SaveLogFile(path, {"newer"}), "");
    EXPECT_EQ(Read(path), "newer\r\n");
    EXPECT_THAT(FolderEntries(), ElementsAre("261206.log"));
}

TEST_F(LogFileTest, LoadTellsAMissingFileFromAnUnreadableOne) {
    EXPECT_EQ(LoadLogFile(path).outcome, LogLoad::Outcome::Missing);
    EXPECT_FALSE(LogFileMayExist(path));

    fs::create_directory(path);  // a directory opens but cannot be read
    const LogLoad load = LoadLogFile(path);
    EXPECT_EQ(load.outcome, LogLoad::Outcome::Failed);
    EXPECT_THAT(load.error, HasSubstr(path));
    EXPECT_THAT(load.lines, IsEmpty());
    EXPECT_TRUE(LogFileMayExist(path));
}

TEST_F(LogFileTest, LoadToleratesAFileWithoutFinalLineBreak) {
    std::ofstream(path, std::ios::binary) << "a\r\nb";
    EXPECT_THAT(LoadLogFile(path).lines, ElementsAre("a", "b"));
}

// "View Log File" offers any file: only a regular file of a day file's size is
// read, and nothing blocks or grows without end.
TEST_F(LogFileTest, LoadRefusesWhatIsNoDayFileAtOnce) {
    const std::string fifo = (folder / "pipe.log").string();
    ASSERT_EQ(testing::MakeFifo(fifo), testing::kPosixFiles);
    const std::string big = (folder / "big.log").string();
    std::ofstream(big, std::ios::binary) << std::string(kMaxLogFileBytes + 1, 'x');
    const std::string manyLines = (folder / "lines.log").string();
    std::ofstream(manyLines, std::ios::binary) << std::string(kMaxLogLines + 1, '\n');
    struct Case {
        std::string path;
        const char* why;
    };
    std::vector<Case> cases = {
        {big, "is larger than 8388608 bytes"},
        {manyLines, "has more than 1048576 lines"},
    };
    if (testing::kPosixFiles) {
        cases.push_back({fifo, "is not a regular file"});
        cases.push_back({"/dev/zero", "is not a regular file"});
    }
    for (const Case& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        const LogLoad load = LoadLogFile(c.path);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.path;
        EXPECT_EQ(load.outcome, LogLoad::Outcome::Failed) << c.path;
        EXPECT_EQ(load.error, c.path + " " + c.why);
        EXPECT_THAT(load.lines, IsEmpty());
    }
}

// The largest day file we read: its full size in lines of a log's length.
TEST_F(LogFileTest, TheLargestDayFileLoadsQuickly) {
    const std::string line = "D1 HDD1 was removed, [" + std::string(48, 'x') + "]\r\n";
    std::string data;
    while (data.size() + line.size() <= kMaxLogFileBytes) {
        data += line;
    }
    std::ofstream(path, std::ios::binary) << data;
    const auto start = std::chrono::steady_clock::now();
    const LogLoad load = LoadLogFile(path);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    ASSERT_EQ(load.outcome, LogLoad::Outcome::Loaded) << load.error;
    EXPECT_EQ(load.lines.size(), data.size() / line.size());
    EXPECT_EQ(load.lines.back(), line.substr(0, line.size() - 2));
}

// The test may run as root, which ignores a read-only folder; a folder path
// that runs through a plain file fails for everyone.
TEST_F(LogFileTest, SaveIntoAnUnusableFolderReportsTheErrorAndLeavesNothing) {
    const fs::path blocked = folder / "blocked";
    std::ofstream(blocked) << "not a folder";
    const std::string target = (blocked / "261206.log").string();
    const std::string error = SaveLogFile(target, {"line"});
    EXPECT_THAT(error, HasSubstr(target));
    // The system's own reason: Windows finds no such path where POSIX finds
    // a file in the way.
#ifdef _WIN32
    EXPECT_THAT(error, HasSubstr("No such file or directory"));
#else
    EXPECT_THAT(error, HasSubstr("Not a directory"));
#endif
    EXPECT_FALSE(LogFileMayExist(target));
    EXPECT_THAT(FolderEntries(), ElementsAre("blocked"));
}

TEST_F(LogFileTest, SaveOverADirectoryFailsAndRemovesItsTemporaryFile) {
    fs::create_directory(path);
    const std::string error = SaveLogFile(path, {"line"});
    EXPECT_THAT(error, HasSubstr("cannot replace"));
    EXPECT_THAT(FolderEntries(), ElementsAre("261206.log"));
    EXPECT_TRUE(fs::is_directory(path));
}

}  // namespace
}  // namespace raid
