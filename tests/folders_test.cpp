#include "app/folders.h"
#include "tests/support/posix_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

namespace raid {
namespace {

namespace fs = std::filesystem;

TEST(LogFolder, TheOverrideRootAndTheUsersStateFolderDecide) {
    struct Case {
        const char* name;
        LogFolderInputs inputs;
        std::string expected;
    };
    const Case cases[] = {
        {"override wins even for root",
         {.logDirOverride = "/srv/logs", .runAsRoot = true, .home = "/root"},
         "/srv/logs"},
        {"root", {.runAsRoot = true, .xdgStateHome = "/x", .home = "/root"}, "/var/log/raidgui"},
        {"XDG_STATE_HOME",
         {.xdgStateHome = "/home/u/state", .home = "/home/u"},
         "/home/u/state/raidgui"},
        {"relative XDG_STATE_HOME is ignored",
         {.xdgStateHome = "state", .home = "/home/u"},
         "/home/u/.local/state/raidgui"},
        {"empty override is no override",
         {.logDirOverride = "", .home = "/home/u"},
         "/home/u/.local/state/raidgui"},
        {"nothing to tell", {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ChooseLogFolder(c.inputs), c.expected);
    }
}

TEST(LogFolder, IsMadeWithItsParentsAndPrivateForAUser) {
    const fs::path base = fs::path(::testing::TempDir()) / "log-folder-test";
    fs::remove_all(base);
    const fs::path logs = base / ".local" / "state" / "raidgui";

    const mode_t old = ::umask(022);
    const LogFolder made = PrepareLogFolder(logs.string(), 0700);
    ::umask(old);
    EXPECT_EQ(made.path, logs.string());
    EXPECT_EQ(made.problem, "");
    EXPECT_TRUE(fs::is_directory(logs));
    if (testing::kPosixFiles) {
        EXPECT_EQ(testing::PermissionBits(logs), 0700u);
    }

    // A folder that exists keeps the mode its owner gave it.
    fs::permissions(logs, fs::perms(0750), fs::perm_options::replace);
    EXPECT_EQ(PrepareLogFolder(logs.string(), 0700).problem, "");
    if (testing::kPosixFiles) {
        EXPECT_EQ(testing::PermissionBits(logs), 0750u);
    }

    // A file in the way: the problem names the folder, the path is kept so
    // that every later save reports it too.
    std::ofstream(base / "file") << "x";
    const LogFolder blocked = PrepareLogFolder((base / "file" / "logs").string(), 0700);
    EXPECT_EQ(blocked.path, (base / "file" / "logs").string());
    EXPECT_NE(blocked.problem.find((base / "file" / "logs").string()), std::string::npos)
        << blocked.problem;

    EXPECT_NE(PrepareLogFolder("", 0700).problem, "");
    fs::remove_all(base);
}

}  // namespace
}  // namespace raid
