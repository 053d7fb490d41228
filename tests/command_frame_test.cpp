#include "device/command_frame.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "device/command_codes.h"
#include "device/command_table.h"

namespace raid {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

std::vector<std::uint32_t> Lbas(const ReadSequence& seq) {
    return {seq.view().begin(), seq.view().end()};
}

TEST(CommandFrame, ProbeMatchesTheWorkedExample) {
    const CommandFrame frame = BuildFrame(CmdProbe, 4, {0xCF, 0xDF, 0xEF});
    EXPECT_THAT(std::vector<std::uint8_t>(frame.view().begin(), frame.view().end()),
                ElementsAre(0x43, 0x00, 0x71, 0x00, 0xA7, 0x00, 0xDF, 0x00,  // preamble
                            0x00, 0x04, 0xEF, 0xFF,                          // header
                            0x10, 0xCF, 0xDF, 0xEF,                          // command
                            0x1B, 0xDF, 0x38, 0x2E));                        // CRC, big-endian
    EXPECT_THAT(Lbas(EncodeFrame(frame)),
                ElementsAre(0x43, 0x71, 0xA7, 0xDF, 0x100, 0x104, 0x1EF, 0x1FF, 0x210, 0x2CF, 0x2DF,
                            0x2EF, 0x41B, 0x4DF, 0x438, 0x42E));
}

TEST(CommandFrame, LongFrameCarriesPayloadBetweenCommandAndCrc) {
    std::array<std::uint8_t, kPayloadLength> payload{};
    for (std::size_t i = 0; i < payload.size(); ++i) {
        payload[i] = static_cast<std::uint8_t>(i * 3);
    }
    const CommandFrame frame = BuildFrame(CmdFlashProgram, 5, {0x01, 0x02, 0x47}, &payload);
    ASSERT_EQ(frame.size(), kLongFrameLength);
    EXPECT_EQ(frame.bytes[8], 1);  // long form
    EXPECT_EQ(frame.bytes[9], 5);
    const ReadSequence seq = EncodeFrame(frame);
    ASSERT_EQ(seq.length, 144u);
    EXPECT_EQ(seq.lbas[8], 0x225u);
    for (std::size_t i = 0; i < payload.size(); ++i) {
        ASSERT_EQ(seq.lbas[12 + i], 0x300u + payload[i]) << i;
    }
    // The CRC covers bytes 0..143 and its reads come last, most significant first.
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(seq.lbas[140 + i], 0x400u + frame.bytes[144 + i]);
    }
}

TEST(CommandTable, HeaderFormAndBudgetPerCode) {
    struct Row {
        std::uint8_t code;
        std::uint8_t second;
        bool longForm;
        std::uint32_t budget;
    };
    const Row rows[] = {
        {CmdProbe, 4, false, 1000},
        {CmdGetControllerInfo, 4, false, 3000},
        {CmdGetExtendedStatus, 4, false, 3000},
        {CmdGetDriveInfo, 4, false, 3000},
        {CmdFlashRead, 4, false, 3000},
        {CmdFlashErase, 5, false, 3000},
        {CmdFlashProgram, 5, true, 3000},
        {CmdBuzzerMuteOn, 4, false, 3000},
        {CmdSyncEvery3Hours, 4, false, 3000},
        {CmdHybridConfig, 4, false, 3000},
        {CmdAtaIssue, 5, true, 3},
        {CmdAtaFetch, 4, false, 3},
        {0x76, 4, false, 3000},  // outside the table: an ordinary short command
    };
    for (const Row& row : rows) {
        const CommandRow got = CommandRowFor(row.code);
        EXPECT_EQ(got.headerSecond, row.second) << int(row.code);
        EXPECT_EQ(got.longForm, row.longForm) << int(row.code);
        EXPECT_EQ(got.budget, row.budget) << int(row.code);
    }
    EXPECT_TRUE(UsesQueuedArgs(0x76));
    EXPECT_TRUE(UsesQueuedArgs(0x78));
    EXPECT_FALSE(UsesQueuedArgs(0x75));
    EXPECT_FALSE(UsesQueuedArgs(0x79));
}

}  // namespace
}  // namespace raid
