// The stand-in controller's side of the read-sequence channel, driven by the
// host's real protocol code: framing, CRC, the reply wait and injected faults.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "device/command_channel.h"
#include "device/command_frame.h"
#include "device/command_table.h"
#include "sim/sim_transport.h"

namespace raid::sim {
namespace {

Scenario OneEnclosure(std::vector<FaultConfig> faults = {},
                      SignatureKind signature = SignatureKind::First) {
    EnclosureConfig e;
    e.disk = 0;
    e.controller.signature = signature;
    e.drives[0].model = "MODEL A";
    e.drives[1].model = "MODEL B";
    e.faults = std::move(faults);
    Scenario s;
    s.enclosures.push_back(e);
    return s;
}

struct Rig {
    explicit Rig(Scenario scenario) : sim(std::move(scenario), clock), channel(sim, clock) {
        sim.SetRecording(true);
    }
    std::size_t ReplyPolls() const {
        const auto reads = sim.Reads(0);
        return static_cast<std::size_t>(std::count_if(
            reads.begin(), reads.end(), [](const ReadRecord& r) { return r.lba == kReplySector; }));
    }
    VirtualClock clock;
    SimTransport sim;
    CommandChannel channel;
    ReplySector reply{};
};

TEST(SimProtocol, ProbeIsSignedWithTheConfiguredPair) {
    struct Case {
        SignatureKind signature;
        std::uint8_t chipVariant;
    };
    for (const Case& c : {Case{SignatureKind::First, 0}, Case{SignatureKind::Second, 1}}) {
        Rig rig(OneEnclosure({}, c.signature));
        EXPECT_EQ(rig.channel.SendCommand(CmdProbe, rig.reply), kStatusOk);
        EXPECT_EQ(rig.channel.ChipVariant(), c.chipVariant);
        EXPECT_EQ(rig.reply[kReplyStatusOffset], kDeviceSuccess);
        const auto commands = rig.sim.Commands(0);
        ASSERT_EQ(commands.size(), 1u);
        EXPECT_EQ(commands[0].code, CmdProbe);
        EXPECT_EQ(commands[0].args, (std::array<std::uint8_t, 3>{0xCF, 0xDF, 0xEF}));
        EXPECT_TRUE(commands[0].crcOk);
    }
}

TEST(SimProtocol, LongFramePayloadWithRepeatedBytesArrivesIntact) {
    // An all-zero page makes the host separate 127 repeated reads; the
    // controller must still count 128 payload bytes.
    Rig rig(OneEnclosure());
    const DeviceHandle handle = rig.sim.OpenDevice(0);
    FlashChunk page{};
    page[5] = 0x42;
    page[6] = 0x42;
    EXPECT_EQ(rig.channel.FlashErase(handle, 0x1000), kStatusOk);
    EXPECT_EQ(rig.channel.FlashProgram(handle, 0x1000, page), kStatusOk);
    rig.sim.CloseHandle(handle);
    const auto commands = rig.sim.Commands(0);
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_TRUE(commands[1].longForm);
    EXPECT_EQ(commands[1].payload, page);
}

// Reads a host-encoded sequence straight from the transport, after letting
// the test spoil it, then polls the reply sector a few times.
class RawSequence : public ::testing::Test {
  protected:
    RawSequence() : rig(OneEnclosure()) { handle = rig.sim.OpenDevice(0); }
    ~RawSequence() override { rig.sim.CloseHandle(handle); }

