#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace raid {

// The two SCSI commands the program ever sends, as 10-byte CDBs. INQUIRY is a
// 6-byte command, but it is sent with CdbLength 10 and zero padding; the
// controllers accept that and we keep the requests exactly as they were.
inline constexpr std::size_t kCdbLength = 10;
using Cdb = std::array<std::uint8_t, kCdbLength>;

inline constexpr std::uint8_t kOpRead10 = 0x28;
inline constexpr std::uint8_t kOpInquiry = 0x12;
// READ(10) carries the sector count in byte 8 only (byte 7 stays 0).
inline constexpr std::uint32_t kMaxReadSectors = 255;
// Timeouts as the Windows pass-through block carries them, in seconds.
inline constexpr std::uint32_t kRead10TimeoutSeconds = 3000;
inline constexpr std::uint32_t kInquiryTimeoutSeconds = 200;

// 28 00 <lba 31..24> <23..16> <15..8> <7..0> 00 00 <count low 8 bits> 00
Cdb Read10Cdb(std::uint32_t lba, std::uint32_t count);
// 12 00 00 00 24 00 00 00 00 00
Cdb InquiryCdb();

// A read may only be issued when the count fits the CDB and the caller's
// buffer holds every sector the device will send.
bool IsValidReadRequest(std::size_t bufferSize, std::uint32_t count);

// What one request puts into SCSI_PASS_THROUGH_DIRECT besides the fixed fields.
struct PassThroughRequest {
    Cdb cdb{};
    std::uint32_t dataTransferLength = 0;
    std::uint32_t timeoutSeconds = 0;
    std::uint64_t dataBuffer = 0;  // the caller's buffer address
};

// The request block handed to IOCTL_SCSI_PASS_THROUGH_DIRECT as both input and
// output: SCSI_PASS_THROUGH_DIRECT, filler up to the sense area, 32 sense bytes.
//
// X86 is the reference layout (a 44-byte structure with a 32-bit DataBuffer,
// 4 filler bytes, sense at 48, 80 bytes in all). On 64-bit Windows the same
// structure is 56 bytes because DataBuffer is a pointer aligned to 8:
//   offset  0 Length, 2 ScsiStatus, 3 PathId, 4 TargetId, 5 Lun, 6 CdbLength,
//           7 SenseInfoLength, 8 DataIn, 12 DataTransferLength, 16 TimeOutValue,
//   X86:   20 DataBuffer (4), 24 SenseInfoOffset, 28 Cdb[16]  -> 44 bytes
//   X64:   24 DataBuffer (8), 32 SenseInfoOffset, 36 Cdb[16]  -> 56 bytes
// The driver checks Length against its own sizeof and would refuse an x86
// block from a 64-bit process, so each build uses the layout of its own ABI.
enum class PassThroughAbi { X86, X64 };

inline constexpr std::size_t kSenseAreaLength = 32;
inline constexpr std::size_t kMaxPassThroughBlockSize = 88;

struct PassThroughLayout {
    std::size_t structLength;
    std::size_t dataBufferOffset;
    std::size_t dataBufferSize;
    std::size_t senseInfoOffsetField;
    std::size_t cdbOffset;
    std::size_t senseOffset;
    std::size_t blockSize;
};
PassThroughLayout LayoutFor(PassThroughAbi abi);

struct PassThroughBlock {
    std::array<std::uint8_t, kMaxPassThroughBlockSize> bytes{};
    std::size_t size = 0;  // the IOCTL's input and output buffer size
};

PassThroughBlock BuildPassThroughBlock(const PassThroughRequest& request, PassThroughAbi abi);

PassThroughRequest ReadRequest(std::uint32_t lba, std::uint32_t count, std::uint64_t dataBuffer);
PassThroughRequest InquiryRequest(std::uint64_t dataBuffer);

// The Windows device name for a device code: a disk number (up to 0x42) gives
// \\.\PhysicalDriveN, a larger code the volume \\.\X:.
std::string WindowsDevicePath(std::uint8_t code);

}  // namespace raid
