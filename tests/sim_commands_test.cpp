// The stand-in controller's answers to the vendor command table, read back
// through the host's protocol code at the reply offsets the program decodes.
#include <gtest/gtest.h>

#include <string>

#include "device/command_channel.h"
#include "sim/sim_transport.h"

namespace raid::sim {
namespace {

std::uint64_t BigEndian(const ReplySector& r, std::size_t at, std::size_t size) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i) {
        value = (value << 8) | r[at + i];
    }
    return value;
}

std::string Bytes(const ReplySector& r, std::size_t at, std::size_t size) {
    return std::string(r.begin() + static_cast<std::ptrdiff_t>(at),
                       r.begin() + static_cast<std::ptrdiff_t>(at + size));
}

EnclosureConfig Hybrid() {
    EnclosureConfig e;
    e.disk = 0;
    e.raidMode = kModeMirror;
    ControllerConfig& c = e.controller;
    c.firmware = {0x14, 0x04, 0x03, 0x10, 0x62, 0x18, 0xAB, 0xCD};
    c.name = "Dock";
    c.temperature = 45;
    c.fanRpm = 0x1234;
    c.buzzer = BuzzerKind::On;
    c.environment = true;
    c.backup = BackupConfig{7, 0x0102, 3, 6, {1, 4, 20}};
    c.hybridConfig = true;
    c.hybridFeatures = 0x06;
    c.flashSize = 64 * 1024;
    c.infoBytes = {{300, 0x77}};
    e.drives[0] = {kStatePresent, "ABCDEFG", "SER1", 1000, 0x6003, {}};
    e.drives[1] = {kStateAbsent, "GONE", "SER2", 2000, 0x4000, {}};
    return e;
}

class SimCommands : public ::testing::Test {
  protected:
    explicit SimCommands(EnclosureConfig enclosure = Hybrid())
        : sim(Scenario{"t", {enclosure}, {}, {}}, clock), channel(sim, clock) {}

    VirtualClock clock;
    SimTransport sim;
    CommandChannel channel;
    ReplySector reply{};
};

TEST_F(SimCommands, ControllerInformationCarriesEveryNamedField) {
    ASSERT_EQ(channel.SendCommand(CmdGetControllerInfo, reply), kStatusOk);
    EXPECT_EQ(BigEndian(reply, 88, 8), 0x140403106218ABCDull);
    EXPECT_EQ(reply[124], 0);
    EXPECT_EQ(reply[125], 0);
    EXPECT_EQ(reply[0x7F], 45);
    EXPECT_EQ(BigEndian(reply, 0x80, 2), 0x1234u);
    EXPECT_EQ(reply[0x82], 0x5A);
    EXPECT_EQ(reply[130] >> 4, 5) << "buzzer control offered";
    EXPECT_EQ(reply[0x83], 7);
    EXPECT_EQ(BigEndian(reply, 0x84, 2), 0x0102u);
    EXPECT_EQ(reply[0x86] & 0xE0, 0xA0) << "backup bytes valid";
    EXPECT_EQ(reply[0x86] & 0x1F, 6) << "unit";
    EXPECT_EQ(reply[0x87], 3);
    EXPECT_EQ(Bytes(reply, 0x88, 3), std::string("\x01\x04\x14", 3));
    // The name is ATA text: pairs exchanged, blank-padded to 40.
    EXPECT_EQ(Bytes(reply, 160, 40), "oDkc" + std::string(36, ' '));
    // Little-endian capacity; a mirror of 1000 and 2000 sectors holds 1000.
    EXPECT_EQ(Bytes(reply, 200, 6), std::string("\xE8\x03\0\0\0\0", 6));
    EXPECT_EQ(reply[300], 0x77) << "raw override";
}

TEST(SimControllerInfo, AbsentFeaturesLeaveTheirMarksClear) {
    EnclosureConfig plain = Hybrid();
    plain.controller.name.reset();
    plain.controller.environment = false;
    plain.controller.backup.reset();
    plain.controller.buzzer = BuzzerKind::None;
    VirtualClock clock;
    SimTransport sim(Scenario{"t", {plain}, {}, {}}, clock);
    CommandChannel channel(sim, clock);
    ReplySector reply{};
    ASSERT_EQ(channel.SendCommand(CmdGetControllerInfo, reply), kStatusOk);
    EXPECT_EQ(Bytes(reply, 160, 40), std::string(40, '\0')) << "no name: host asks INQUIRY";
    EXPECT_FALSE(reply[124] == 0 && reply[125] == 0);
    EXPECT_NE(reply[0x86] & 0xE0, 0xA0);
    EXPECT_NE(reply[130] >> 4, 5);
    EXPECT_EQ(channel.SendCommand(CmdBuzzerMuteOn, reply), 0xD0);
    EXPECT_EQ(channel.SendCommand(CmdSyncEvery1Hour, reply), 0xD0);
}

