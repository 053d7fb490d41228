#include "app/folders.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace raid {
namespace {

TEST(LogFolder, ANamedFolderIsMadeWhenMissingAndTheExecutablesOtherwise) {
    const auto named = std::filesystem::path(::testing::TempDir()) / "log-folder-test" / "logs";
    std::filesystem::remove_all(named.parent_path());
    EXPECT_EQ(ChooseLogFolder(named.c_str()), named.string());
    EXPECT_TRUE(std::filesystem::is_directory(named));
    std::filesystem::remove_all(named.parent_path());

    EXPECT_EQ(ChooseLogFolder(nullptr), ExecutableFolder());
    EXPECT_EQ(ChooseLogFolder(""), ExecutableFolder());
    EXPECT_FALSE(ExecutableFolder().empty());
}

}  // namespace
}  // namespace raid
