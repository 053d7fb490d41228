#include "monitor/device_change_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace raid {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Enclosures are told apart by their controller blocks; each letter below is
// one enclosure, its block filled with that letter. The old table sits on
// disks 0.., the new one on disks 5.., so the test also shows that old
// entries are compared through previousBlocks and new ones through blocks.
class DeviceChangeLogTest : public ::testing::Test {
  protected:
    // One discovery's outcome: `before` and `after` name the enclosures of the
    // old and the new table.
    struct World {
        explicit World(Clock& clock) : mail(clock) {}

        void Tables(const std::string& before, const std::string& after) {
            Fill(devices.table, devices.previousBlocks, before, 0);
            Fill(devices.newTable, devices.blocks, after, 5);
        }
        void Record() { RecordDeviceSetChange(log, devices, mail); }
        std::vector<std::uint8_t> MailedDevices() const {
            std::vector<std::uint8_t> indexes;
            for (const auto& r : mail.Requests()) {
                EXPECT_EQ(r.kind, kMailDeviceRemoved);
                EXPECT_EQ(r.port, 0);
                indexes.push_back(r.device);
            }
            return indexes;
        }

        RecordingMailSink mail;
        DeviceState devices;
        EventLogState log;
    };

    static void Fill(DeviceTable& table, std::array<ControllerBlock, kMaxDisks>& blocks,
                     const std::string& ids, std::uint8_t firstDisk) {
        table.count = static_cast<std::uint8_t>(ids.size());
        for (std::size_t k = 0; k < ids.size(); ++k) {
            const auto disk = static_cast<std::uint8_t>(firstDisk + k);
            table.entries[k] = kEnclosureMark | disk;
            blocks[disk].fill(static_cast<std::uint8_t>(ids[k]));
        }
    }

    VirtualClock clock;
    World world{clock};
};

TEST_F(DeviceChangeLogTest, ArrivalsAndDepartures) {
    struct Case {
        const char* before;
        const char* after;
        std::vector<std::string> lines;
        std::vector<std::uint8_t> mailed;
    } cases[] = {
        {"", "AB", {"D1 New Device was found.", "D2 New Device was found."}, {}},
        {"AB", "", {"D1 Device was removed.", "D2 Device was removed."}, {0, 1}},
        {"AB", "B", {"D1 Device was removed."}, {0}},
        {"AB", "A", {"D2 Device was removed."}, {1}},
        {"A", "BA", {"D1 New Device was found."}, {}},
        {"A", "AB", {"D2 New Device was found."}, {}},
        {"AC", "ABC", {"D2 New Device was found."}, {}},
        {"ABC", "AC", {"D2 Device was removed."}, {1}},
        // Nothing in common: every old one left, every new one came.
        {"AB",
         "CDE",
         {"D1 Device was removed.", "D2 Device was removed.", "D1 New Device was found.",
          "D2 New Device was found.", "D3 New Device was found."},
         {0, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.before) + " -> " + c.after);
        World w(clock);
        w.Tables(c.before, c.after);
        w.Record();
        auto expected = c.lines;
        expected.push_back("    Device had changed.");
        EXPECT_EQ(w.log.DeviceChangeLines, expected);
        EXPECT_TRUE(w.log.DeviceChangePending);
        EXPECT_EQ(w.MailedDevices(), c.mailed);
        EXPECT_EQ(w.log.FullRedrawRequested, std::string(c.before).empty());
    }
}