TEST_F(SimCommands, DriveInformationHasModeAndBothEntries) {
    ASSERT_EQ(channel.SendCommand(CmdGetDriveInfo, reply), kStatusOk);
    EXPECT_EQ(reply[0x50], kModeMirror);
    EXPECT_EQ(reply[0x54], kStatePresent);
    EXPECT_EQ(Bytes(reply, 0x54 + 4, 40), "BADCFE G" + std::string(32, ' '));
    EXPECT_EQ(Bytes(reply, 0x54 + 0x2C, 20), "ES1R" + std::string(16, ' '));
    EXPECT_EQ(BigEndian(reply, 0x54 + 0x46, 6), 1000u);
    EXPECT_EQ(reply[0xA0], kStateAbsent);
    EXPECT_EQ(Bytes(reply, 0xA0 + 4, 72), std::string(72, '\0')) << "empty bay, no identity";
}

TEST_F(SimCommands, BuzzerScheduleAndHybridCommandsChangeWhatIsReportedBack) {
    struct Step {
        const char* what;
        std::uint8_t code;
        std::array<std::uint8_t, 3> args;  // for 0x78
        std::size_t offset;
        std::uint8_t expected;
    };
    const Step steps[] = {
        {"mute", CmdBuzzerMuteOn, {}, 0x82, 0x55},
        {"unmute", CmdBuzzerMuteOff, {}, 0x82, 0x5A},
        {"off", CmdSyncEvery10Min, {}, 0x83, 0},
        {"preset 1", CmdSyncEvery30Min, {}, 0x83, 1},
        {"preset 2", CmdSyncEvery1Hour, {}, 0x83, 4},
        {"preset 3", CmdSyncEvery3Hours, {}, 0x83, 20},
        {"user period", CmdHybridConfig, {0x02, 10, 0xDF}, 0x83, 10},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        channel.SetQueuedArgs(s.code, s.args[0], s.args[1], s.args[2]);
        ASSERT_EQ(channel.SendCommand(s.code, reply), kStatusOk);
        ASSERT_EQ(channel.SendCommand(CmdGetControllerInfo, reply), kStatusOk);
        EXPECT_EQ(reply[s.offset], s.expected);
    }
    // Ten steps of 6 hours are 60 hours, 21600 ten-second counts, under a week.
    EXPECT_EQ(BigEndian(reply, 0x84, 2), 21600u);
    EXPECT_EQ(reply[0x87], 0);
}

TEST_F(SimCommands, HybridQueryAnswersItsFeatureBitsAndRejectsUnknownSubCommands) {
    channel.SetQueuedArgs(CmdHybridConfig, 0x33, 0xEF, 0xDF);
    ASSERT_EQ(channel.SendCommand(CmdHybridConfig, reply), kStatusOk);
    EXPECT_EQ(reply[81], 0x78);
    EXPECT_EQ(reply[82], 0x33);
    EXPECT_EQ(reply[83], 0x06);
    channel.SetQueuedArgs(CmdHybridConfig, 0x44, 0, 0xDF);
    EXPECT_EQ(channel.SendCommand(CmdHybridConfig, reply), 0xE0);
}

TEST_F(SimCommands, FlashEraseProgramReadRoundTrip) {
    const DeviceHandle handle = sim.OpenDevice(0);
    FlashChunk page;
    for (std::size_t i = 0; i < page.size(); ++i) {
        page[i] = static_cast<std::uint8_t>(i * 3);
    }
    FlashChunk erased;
    erased.fill(0xFF);
    FlashChunk read{};
    EXPECT_EQ(channel.FlashProgram(handle, 0x2080, page), kStatusOk);
    EXPECT_EQ(channel.FlashProgram(handle, 0x3000, page), kStatusOk);
    EXPECT_EQ(channel.FlashRead(handle, 0x2080, read), kStatusOk);
    EXPECT_EQ(read, page);

    // Programming over data without erasing only clears bits, as NOR flash does.
    FlashChunk high;
    high.fill(0xF0);
    EXPECT_EQ(channel.FlashProgram(handle, 0x2080, high), kStatusOk);
    EXPECT_EQ(channel.FlashRead(handle, 0x2080, read), kStatusOk);
    EXPECT_EQ(read[1], 0x03 & 0xF0);

    // Any address inside a 4 KiB sector erases that sector and no other.
    EXPECT_EQ(channel.FlashErase(handle, 0x2F80), kStatusOk);
    EXPECT_EQ(channel.FlashRead(handle, 0x2080, read), kStatusOk);
    EXPECT_EQ(read, erased);
    EXPECT_EQ(channel.FlashRead(handle, 0x3000, read), kStatusOk);
    EXPECT_EQ(read, page);
    sim.CloseHandle(handle);
}

