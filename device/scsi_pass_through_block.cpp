#include "device/scsi_pass_through_block.h"

#include "device/transport.h"

namespace raid {

namespace {

// Fixed fields of every request.
constexpr std::uint8_t kPathId = 0;
constexpr std::uint8_t kTargetId = 1;
constexpr std::uint8_t kLun = 0;
constexpr std::uint8_t kSenseInfoLength = 24;
constexpr std::uint8_t kDataIn = 1;

void PutLe(PassThroughBlock& block, std::size_t offset, std::uint64_t value, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        block.bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

}  // namespace

Cdb Read10Cdb(std::uint32_t lba, std::uint32_t count) {
    Cdb cdb{};
    cdb[0] = kOpRead10;
    cdb[2] = static_cast<std::uint8_t>(lba >> 24);
    cdb[3] = static_cast<std::uint8_t>(lba >> 16);
    cdb[4] = static_cast<std::uint8_t>(lba >> 8);
    cdb[5] = static_cast<std::uint8_t>(lba);
    cdb[8] = static_cast<std::uint8_t>(count);
    return cdb;
}

Cdb InquiryCdb() {
    Cdb cdb{};
    cdb[0] = kOpInquiry;
    cdb[4] = static_cast<std::uint8_t>(kInquiryLength);
    return cdb;
}

bool IsValidReadRequest(std::size_t bufferSize, std::uint32_t count) {
    return count >= 1 && count <= kMaxReadSectors &&
           bufferSize / kSectorSize >= static_cast<std::size_t>(count);
}

PassThroughLayout LayoutFor(PassThroughAbi abi) {
    if (abi == PassThroughAbi::X64) {
        return {56, 24, 8, 32, 36, 56, 56 + kSenseAreaLength};
    }
    return {44, 20, 4, 24, 28, 48, 48 + kSenseAreaLength};
}

PassThroughBlock BuildPassThroughBlock(const PassThroughRequest& request, PassThroughAbi abi) {
    const PassThroughLayout layout = LayoutFor(abi);
    PassThroughBlock block;  // zero-filled
    block.size = layout.blockSize;
    PutLe(block, 0, layout.structLength, 2);
    block.bytes[3] = kPathId;
    block.bytes[4] = kTargetId;
    block.bytes[5] = kLun;
    block.bytes[6] = static_cast<std::uint8_t>(kCdbLength);
    block.bytes[7] = kSenseInfoLength;
    block.bytes[8] = kDataIn;
    PutLe(block, 12, request.dataTransferLength, 4);
    PutLe(block, 16, request.timeoutSeconds, 4);
    PutLe(block, layout.dataBufferOffset, request.dataBuffer, layout.dataBufferSize);
    PutLe(block, layout.senseInfoOffsetField, layout.senseOffset, 4);
    for (std::size_t i = 0; i < kCdbLength; ++i) {
        block.bytes[layout.cdbOffset + i] = request.cdb[i];
    }
    return block;
}

PassThroughRequest ReadRequest(std::uint32_t lba, std::uint32_t count, std::uint64_t dataBuffer) {
    return {Read10Cdb(lba, count), count * static_cast<std::uint32_t>(kSectorSize),
            kRead10TimeoutSeconds, dataBuffer};
}

PassThroughRequest InquiryRequest(std::uint64_t dataBuffer) {
    return {InquiryCdb(), static_cast<std::uint32_t>(kInquiryLength), kInquiryTimeoutSeconds,
            dataBuffer};
}

std::string WindowsDevicePath(std::uint8_t code) {
    if (IsDiskCode(code)) {
        return "\\\\.\\PhysicalDrive" + std::to_string(code);
    }
    return std::string("\\\\.\\") + static_cast<char>(code) + ":";
}

}  // namespace raid