    void Send(std::vector<std::uint32_t> lbas) {
        std::array<std::uint8_t, kSectorSize> sector{};
        for (std::uint32_t lba : lbas) {
            ASSERT_TRUE(rig.sim.ReadSectors(handle, lba, sector, 1));
        }
    }
    // Separators between equal neighbours, as the host sends them.
    static std::vector<std::uint32_t> Separated(const std::vector<std::uint32_t>& lbas) {
        std::vector<std::uint32_t> out;
        for (std::uint32_t lba : lbas) {
            if (!out.empty() && out.back() == lba) {
                out.push_back(kSeparatorSector);
            }
            out.push_back(lba);
        }
        return out;
    }
    static std::vector<std::uint32_t> Encoded(std::uint8_t code,
                                              const FlashChunk* payload = nullptr) {
        const auto frame =
            BuildFrame(code, CommandRowFor(code).headerSecond, {0xCF, 0xDF, 0xEF}, payload);
        const auto seq = EncodeFrame(frame);
        return {seq.view().begin(), seq.view().end()};
    }
    bool ReplySigned() {
        std::array<std::uint8_t, kSectorSize> sector{};
        for (int poll = 0; poll < 5; ++poll) {
            EXPECT_TRUE(rig.sim.ReadSectors(handle, kSeparatorSector, sector, 1));
            EXPECT_TRUE(rig.sim.ReadSectors(handle, kReplySector, sector, 1));
            if (MatchSignature(sector) != SignaturePair::None) {
                return true;
            }
        }
        return false;
    }