TEST_F(SimCommands, FlashAddressesOutsideTheChipAreRefused) {
    const DeviceHandle handle = sim.OpenDevice(0);
    FlashChunk data{};
    data.fill(0x11);
    const std::uint32_t size = 64 * 1024;
    EXPECT_EQ(channel.FlashRead(handle, size - 128, data), kStatusOk);
    EXPECT_EQ(channel.FlashRead(handle, size, data), 0xE0);
    EXPECT_EQ(data[0], 0xFF) << "a failed read leaves the caller's buffer as the last success";
    EXPECT_EQ(channel.FlashProgram(handle, size, data), 0xE0);
    EXPECT_EQ(channel.FlashErase(handle, size), 0xE0);
    sim.CloseHandle(handle);
}

// The four 128-byte quarters of one relayed ATA result, joined.
std::array<std::uint8_t, 512> FetchSector(CommandChannel& channel, std::uint8_t ata,
                                          std::uint8_t drive) {
    std::array<std::uint8_t, 512> sector{};
    ReplySector reply{};
    for (std::uint8_t part = 1; part <= 4; ++part) {
        EXPECT_EQ(channel.AtaFetch(ata, drive, part, reply), kStatusOk);
        EXPECT_EQ(reply[76], CmdAtaFetch);
        EXPECT_EQ(reply[77], ata);
        std::copy_n(reply.begin() + 80, 128, sector.begin() + (part - 1) * 128);
    }
    return sector;
}

TEST_F(SimCommands, AtaRelayDeliversIdentifyAndSmartSectorsInQuarters) {
    ASSERT_EQ(channel.AtaIssue(0xEC, 0, reply), kStatusOk);
    EXPECT_EQ(reply[76], CmdAtaIssue);
    EXPECT_EQ(reply[77], 0xEC);
    const auto identify = FetchSector(channel, 0xEC, 0);
    EXPECT_EQ(identify[212] | identify[213] << 8, 0x6003) << "word 106";
    EXPECT_EQ(std::string(identify.begin() + 54, identify.begin() + 62), "BADCFE G");

    ASSERT_EQ(channel.AtaIssue(0xD0, 0, reply), kStatusOk);
    const auto data = FetchSector(channel, 0xD0, 0);
    ASSERT_EQ(channel.AtaIssue(0xD1, 0, reply), kStatusOk);
    const auto thresholds = FetchSector(channel, 0xD1, 0);
    // Slot 3 of the healthy set: ID 5, threshold 140 in the same slot.
    EXPECT_EQ(data[2 + 3 * 12], 5);
    EXPECT_EQ(thresholds[2 + 3 * 12], 5);
    EXPECT_EQ(thresholds[2 + 3 * 12 + 1], 140);
    std::uint8_t sum = 0;
    for (std::uint8_t b : data) {
        sum = static_cast<std::uint8_t>(sum + b);
    }
    EXPECT_EQ(sum, 0) << "SMART checksum";
}

TEST_F(SimCommands, AtaRelayRefusesWhatNoDriveCouldAnswer) {
    EXPECT_EQ(channel.AtaIssue(0xD0, 1, reply), 0xC0) << "empty bay";
    EXPECT_EQ(reply[76], CmdAtaIssue);
    EXPECT_EQ(channel.AtaFetch(0xD1, 0, 1, reply), 0xE0) << "nothing issued yet";
    ASSERT_EQ(channel.AtaIssue(0xD1, 0, reply), kStatusOk);
    EXPECT_EQ(channel.AtaFetch(0xD1, 0, 5, reply), 0xE0) << "only four quarters";
    EXPECT_EQ(channel.AtaFetch(0xD0, 0, 1, reply), 0xE0) << "other command's result";
}

TEST_F(SimCommands, UnknownCodeIsAnsweredAsUnsupported) {
    EXPECT_EQ(channel.SendCommand(0x55, reply), 0xD0);
}

}  // namespace
}  // namespace raid::sim
