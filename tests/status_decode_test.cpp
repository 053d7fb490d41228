// The status decoders fed with reply sectors built by hand, byte by byte at
// the offsets the controller's reply layouts give, so that an offset shared
// by the decoder and the stand-in controller cannot hide a mistake.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "device/command_channel.h"
#include "device/status_decode.h"

namespace raid {
namespace {

// Drive-information reply (0x17): raw mode at 0x50, entries A at 0x54 and B
// at 0xA0; within an entry the state at 0, model at 4 (40 bytes), serial at
// 0x2C (20 bytes), capacity at 0x46 (6 bytes, most significant first).
constexpr std::size_t kRawModeAt = 0x50;
constexpr std::size_t kEntryAAt = 0x54;
constexpr std::size_t kEntryBAt = 0xA0;

struct Drive {
    std::uint8_t state = 0;
    std::string model;
    std::string serial;
    std::uint64_t capacity = 0;
};

void PutText(ReplySector& r, std::size_t at, std::size_t width, const std::string& text) {
    std::fill_n(r.begin() + static_cast<std::ptrdiff_t>(at), width, std::uint8_t{' '});
    std::copy_n(text.begin(), std::min(width, text.size()),
                r.begin() + static_cast<std::ptrdiff_t>(at));
}

void PutEntry(ReplySector& r, std::size_t at, const Drive& d) {
    r[at] = d.state;
    PutText(r, at + 4, 40, d.model);
    PutText(r, at + 0x2C, 20, d.serial);
    for (std::size_t i = 0; i < 6; ++i) {
        r[at + 0x46 + i] = static_cast<std::uint8_t>(d.capacity >> (8 * (5 - i)));
    }
}

ReplySector DriveInfoReply(std::uint8_t rawMode, const Drive& a, const Drive& b) {
    ReplySector r{};
    r.fill(0xEE);  // whatever the decoder must not read shows up as 0xEE
    r[kRawModeAt] = rawMode;
    PutEntry(r, kEntryAAt, a);
    PutEntry(r, kEntryBAt, b);
    return r;
}

std::string Text(const auto& field) {
    return std::string(field.begin(), field.end());
}

std::string Padded(const std::string& text, std::size_t width) {
    return text + std::string(width - text.size(), ' ');
}

const Drive kA{0, "MODEL-A", "SERIAL-A", 0x0001'D1C0'BEB0};
const Drive kB{0, "MODEL-B", "SERIAL-B", 0x0000'E8E0'DB5F};

TEST(DriveInfoDecode, EntryAIsHdd1AndEntryBHdd2) {
    MonitorSlot slot;
    RaidStatus r;
    DecodeDriveInfo(DriveInfoReply(2, kA, kB), slot, r, DriveInfoDecode::Poll);
    EXPECT_EQ(Text(r.hdd1Model), Padded("MODEL-A", 40));
    EXPECT_EQ(Text(r.hdd1Serial), Padded("SERIAL-A", 20));
    EXPECT_EQ(r.hdd1Capacity, 0x0001'D1C0'BEB0u);
    EXPECT_EQ(Text(r.hdd2Model), Padded("MODEL-B", 40));
    EXPECT_EQ(Text(r.hdd2Serial), Padded("SERIAL-B", 20));
    EXPECT_EQ(r.hdd2Capacity, 0x0000'E8E0'DB5Fu);
    EXPECT_EQ(r.driveClass, 0x22);
}

TEST(DriveInfoDecode, SwappedDrivesTakeEntryBAsHdd1) {
    MonitorSlot slot;
    slot.drivesSwapped = true;
    RaidStatus r;
    Drive busyB = kB;
    busyB.state = 1;
    DecodeDriveInfo(DriveInfoReply(2, kA, busyB), slot, r, DriveInfoDecode::Poll);
    EXPECT_EQ(Text(r.hdd1Model), Padded("MODEL-B", 40));
    EXPECT_EQ(Text(r.hdd1Serial), Padded("SERIAL-B", 20));
    EXPECT_EQ(r.hdd1Capacity, 0x0000'E8E0'DB5Fu);
    EXPECT_EQ(r.hdd1State, 1);
    EXPECT_EQ(Text(r.hdd2Model), Padded("MODEL-A", 40));
    EXPECT_EQ(r.hdd2State, 0);
    EXPECT_EQ(r.taskMask, 0x01) << "the busy drive is HDD1";
    EXPECT_TRUE(slot.progressActive);
}

TEST(DriveInfoDecode, RawModes) {
    struct Case {
        std::uint8_t raw;
        std::uint8_t mode;
    };
    for (const Case c : {Case{0, kModeJbod}, Case{1, kModeStriping}, Case{2, kModeMirroring},
                         Case{3, kModeBypass}, Case{4, kModeBypass}, Case{0xFF, kModeBypass}}) {
        MonitorSlot slot;
        RaidStatus r;
        DecodeDriveInfo(DriveInfoReply(c.raw, kA, kB), slot, r, DriveInfoDecode::Poll);
        EXPECT_EQ(r.raidMode, c.mode) << "raw mode " << int(c.raw);
    }
}

TEST(DriveInfoDecode, StateCodesGiveOneClassBitPerDriveAndTheBusyBits) {
    struct Case {
        std::uint8_t state;
        std::uint8_t hdd1Class;  // HDD1 position; HDD2 is shifted left by 4
        bool busy;
    };
    const Case cases[] = {
        {0, kClassPresent, false},   {1, kClassPresent, true},    {6, kClassInserted, false},
        {9, kClassFailed, false},    {0x12, kClassFailed, false}, {2, kClassAbsent, false},
        {0x11, kClassAbsent, false}, {0xFF, kClassAbsent, false},
    };
    for (const Case& c : cases) {
        Drive a = kA;
        a.state = c.state;
        Drive b = kB;
        b.state = c.state;
        MonitorSlot slot;
        RaidStatus r;
        DecodeDriveInfo(DriveInfoReply(2, a, b), slot, r, DriveInfoDecode::Poll);
        EXPECT_EQ(r.driveClass, c.hdd1Class | (c.hdd1Class << 4)) << "state " << int(c.state);
        EXPECT_EQ(r.taskMask, c.busy ? 0x03 : 0x00) << "state " << int(c.state);
        EXPECT_EQ(slot.progressActive, c.busy) << "state " << int(c.state);
        EXPECT_EQ(r.hdd1State, c.state);
        EXPECT_EQ(r.hdd2State, c.state);
    }
}

// The record as a first decode left it: both drives known.
RaidStatus KnownDrives() {
    MonitorSlot slot;
    RaidStatus r;
    DecodeDriveInfo(DriveInfoReply(2, kA, kB), slot, r, DriveInfoDecode::Poll);
    r.validMark = kValidMark;
    return r;
}

TEST(DriveInfoDecode, PollKeepsAnAbsentDrivesFieldsAndCopiesAnInsertedOnes) {
    RaidStatus r = KnownDrives();
    const Drive gone{0xFF, "JUNK", "JUNK", 7};
    const Drive inserted{6, "NEW-B", "NEWSER-B", 1234};
    MonitorSlot slot;
    DecodeDriveInfo(DriveInfoReply(2, gone, inserted), slot, r, DriveInfoDecode::Poll);
    EXPECT_EQ(r.driveClass, 0x14);
    EXPECT_EQ(Text(r.hdd1Model), Padded("MODEL-A", 40));
    EXPECT_EQ(Text(r.hdd1Serial), Padded("SERIAL-A", 20));
    EXPECT_EQ(r.hdd1Capacity, 0x0001'D1C0'BEB0u);
    EXPECT_EQ(Text(r.hdd2Model), Padded("NEW-B", 40));
    EXPECT_EQ(r.hdd2Capacity, 1234u);
}

TEST(DriveInfoDecode, DiscoveryCopiesOnlyPresentAndFailedDrives) {
    const Drive failed{9, "FAILED-A", "FSER-A", 99};
    const Drive inserted{6, "NEW-B", "NEWSER-B", 1234};

    // A record that was filled before keeps what it knew of the inserted drive.
    RaidStatus known = KnownDrives();
    MonitorSlot slot;
    DecodeDriveInfo(DriveInfoReply(2, failed, inserted), slot, known, DriveInfoDecode::Discovery);
    EXPECT_EQ(Text(known.hdd1Model), Padded("FAILED-A", 40));
    EXPECT_EQ(known.hdd1Capacity, 99u);
    EXPECT_EQ(Text(known.hdd2Model), Padded("MODEL-B", 40));
    EXPECT_EQ(known.hdd2Capacity, 0x0000'E8E0'DB5Fu);

    // A fresh record gets blanks for it.
    RaidStatus fresh;
    DecodeDriveInfo(DriveInfoReply(2, failed, inserted), slot, fresh, DriveInfoDecode::Discovery);
    EXPECT_EQ(Text(fresh.hdd2Model), std::string(40, ' '));
    EXPECT_EQ(Text(fresh.hdd2Serial), std::string(20, ' '));
    EXPECT_EQ(fresh.hdd2Capacity, 0u);
    EXPECT_EQ(Text(fresh.hdd1Serial), Padded("FSER-A", 20));
}

// Version bytes 46-49 of the processed controller-information block.
TEST(ControllerBlockDecode, FirmwareSaysWhetherTheDriveEntriesAreSwapped) {
    struct Case {
        std::array<std::uint8_t, 4> version;
        bool swapped;
    };
    const Case cases[] = {
        {{0x14, 0x04, 0x03, 0x21}, false},  // this firmware never swaps
        {{0x14, 0x04, 0x03, 0x00}, false}, {{0x15, 0x01, 0x02, 0x00}, false},
        {{0x15, 0x01, 0x02, 0x10}, false}, {{0x15, 0x01, 0x02, 0x3F}, false},
        {{0x15, 0x01, 0x02, 0x01}, true},  {{0x15, 0x01, 0x02, 0x21}, true},
        {{0x14, 0x04, 0x04, 0x0F}, true},
    };
    for (const Case& c : cases) {
        ReplySector block{};
        std::copy(c.version.begin(), c.version.end(), block.begin() + 46);
        EXPECT_EQ(DrivesSwappedByFirmware(block), c.swapped)
            << std::hex << int(c.version[0]) << " " << int(c.version[1]) << " " << int(c.version[2])
            << " " << int(c.version[3]);
    }
}

// Controller-information reply (0x11): temperature at 0x7F, fan at
// 0x80-0x81 most significant first, buzzer at 0x82, backup bytes at
// 0x83-0x85 and 0x87, valid when 0x86 & 0xE0 is 0xA0.
ReplySector ControllerInfoReply(std::uint8_t buzzer, std::uint8_t backupMark) {
    ReplySector r{};
    r.fill(0xEE);
    r[0x7F] = 41;
    r[0x80] = 0x12;
    r[0x81] = 0x34;
    r[0x82] = buzzer;
    r[0x83] = 0x01;
    r[0x84] = 0x21;
    r[0x85] = 0xC0;
    r[0x86] = backupMark;
    r[0x87] = 0x03;
    return r;
}

TEST(ControllerInfoDecode, FanIsBigEndianAndTemperatureOneByte) {
    MonitorSlot slot;
    RaidStatus r;
    DecodeControllerInfo(ControllerInfoReply(0x5A, 0xA0), slot, r, false);
    EXPECT_EQ(r.fanRpm, 0x1234);
    EXPECT_EQ(r.temperature, 41);
}

TEST(ControllerInfoDecode, BuzzerByte) {
    struct Case {
        std::uint8_t byte;
        bool on;
    };
    for (const Case c : {Case{0x5A, true}, Case{0x55, false}, Case{0x00, false}, Case{0x5B, false},
                         Case{0xDA, false}}) {
        MonitorSlot slot;
        slot.features = kFeatureBuzzer;
        slot.buzzerChanged = true;
        RaidStatus r;
        r.controlFlags = c.on ? 0 : 1;  // the opposite of what the reply says
        DecodeControllerInfo(ControllerInfoReply(c.byte, 0), slot, r, false);
        EXPECT_EQ(r.controlFlags & 1, c.on ? 1 : 0) << "byte " << int(c.byte);
        EXPECT_FALSE(slot.buzzerChanged) << "read back";
    }

    // Without buzzer control the byte means nothing; while the user's
    // command still waits, the change is not yet read back.
    MonitorSlot plain;
    RaidStatus r;
    r.controlFlags = 1;
    DecodeControllerInfo(ControllerInfoReply(0x55, 0), plain, r, false);
    EXPECT_EQ(r.controlFlags, 1);
    MonitorSlot waiting;
    waiting.features = kFeatureBuzzer;
    waiting.buzzerChanged = true;
    DecodeControllerInfo(ControllerInfoReply(0x5A, 0), waiting, r, true);
    EXPECT_TRUE(waiting.buzzerChanged);
}

TEST(ControllerInfoDecode, BackupBytesOnlyWithTheValidMark) {
    struct Case {
        std::uint8_t mark;
        bool valid;
    };
    for (const Case c :
         {Case{0xA0, true}, Case{0xB8, true}, Case{0xBF, true}, Case{0xE0, false},
          Case{0x80, false}, Case{0x20, false}, Case{0x00, false}, Case{0xFF, false}}) {
        MonitorSlot slot;
        RaidStatus r;
        r.backupInfo = {9, 9, 9, 9};
        DecodeControllerInfo(ControllerInfoReply(0x5A, c.mark), slot, r, false);
        const std::array<std::uint8_t, 4> expected =
            c.valid ? std::array<std::uint8_t, 4>{0x01, 0x21, 0xC0, 0x03}
                    : std::array<std::uint8_t, 4>{0, 0, 0, 0};
        EXPECT_EQ(r.backupInfo, expected) << "mark " << int(c.mark);
    }
}

// Extended-status reply (0x15): task status at 0x54, task length at
// 0x5E-0x63 and position at 0x77-0x7B, most significant first.
TEST(ExtendedStatusDecode, LengthPositionAndPercent) {
    ReplySector r{};
    r.fill(0xEE);
    const std::uint64_t length = 0x0001'D1C0'BEB0;  // 7814037168 sectors
    const std::uint64_t position = length / 4;
    for (std::size_t i = 0; i < 6; ++i) {
        r[0x5E + i] = static_cast<std::uint8_t>(length >> (8 * (5 - i)));
    }
    for (std::size_t i = 0; i < 5; ++i) {
        r[0x77 + i] = static_cast<std::uint8_t>(position >> (8 * (4 - i)));
    }
    EXPECT_EQ(TaskLength(r), length);
    EXPECT_EQ(TaskPosition(r), position);
    EXPECT_EQ(ProgressPercent(TaskPosition(r), TaskLength(r)), 25);
    EXPECT_EQ(kTaskStatusOffset, 0x54u);

    EXPECT_EQ(ProgressPercent(0xFF'FFFF'FFFF, 0xFF'FFFF'FFFF), 100) << "no 32-bit overflow";
    EXPECT_EQ(ProgressPercent(5, 0), std::nullopt);
}

}  // namespace
}  // namespace raid
