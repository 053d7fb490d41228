#include "monitor/status_text.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "sim/ata_text.h"

namespace raid {
namespace {

template <std::size_t N>
std::array<std::uint8_t, N> Ata(const std::string& text) {
    std::array<std::uint8_t, N> field{};
    sim::PutAtaText(field, text);
    return field;
}

TEST(StatusTextTest, ModelIsSwappedBackAndTrimmedButNeverBelowSixCharacters) {
    EXPECT_EQ(ModelText(Ata<40>("WDC WD5000AAKS-00V1A0")), "WDC WD5000AAKS-00V1A0");
    EXPECT_EQ(ModelText(Ata<40>("ST1")), "ST1   ");
    EXPECT_EQ(ModelText(Ata<40>("")), "      ");
    // Odd length: the swap must not leave the last character behind.
    EXPECT_EQ(ModelText(Ata<40>("ABCDE")), "ABCDE ");
}

TEST(StatusTextTest, SerialKeepsItsBlanksAndAZeroFieldIsEmpty) {
    EXPECT_EQ(SerialText(Ata<20>("5QG0ABCD")), "5QG0ABCD            ");
    EXPECT_EQ(SerialText(std::array<std::uint8_t, 20>{}), "");
    EXPECT_EQ(ModelText(std::array<std::uint8_t, 40>{}), "");
}

TEST(StatusTextTest, SwappedTextEndsAtTheFirstNul) {
    const std::array<std::uint8_t, 6> field{'B', 'A', 0, 'C', 'E', 'D'};
    EXPECT_EQ(SwappedText(field), "ABC");
}

TEST(StatusTextTest, FirmwareText) {
    struct Case {
        std::array<std::uint8_t, 8> bytes;
        const char* text;
    } cases[] = {
        {{0x14, 0x04, 0x03, 0x25, 0, 0, 0, 0}, "140403.5"},
        {{0x14, 0x04, 0x03, 0xF1, 0x20, 0x20, 0x20, 0x20}, "140403.1"},  // high nibble ignored
        {{'0', '1', '0', '0', '6', '2', '.', '1'}, "1000261."},          // printable: swapped
        {{0x1F, 'A', 'A', 'A', 'A', 'A', 'A', 'A'}, "1F4141.1"},         // one byte below 0x20
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FirmwareText(c.bytes), c.text);
    }
}

TEST(StatusTextTest, ControllerBlockNameAndFirmwareComeFromTheirOffsets) {
    ControllerBlock block{};
    block.fill(0xEE);
    sim::PutAtaText(std::span(block).subspan(46, 8), "100126.3");
    sim::PutAtaText(std::span(block).subspan(54, 40), "USB RAID Box");
    EXPECT_EQ(BlockFirmwareText(block), "100126.3");
    EXPECT_EQ(BlockNameText(block), "USB RAID Box");
}

TEST(StatusTextTest, SizeAndCapacityTexts) {
    struct Case {
        std::uint64_t sectors;
        const char* size;
        const char* tail;
    } cases[] = {
        {976773168, "465 GB", "465 GB(976773168 Sectors)"},
        {2000000, "976 MB", "976 MB(2000000 Sectors)"},
        {0x1FFFFF, "1023 MB", "1023 MB(2097151 Sectors)"},
        {0x200000, "1 GB", "1 GB(2097152 Sectors)"},
        {0, "0 MB", "0 MB(0 Sectors)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SizeText(c.sectors), c.size) << c.sectors;
        EXPECT_EQ(CapacityTail(c.sectors), c.tail) << c.sectors;
    }
}

TEST(StatusTextTest, CapacityTailUsesTheLow40BitsOnly) {
    EXPECT_EQ(CapacityTail((std::uint64_t{0xAB} << 40) | 2000000), "976 MB(2000000 Sectors)");
    EXPECT_EQ(SizeText(std::uint64_t{1} << 40), "524288 GB");
}

TEST(StatusTextTest, ModeNames) {
    struct Case {
        std::uint8_t mode;
        const char* name;
    } cases[] = {
        {0, "Striping(RAID0)"}, {1, "Mirroring(RAID1)"}, {2, "NRAID"},     {3, "JBOD"},
        {63, "Bypass"},         {4, "Undefine"},         {62, "Undefine"}, {255, "Undefine"}};
    for (const auto& c : cases) {
        EXPECT_EQ(ModeName(c.mode), c.name) << int{c.mode};
    }
}

TEST(StatusTextTest, Hex2IsTwoUpperCaseDigits) {
    EXPECT_EQ(Hex2(0x0A), "0A");
    EXPECT_EQ(Hex2(0xFF), "FF");
}

}  // namespace
}  // namespace raid