    Rig rig;
    DeviceHandle handle = kInvalidHandle;
};

TEST_F(RawSequence, IntactSequenceIsAnswered) {
    Send(Separated(Encoded(CmdProbe)));
    EXPECT_TRUE(ReplySigned());
}

TEST_F(RawSequence, SpoiledSequencesAreDroppedWithoutAnAnswer) {
    struct Case {
        const char* what;
        std::function<std::vector<std::uint32_t>()> lbas;
    };
    const FlashChunk zeros{};
    const std::vector<Case> cases = {
        {"wrong CRC byte",
         [] {
             auto lbas = Encoded(CmdProbe);
             lbas.back() ^= 0x01;
             return Separated(lbas);
         }},
        {"separator left out between equal payload bytes",
         [&] { return Encoded(CmdFlashProgram, &zeros); }},
        {"header magic byte wrong",
         [] {
             auto lbas = Encoded(CmdProbe);
             lbas[6] = 0x1EE;
             return Separated(lbas);
         }},
        {"command byte out of order",
         [] {
             auto lbas = Encoded(CmdProbe);
             std::swap(lbas[7], lbas[8]);
             return Separated(lbas);
         }},
        {"foreign read in the middle",
         [] {
             auto lbas = Encoded(CmdProbe);
             lbas.insert(lbas.begin() + 9, 0x800);
             return Separated(lbas);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        rig.sim.ClearRecords();
        // A good command first, so a stale answer would be there to find.
        Send(Separated(Encoded(CmdGetDriveInfo)));
        ASSERT_TRUE(ReplySigned());
        Send(c.lbas());
        EXPECT_FALSE(ReplySigned());
        for (const CommandRecord& record : rig.sim.Commands(0)) {
            if (record.code != CmdGetDriveInfo) {
                EXPECT_FALSE(record.crcOk) << "executed code " << int(record.code);
            }
        }
    }
}

TEST_F(RawSequence, HostGivingUpMidFrameDoesNotBlockTheNextCommand) {
    auto partial = Encoded(CmdGetControllerInfo);
    partial.resize(10);
    Send(Separated(partial));
    Send(Separated(Encoded(CmdProbe)));
    EXPECT_TRUE(ReplySigned());
}

TEST(SimProtocol, ReplyAfterSomePollsMeetsOrMissesTheBudget) {
    struct Case {
        const char* what;
        std::uint8_t code;
        std::optional<std::uint32_t> delay;
        CommandStatus expected;
        std::size_t polls;  // 0: not checked
    };
    const Case cases[] = {
        {"no delay answers on the first poll", CmdAtaIssue, 0, kStatusOk, 1},
        {"3 silent polls fit the ATA budget", CmdAtaIssue, 3, kStatusOk, 4},
        {"4 silent polls exceed the ATA budget", CmdAtaIssue, 4, kErrNoReply, 4},
        {"a slow probe still answers within 2 s", CmdProbe, 150, kStatusOk, 151},
        {"a probe never answered", CmdProbe, std::nullopt, kErrNoReply, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FaultConfig delay;
        delay.kind = FaultKind::NoReply;
        delay.code = c.code;
        delay.polls = c.delay;
        Rig rig(OneEnclosure({delay}));
        const std::uint64_t start = rig.clock.NowMs();
        const CommandStatus result = c.code == CmdProbe
                                         ? rig.channel.SendCommand(CmdProbe, rig.reply)
                                         : rig.channel.AtaIssue(0xEC, 0, rig.reply);
        EXPECT_EQ(result, c.expected);
        if (c.polls != 0) {
            EXPECT_EQ(rig.ReplyPolls(), c.polls);
        }
        if (c.code == CmdProbe && !c.delay) {
            const std::uint64_t waited = rig.clock.NowMs() - start;
            EXPECT_GE(waited, 2000u);
            EXPECT_LT(waited, 3100u);
        }
    }
}

TEST(SimProtocol, InjectedFaultsSurfaceAsTheHostsStatusCodes) {
    struct Case {
        const char* what;
        FaultConfig fault;
        CommandStatus expected;
    };
    auto fault = [](FaultKind kind) {
        FaultConfig f;
        f.kind = kind;
        f.code = CmdGetControllerInfo;
        return f;
    };
    FaultConfig unknownStatus = fault(FaultKind::StatusByte);
    unknownStatus.status = 0x21;
    FaultConfig knownStatus = fault(FaultKind::StatusByte);
    knownStatus.status = 0xE0;
    FaultConfig secondSignature = fault(FaultKind::BadSignature);
    secondSignature.secondSignature = true;
    const Case cases[] = {
        {"unknown status byte", unknownStatus, kErrUnknownStatus},
        {"known error status passes", knownStatus, 0xE0},
        {"sequence read fails", fault(FaultKind::SequenceRead), kErrSequenceRead},
        {"reply read fails", fault(FaultKind::ReplyRead), kErrReplyRead},
        {"first signature wrong", fault(FaultKind::BadSignature), kErrNoReply},
        {"second signature wrong", secondSignature, kErrNoReply},
        {"never answered", fault(FaultKind::NoReply), kErrNoReply},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig(OneEnclosure({c.fault}));
        EXPECT_EQ(rig.channel.SendCommand(CmdProbe, rig.reply), kStatusOk) << "other codes spared";
        EXPECT_EQ(rig.channel.SendCommand(CmdGetControllerInfo, rig.reply), c.expected);
        EXPECT_EQ(rig.sim.OpenHandleCount(), 0u);
    }
}

TEST(SimProtocol, FaultsKeepToTheirTimeWindowAndCount) {
    FaultConfig windowed;
    windowed.kind = FaultKind::StatusByte;
    windowed.status = 0x21;
    windowed.fromMs = 10'000;
    windowed.untilMs = 20'000;
    FaultConfig twice;
    twice.kind = FaultKind::SequenceRead;
    twice.code = CmdFlashRead;
    twice.times = 2;
    Rig rig(OneEnclosure({windowed, twice}));

    EXPECT_EQ(rig.channel.SendCommand(CmdProbe, rig.reply), kStatusOk);
    rig.clock.Advance(10'000);
    EXPECT_EQ(rig.channel.SendCommand(CmdProbe, rig.reply), kErrUnknownStatus);
    rig.clock.Advance(10'000);
    EXPECT_EQ(rig.channel.SendCommand(CmdProbe, rig.reply), kStatusOk);

    const DeviceHandle handle = rig.sim.OpenDevice(0);
    FlashChunk data{};
    EXPECT_EQ(rig.channel.FlashRead(handle, 0x80, data), kErrSequenceRead);
    EXPECT_EQ(rig.channel.FlashRead(handle, 0x80, data), kErrSequenceRead);
    EXPECT_EQ(rig.channel.FlashRead(handle, 0x80, data), kStatusOk);
    rig.sim.CloseHandle(handle);
}

}  // namespace
}  // namespace raid::sim
