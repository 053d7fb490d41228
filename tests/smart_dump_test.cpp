// The SMART dump files: contents, name stepping, and every message.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "maintenance/smart_dump.h"
#include "tests/support/recorders.h"
#include "tests/support/scratch_folder.h"

namespace raid {
namespace {

namespace fs = std::filesystem;

struct SmartDump : ::testing::Test {
    SmartDump() {
        folder = testing::MakeScratchFolder("smart-dump").string();
        for (std::size_t j = 0; j < 2; ++j) {
            store.data[0][j].fill(static_cast<std::uint8_t>(0x10 + j));
            store.thresholds[0][j].fill(static_cast<std::uint8_t>(0x20 + j));
            store.data[1][j].fill(0xEE);  // the second enclosure is not dumped
        }
    }
    ~SmartDump() override {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    std::string Contents(const std::string& name) const {
        std::ifstream in(folder / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void Dump() { DumpSmartSectors(store, folder.string(), status, dialogs); }

    fs::path folder;
    SmartStore store;
    testing::RecordingStatus status;
    testing::RecordingDialogs dialogs;
};

TEST_F(SmartDump, WritesBothDrivesOfTheFirstEnclosure) {
    Dump();
    const std::string data = Contents("dSMART00.bin");
    ASSERT_EQ(data.size(), 1024u);
    EXPECT_EQ(data.substr(0, 512), std::string(512, '\x10'));
    EXPECT_EQ(data.substr(512), std::string(512, '\x11'));
    const std::string thresholds = Contents("sSMART00.bin");
    ASSERT_EQ(thresholds.size(), 1024u);
    EXPECT_EQ(thresholds.substr(512), std::string(512, '\x21'));
    EXPECT_EQ(status.history.size(), 2u);
    EXPECT_EQ(status.panels[4], "Svae File OK :" + (folder / "sSMART00.bin").string());
    EXPECT_EQ(status.history[0], "4:Svae File OK :" + (folder / "dSMART00.bin").string());
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(SmartDump, ExistingNamesStepThroughDigitsThenLetters) {
    for (int i = 0; i < 11; ++i) {
        Dump();
    }
    EXPECT_TRUE(fs::exists(folder / "dSMART09.bin"));
    EXPECT_TRUE(fs::exists(folder / "dSMART0A.bin"));
    EXPECT_FALSE(fs::exists(folder / "dSMART0B.bin"));
    EXPECT_EQ(status.panels[4], "Svae File OK :" + (folder / "sSMART0A.bin").string());

    std::ofstream(folder / "dSMART00.bin") << "kept";
    Dump();
    EXPECT_EQ(Contents("dSMART00.bin"), "kept") << "an existing dump is never overwritten";
}

TEST_F(SmartDump, EveryNameTakenWritesNothing) {
    const std::string steps = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    for (char c : steps) {
        std::ofstream(folder / (std::string("dSMART0") + c + ".bin")) << "old";
    }
    Dump();
    EXPECT_EQ(status.history.at(0), "4:Create File Error" + (folder / "dSMART0Z.bin").string());
    EXPECT_EQ(Contents("dSMART0Z.bin"), "old");
    EXPECT_EQ(Contents("sSMART00.bin").size(), 1024u) << "the threshold file has its own names";
}

TEST_F(SmartDump, AFolderNamedBeyondASCIIIsTakenAsUtf8) {
    const fs::path named = fs::path(folder) / fs::path(u8"Sm\u00e4rt \u30c7\u30fc\u30bf");
    ASSERT_TRUE(fs::create_directory(named));
    const std::u8string utf8 = named.u8string();
    DumpSmartSectors(store, std::string(utf8.begin(), utf8.end()), status, dialogs);
    EXPECT_TRUE(fs::exists(named / "dSMART00.bin"));
    EXPECT_TRUE(fs::exists(named / "sSMART00.bin"));
    const std::u8string shown = (named / "sSMART00.bin").u8string();
    EXPECT_EQ(status.panels[4], "Svae File OK :" + std::string(shown.begin(), shown.end()));
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(SmartDump, FolderThatCannotTakeFilesShowsTheMessage) {
    folder /= "missing";
    Dump();
    ASSERT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_EQ(dialogs.boxes[0].text, "Fail to create file");
    EXPECT_EQ(dialogs.boxes[0].caption, "GetSPIFWInfo:");
    EXPECT_TRUE(status.history.empty());
}

}  // namespace
}  // namespace raid
