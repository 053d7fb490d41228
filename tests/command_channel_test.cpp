#include "device/command_channel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/support/scripted_transport.h"

namespace raid {
namespace {

using ::testing::ElementsAre;
using testing::ScriptedTransport;

class CommandChannelTest : public ::testing::Test {
  protected:
    CommandChannelTest() : channel(transport, clock) {}

    void AnswerAfter(int polls, std::uint8_t status, bool secondPair = false) {
        transport.reply = [=](int poll) -> std::optional<ScriptedTransport::Sector> {
            if (poll < polls) {
                return std::nullopt;
            }
            return ScriptedTransport::SignedReply(status, secondPair);
        };
    }

    // The reads that follow the command's own sequence.
    std::vector<std::uint32_t> PollReads() const {
        const auto seq = transport.SequenceReads();
        return {transport.reads.begin() + static_cast<long>(seq.size()), transport.reads.end()};
    }

    ScriptedTransport transport;
    VirtualClock clock;
    CommandChannel channel;
    ReplySector reply{};
};

TEST_F(CommandChannelTest, ProbeSendsTheWorkedSequenceAndPollsTheReplySector) {
    AnswerAfter(2, 0x20);
    EXPECT_EQ(channel.SendCommand(CmdProbe, reply), kStatusOk);
    EXPECT_THAT(transport.SequenceReads(),
                ElementsAre(0x43, 0x71, 0xA7, 0xDF, 0x100, 0x104, 0x1EF, 0x1FF, 0x210, 0x2CF, 0x2DF,
                            0x2EF, 0x41B, 0x4DF, 0x438, 0x42E));
    EXPECT_THAT(PollReads(), ElementsAre(0x5FFF, 17, 0x5FFF, 17));
    EXPECT_EQ(transport.openHandles, 0) << "the disk is closed after the command";
    EXPECT_EQ(channel.ChipVariant(), 0);
    EXPECT_EQ(MatchSignature(reply), SignaturePair::First) << "reply copied to the caller";
}

TEST_F(CommandChannelTest, SecondSignaturePairSetsChipVariantOne) {
    AnswerAfter(1, 0x20, /*secondPair=*/true);
    EXPECT_EQ(channel.SendCommand(CmdGetControllerInfo, reply), kStatusOk);
    EXPECT_EQ(channel.ChipVariant(), 1);
}

TEST_F(CommandChannelTest, OneSignatureAloneIsNotAReply) {
    transport.reply = [](int) -> std::optional<ScriptedTransport::Sector> {
        auto s = ScriptedTransport::SignedReply(0x20);
        s[kSecondSignatureOffset + 3] ^= 0xFF;
        return s;
    };
    EXPECT_EQ(channel.SendCommand(CmdGetDriveInfo, reply), kErrNoReply);
    EXPECT_GT(transport.replyPolls, 100) << "polls go on until the budget runs out";
}

TEST_F(CommandChannelTest, StatusByteMapping) {
    struct Case {
        std::uint8_t raw;
        CommandStatus expected;
    };
    const Case cases[] = {{0x20, kStatusOk},
                          {0x21, kErrUnknownStatus},
                          {0x00, 0x00},
                          {0x10, 0x10},
                          {0xC0, 0xC0},
                          {0xD0, 0xD0},
                          {0xE0, 0xE0},
                          {0xF0, 0xF0},
                          {0xFF, 0xFF},
                          {0x01, kErrUnknownStatus},
                          {0xF2, kErrUnknownStatus}};
    for (const Case& c : cases) {
        transport.reads.clear();
        transport.replyPolls = 0;
        AnswerAfter(1, c.raw);
        EXPECT_EQ(channel.SendCommand(CmdGetExtendedStatus, reply), c.expected) << int(c.raw);
    }
}

TEST_F(CommandChannelTest, ReplyBudgets) {
    struct Case {
        const char* what;
        std::uint8_t code;
        std::uint64_t lastPollAtLeastMs;  // elapsed time of the final poll
        std::uint64_t lastPollBelowMs;
    };
    // Budgets count whole seconds: 1000 ms gives up after 2 s, 3000 ms after 4 s.
    const Case cases[] = {{"probe", CmdProbe, 2000, 2020},
                          {"controller info", CmdGetControllerInfo, 4000, 4020}};
    for (const Case& c : cases) {
        transport.reply = nullptr;
        const std::uint64_t start = clock.NowMs();
        EXPECT_EQ(channel.SendCommand(c.code, reply), kErrNoReply) << c.what;
        const std::uint64_t spent = clock.NowMs() - start;
        EXPECT_GE(spent, c.lastPollAtLeastMs) << c.what;
        EXPECT_LT(spent, c.lastPollBelowMs) << c.what;
    }
}

TEST_F(CommandChannelTest, AtaBudgetIsFourPolls) {
    EXPECT_EQ(channel.AtaFetch(0xD0, 0, 1, reply), kErrNoReply);
    EXPECT_EQ(transport.replyPolls, 4);
    transport.replyPolls = 0;
    AnswerAfter(4, 0x20);
    EXPECT_EQ(channel.AtaFetch(0xD0, 0, 1, reply), kStatusOk) << "the fourth poll still counts";
}

TEST_F(CommandChannelTest, ReplyIsCopiedEvenWhenNoSignedReplyCame) {
    std::fill(reply.begin(), reply.end(), std::uint8_t{0});
    EXPECT_EQ(channel.AtaIssue(0xEC, 1, reply), kErrNoReply);
    EXPECT_EQ(reply[100], 0xA5) << "holds what was read last";
}

TEST_F(CommandChannelTest, OpenFailureReadsNothing) {
    transport.failOpen = true;
    EXPECT_EQ(channel.SendCommand(CmdProbe, reply), kErrOpenFailed);
    EXPECT_TRUE(transport.reads.empty());
}

TEST_F(CommandChannelTest, FailedSequenceReadStopsAndClosesTheDisk) {
    AnswerAfter(1, 0x20);
    transport.failReadAt = 5;
    EXPECT_EQ(channel.SendCommand(CmdProbe, reply), kErrSequenceRead);
    EXPECT_EQ(transport.reads.size(), 5u);
    EXPECT_EQ(transport.openHandles, 0);
}

TEST_F(CommandChannelTest, FailedReplyReadEndsAtOnce) {
    AnswerAfter(5, 0x20);
    transport.failReadAt = 16 + 2;  // separator, then the first reply read
    EXPECT_EQ(channel.SendCommand(CmdProbe, reply), kErrReplyRead);
    EXPECT_EQ(transport.reads.size(), 18u);
    EXPECT_EQ(transport.openHandles, 0);
}

TEST_F(CommandChannelTest, TargetRuleUsesTheLowFourBitsOfTheEntry) {
    AnswerAfter(1, 0x20);
    channel.SetTargetResolver([] { return std::uint8_t{0x43}; });
    channel.SendCommand(CmdProbe, reply);
    EXPECT_THAT(transport.opened, ElementsAre(3));
}

TEST_F(CommandChannelTest, QueuedArgsGoWithCodes76To78Only) {
    AnswerAfter(1, 0x20);
    channel.SetQueuedArgs(0x78, 0x33, 0xEF, 0xDF);
    channel.SendCommand(CmdHybridConfig, reply);
    EXPECT_THAT(
        std::vector<std::uint32_t>(transport.reads.begin() + 8, transport.reads.begin() + 12),
        ElementsAre(0x278, 0x233, 0x2EF, 0x2DF));
    transport.reads.clear();
    channel.SendCommand(CmdSyncEvery1Hour, reply);
    EXPECT_THAT(
        std::vector<std::uint32_t>(transport.reads.begin() + 8, transport.reads.begin() + 12),
        ElementsAre(0x274, 0x2CF, 0x2DF, 0x2EF));
}

TEST_F(CommandChannelTest, FlashReadAddressesBlocksOf128AndCopiesDataOnSuccessOnly) {
    transport.reply = [](int) -> std::optional<ScriptedTransport::Sector> {
        auto s = ScriptedTransport::SignedReply(0x20);
        for (std::size_t i = 0; i < kReplyDataLength; ++i) {
            s[kReplyDataOffset + i] = static_cast<std::uint8_t>(i);
        }
        return s;
    };
    FlashChunk data{};
    EXPECT_EQ(channel.FlashRead(7, 0x012380, data), kStatusOk);
    EXPECT_THAT(
        std::vector<std::uint32_t>(transport.reads.begin() + 8, transport.reads.begin() + 12),
        ElementsAre(0x220, 0x201, 0x202, 0x247));
    EXPECT_EQ(data[127], 127);
    EXPECT_EQ(transport.opened.size(), 0u) << "flash commands use the caller's handle";

    FlashChunk untouched{};
    untouched.fill(0x11);
    AnswerAfter(1, 0xD0);
    EXPECT_EQ(channel.FlashRead(7, 0, untouched), 0xD0);
    EXPECT_EQ(untouched[0], 0x11);
}

TEST_F(CommandChannelTest, AllZeroPayloadIsSeparatedOnEveryRepeat) {
    AnswerAfter(1, 0x20);
    const FlashChunk zeros{};
    EXPECT_EQ(channel.FlashProgram(7, 0, zeros), kStatusOk);
    const auto seq = transport.SequenceReads();
    // 0x201 0x200 0x200: the repeated address arg is separated too.
    const std::vector<std::uint32_t> command(seq.begin() + 8, seq.begin() + 13);
    EXPECT_THAT(command, ElementsAre(0x225, 0x201, 0x200, 0x5FFF, 0x200));
    const std::vector<std::uint32_t> payload(seq.begin() + 13, seq.begin() + 13 + 255);
    EXPECT_EQ(payload[0], 0x300u);
    for (std::size_t i = 1; i < payload.size(); i += 2) {
        ASSERT_EQ(payload[i], 0x5FFFu) << i;
        ASSERT_EQ(payload[i + 1], 0x300u) << i;
    }
    EXPECT_EQ(seq.size(), 13u + 255u + 4u);
}

TEST_F(CommandChannelTest, ThreeEqualLbasInARowGetTwoSeparators) {
    AnswerAfter(1, 0x20);
    FlashChunk payload{};
    payload[0] = payload[1] = payload[2] = 0x42;
    payload[3] = 0x43;
    channel.FlashProgram(7, 0x80, payload);
    const auto seq = transport.SequenceReads();
    const std::vector<std::uint32_t> head(seq.begin() + 12, seq.begin() + 18);
    EXPECT_THAT(head, ElementsAre(0x342, 0x5FFF, 0x342, 0x5FFF, 0x342, 0x343));
}

TEST_F(CommandChannelTest, AtaIssueCarriesTheRegisterFis) {
    struct Case {
        std::uint8_t ata;
        std::uint8_t command;
        std::uint8_t features;
    };
    const Case cases[] = {{0xEC, 0xEC, 0x00}, {0xD0, 0xB0, 0xD0}, {0xD1, 0xB0, 0xD1}};
    for (const Case& c : cases) {
        transport.reads.clear();
        transport.replyPolls = 0;
        AnswerAfter(1, 0x20);
        EXPECT_EQ(channel.AtaIssue(c.ata, 1, reply), kStatusOk);
        const auto seq = transport.SequenceReads();
        std::vector<std::uint32_t> fis;
        for (std::size_t i = 12; i < seq.size() && fis.size() < 8; ++i) {
            if (seq[i] != kSeparatorSector) {
                fis.push_back(seq[i] - 0x300);
            }
        }
        EXPECT_THAT(fis, ElementsAre(0x27, 0x80, c.command, c.features, 0x01, 0x4F, 0xC2, 0xE0))
            << int(c.ata);
        EXPECT_EQ(seq[9], 0x200u + c.ata);
        EXPECT_EQ(seq[10], 0x201u);
    }
}

TEST_F(CommandChannelTest, ReplyPollsYieldToTheMessagePump) {
    int pumps = 0;
    channel.SetMessagePump([&] { ++pumps; });
    AnswerAfter(3, 0x20);
    channel.SendCommand(CmdProbe, reply);
    EXPECT_EQ(pumps, 16 + 3) << "once per sequence read and once per poll";
}

TEST(CommandChannelDeathTest, ANestedCommandIsCaught) {
    ScriptedTransport transport;
    VirtualClock clock;
    CommandChannel channel(transport, clock);
    transport.reply = [](int) { return ScriptedTransport::SignedReply(0x20); };
    ReplySector inner{};
    CommandStatus nested = kStatusOk;
    bool nestedOnce = false;
    channel.SetMessagePump([&] {
        if (!nestedOnce) {
            nestedOnce = true;
            nested = channel.SendCommand(CmdGetDriveInfo, inner);
        }
    });
    ReplySector outer{};
#ifdef NDEBUG
    EXPECT_EQ(channel.SendCommand(CmdProbe, outer), kStatusOk);
    EXPECT_EQ(nested, kErrSequenceRead);
#else
    EXPECT_DEATH(channel.SendCommand(CmdProbe, outer), "in flight");
#endif
}

}  // namespace
}  // namespace raid
