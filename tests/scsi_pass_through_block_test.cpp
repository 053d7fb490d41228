#include "device/scsi_pass_through_block.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "device/transport.h"

namespace raid {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes BlockBytes(const PassThroughBlock& block) {
    return Bytes(block.bytes.begin(), block.bytes.begin() + static_cast<long>(block.size));
}

// The reference request blocks, written out in full so that a field at the
// wrong offset or a byte left unzeroed shows up as a diff.
TEST(PassThroughBlock, Read10OfSeparatorSectorMatchesTheReferenceBlock) {
    const Bytes expected = {// Length 44, ScsiStatus, PathId 0, TargetId 1, Lun 0, CdbLength 10,
                            // SenseInfoLength 24, DataIn 1, 3 bytes alignment
                            0x2C, 0x00, 0x00, 0x00, 0x01, 0x00, 0x0A, 0x18, 0x01, 0x00, 0x00, 0x00,
                            // DataTransferLength 512, TimeOutValue 3000
                            0x00, 0x02, 0x00, 0x00, 0xB8, 0x0B, 0x00, 0x00,
                            // DataBuffer 0x0804A0C0, SenseInfoOffset 48
                            0xC0, 0xA0, 0x04, 0x08, 0x30, 0x00, 0x00, 0x00,
                            // Cdb[16]
                            0x28, 0x00, 0x00, 0x00, 0x5F, 0xFF, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,
                            0x00, 0x00, 0x00, 0x00,
                            // filler
                            0x00, 0x00, 0x00, 0x00,
                            // sense area
                            0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                            0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                            0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    ASSERT_EQ(expected.size(), 80u);
    const PassThroughBlock block =
        BuildPassThroughBlock(ReadRequest(0x5FFF, 1, 0x0804A0C0), PassThroughAbi::X86);
    EXPECT_EQ(BlockBytes(block), expected);
}

TEST(PassThroughBlock, InquiryMatchesTheReferenceBlock) {
    Bytes expected(80, 0);
    const Bytes head = {0x2C, 0x00, 0x00, 0x00, 0x01, 0x00, 0x0A, 0x18, 0x01, 0x00, 0x00,
                        0x00, 0x24, 0x00, 0x00, 0x00, 0xC8, 0x00, 0x00, 0x00,  // 36 bytes, 200 s
                        0x78, 0x56, 0x34, 0x12, 0x30, 0x00, 0x00, 0x00,  // buffer, sense at 48
                        0x12, 0x00, 0x00, 0x00, 0x24, 0x00, 0x00, 0x00, 0x00, 0x00};
    std::copy(head.begin(), head.end(), expected.begin());
    const PassThroughBlock block =
        BuildPassThroughBlock(InquiryRequest(0x12345678), PassThroughAbi::X86);
    EXPECT_EQ(BlockBytes(block), expected);
}

TEST(PassThroughBlock, X64LayoutPlacesPointerAndCdbWhereTheNativeStructureHasThem) {
    const PassThroughBlock block = BuildPassThroughBlock(
        ReadRequest(0x01020304, 2, 0x00007FF612345678ull), PassThroughAbi::X64);
    ASSERT_EQ(block.size, 88u);
    const Bytes bytes = BlockBytes(block);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 24),
              (Bytes{0x38, 0x00, 0x00, 0x00, 0x01, 0x00, 0x0A, 0x18, 0x01, 0x00, 0x00, 0x00,
                     0x00, 0x04, 0x00, 0x00, 0xB8, 0x0B, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Bytes(bytes.begin() + 24, bytes.begin() + 36),
              (Bytes{0x78, 0x56, 0x34, 0x12, 0xF6, 0x7F, 0x00, 0x00, 0x38, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Bytes(bytes.begin() + 36, bytes.begin() + 56),
              (Bytes{0x28, 0x00, 0x01, 0x02, 0x03, 0x04, 0x00, 0x00, 0x02, 0x00,
                     0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Bytes(bytes.begin() + 56, bytes.end()), Bytes(32, 0));
}

TEST(Read10Cdb, CountKeepsOnlyItsLowByteAndByteSevenStaysZero) {
    EXPECT_EQ(Read10Cdb(0xA1B2C3D4, 0x1FF),
              (Cdb{0x28, 0x00, 0xA1, 0xB2, 0xC3, 0xD4, 0x00, 0x00, 0xFF, 0x00}));
}

TEST(ReadRequestValidity, CountMustFitTheCdbAndTheBuffer) {
    struct Case {
        std::size_t bufferSize;
        std::uint32_t count;
        bool valid;
    };
    const Case cases[] = {
        {512, 1, true},
        {511, 1, false},
        {1024, 2, true},
        {1023, 2, false},
        {512, 0, false},
        {255 * 512, 255, true},
        {256 * 512, 256, false},  // would be sent as a count of 0
        {1u << 20, 0x80000001u, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsValidReadRequest(c.bufferSize, c.count), c.valid)
            << "buffer " << c.bufferSize << " count " << c.count;
    }
}

TEST(WindowsDevicePath, DiskNumbersAndDriveLetters) {
    EXPECT_EQ(WindowsDevicePath(0), "\\\\.\\PhysicalDrive0");
    EXPECT_EQ(WindowsDevicePath(9), "\\\\.\\PhysicalDrive9");
    EXPECT_EQ(WindowsDevicePath(0x42), "\\\\.\\PhysicalDrive66");
    EXPECT_EQ(WindowsDevicePath('C'), "\\\\.\\C:");
    EXPECT_EQ(WindowsDevicePath('Z'), "\\\\.\\Z:");
}

}  // namespace
}  // namespace raid
