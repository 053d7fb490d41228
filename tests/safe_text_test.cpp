// Bytes from an enclosure or a server become text only through one filter.
#include "device/safe_text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "monitor/event_log_lines.h"
#include "monitor/metrics_text.h"
#include "monitor/status_text.h"
#include "sim/ata_text.h"

namespace raid {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST(SafeText, KeepsTextAndReplacesWhatIsNot) {
    struct Case {
        const char* name;
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"plain", "USB RAID Box", "USB RAID Box"},
        {"UTF-8 of every length", "\xC3\xBC \xE2\x82\xAC \xF0\x9F\x92\xBE",
         "\xC3\xBC \xE2\x82\xAC \xF0\x9F\x92\xBE"},
        {"line breaks and tab", "a\r\nb\tc", "a??b?c"},
        {"ESC sequence", "\x1B[2J", "?[2J"},
        {"DEL", "a\x7F", "a?"},
        {"C1 control as UTF-8",
         "a\xC2\x9B"
         "b",
         "a?b"},
        {"erased flash", std::string(4, '\xFF'), "????"},
        {"lone continuation", "\x80x", "?x"},
        {"overlong slash", "\xC0\xAF", "??"},
        {"overlong three bytes", "\xE0\x80\xAF", "???"},
        {"surrogate", "\xED\xA0\x80", "???"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", "????"},
        {"cut short at the end", "ab\xE2\x82", "ab??"},
        {"cut short by ASCII",
         "\xE2"
         "A",
         "?A"},
        {"NUL", std::string("a\0b", 3), "a?b"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SafeText(c.in), c.out) << c.name;
    }
}

// The controller's name area, pair-swapped as it is stored.
ControllerBlock BlockNamed(const std::string& name) {
    ControllerBlock block{};
    sim::PutAtaText(std::span(block).subspan(54, 40), name);
    return block;
}

TEST(DeviceStrings, ANameCannotForgeALogLineOrReachATerminal) {
    const ControllerBlock forged = BlockNamed("Dock\nD1 HDD1 was removed, [FF] forged");
    EXPECT_EQ(BlockNameText(forged), "Dock?D1 HDD1 was removed, [FF] forged");
    RaidStatus record;
    record.driveClass = 0x22;
    sim::PutAtaText(record.hdd1Model, "WDC\x1B[2J\r\n");
    sim::PutAtaText(record.hdd1Serial,
                    "S\x9B"
                    "1");
    for (const std::string& line : DeviceInformationBlock(1, record, forged)) {
        EXPECT_EQ(line.find_first_of("\r\n\x1B"), std::string::npos) << line;
    }
    EXPECT_EQ(ModelText(record.hdd1Model), "WDC?[2J??");
    EXPECT_EQ(SerialText(record.hdd1Serial).substr(0, 3), "S?1");
}

TEST(DeviceStrings, AnErasedNameAreaKeepsTheMetricsFileUtf8) {
    DeviceState devices;
    devices.table.count = 1;
    devices.table.entries[0] = 0x40 | 2;
    std::fill_n(devices.blocks[2].begin() + 54, 40, std::uint8_t{0xFF});
    PollState poll;
    const std::string text = MetricsText(devices, poll, {});
    EXPECT_THAT(text, HasSubstr("name=\"" + std::string(40, '?') + "\""));
    EXPECT_THAT(text, Not(HasSubstr("\xFF")));
}

TEST(DeviceStrings, FirmwareRevisionBytesAreFilteredToo) {
    const std::array<std::uint8_t, 8> bytes{'1', '0', 0x9B, 0xFF, 0x7F, 'A', '.', '1'};
    EXPECT_EQ(FirmwareText(bytes), "01??A?1.");
}

}  // namespace
}  // namespace raid