// Between two discoveries an enclosure's live values move; its identity
// (firmware bytes, name, environment pair) does not. Enclosure A stays and B
// leaves, with one byte of A's block changed as `offset` says.
TEST_F(DeviceChangeLogTest, OnlyIdentityBytesTellEnclosuresApart) {
    struct Case {
        const char* what;
        std::size_t offset;
        bool identity;
    } cases[] = {
        {"temperature", 0x7F, false},
        {"fan speed", 0x80, false},
        {"fan speed low byte", 0x81, false},
        {"buzzer", 0x82, false},
        {"backup countdown", 0x84, false},
        {"backup weeks", 0x87, false},
        {"firmware version", 46, true},
        {"product family", 51, true},
        {"name", 54 + 39, true},
        {"environment pair", 125, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        World w(clock);
        w.Tables("AB", "A");
        w.devices.blocks[5][c.offset] ^= 0x5A;
        w.Record();
        if (c.identity) {
            EXPECT_THAT(w.log.DeviceChangeLines,
                        ElementsAre("D1 Device was removed.", "D2 Device was removed.",
                                    "D1 New Device was found.", "    Device had changed."));
            EXPECT_EQ(w.MailedDevices(), (std::vector<std::uint8_t>{0, 1}));
        } else {
            EXPECT_THAT(w.log.DeviceChangeLines,
                        ElementsAre("D2 Device was removed.", "    Device had changed."));
            EXPECT_EQ(w.MailedDevices(), std::vector<std::uint8_t>{1});
        }
    }
}

// Two enclosures of one model and firmware share an identity; the one that
// left is told by its disk number.
TEST_F(DeviceChangeLogTest, TwinsAreToldApartByTheirDisk) {
    struct Case {
        std::uint8_t leftDisk;
        const char* line;
        std::uint8_t mailed;
    } cases[] = {{0, "D1 Device was removed.", 0}, {1, "D2 Device was removed.", 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        World w(clock);
        w.devices.table.count = 2;
        w.devices.table.entries[0] = kEnclosureMark | 0;
        w.devices.table.entries[1] = kEnclosureMark | 1;
        w.devices.previousBlocks[0].fill('T');
        w.devices.previousBlocks[1].fill('T');
        const std::uint8_t stays = c.leftDisk == 0 ? 1 : 0;
        w.devices.newTable.count = 1;
        w.devices.newTable.entries[0] = kEnclosureMark | stays;
        w.devices.blocks[stays].fill('T');
        w.devices.blocks[stays][0x7F] = 0x31;  // its temperature moved
        w.Record();
        EXPECT_THAT(w.log.DeviceChangeLines, ElementsAre(c.line, "    Device had changed."));
        EXPECT_EQ(w.MailedDevices(), std::vector<std::uint8_t>{c.mailed});
    }
}

TEST_F(DeviceChangeLogTest, SameCountChangesNothingEvenWhenTheEnclosuresDiffer) {
    world.Tables("AB", "CD");
    world.Record();
    EXPECT_THAT(world.log.DeviceChangeLines, IsEmpty());
    EXPECT_FALSE(world.log.DeviceChangePending);
    EXPECT_THAT(world.mail.Requests(), IsEmpty());
}

TEST_F(DeviceChangeLogTest, AChangeNotYetLoggedGetsASecondChangedLine) {
    world.Tables("AB", "A");
    world.Record();
    world.Tables("A", "AC");
    world.Record();
    EXPECT_THAT(world.log.DeviceChangeLines,
                ElementsAre("D2 Device was removed.", "    Device had changed.",
                            "D2 New Device was found.", "    Device had changed."));
}

TEST_F(DeviceChangeLogTest, EntriesThatNameNoKnownDiskNeverMatch) {
    world.Tables("AB", "A");
    world.devices.table.entries[1] = kEnclosureMark | 0x0F;  // disk 15: no block for it
    world.devices.newTable.count = 200;                      // a count beyond its entries
    world.Record();
    // Old A matches new entry 0; old entry 1 left; the new table is read as
    // eight entries, so seven (blank) ones arrived.
    ASSERT_EQ(world.log.DeviceChangeLines.size(), 1u + 7u + 1u);
    EXPECT_EQ(world.log.DeviceChangeLines.front(), "D2 Device was removed.");
    EXPECT_EQ(world.log.DeviceChangeLines[8 - 1], "D8 New Device was found.");
    EXPECT_EQ(world.MailedDevices(), std::vector<std::uint8_t>{1});
}

}  // namespace
}  // namespace raid
