#include "device/command_frame.h"

#include <algorithm>

#include "device/crc32.h"

namespace raid {
namespace {

constexpr std::array<std::uint8_t, 4> kPreambleWords = {0x43, 0x71, 0xA7, 0xDF};
constexpr std::size_t kHeaderOffset = 8;
constexpr std::size_t kCommandOffset = 12;
constexpr std::size_t kPayloadOffset = 16;

// LBA bases of the groups of a read sequence.
constexpr std::uint32_t kHeaderBase = 0x100;
constexpr std::uint32_t kCommandBase = 0x200;
constexpr std::uint32_t kPayloadBase = 0x300;
constexpr std::uint32_t kCrcBase = 0x400;

}  // namespace

CommandFrame BuildFrame(std::uint8_t code, std::uint8_t headerSecond,
                        const std::array<std::uint8_t, 3>& args,
                        const std::array<std::uint8_t, kPayloadLength>* payload) {
    CommandFrame frame;
    frame.longForm = payload != nullptr;
    auto& b = frame.bytes;
    for (std::size_t i = 0; i < kPreambleWords.size(); ++i) {
        b[2 * i] = kPreambleWords[i];  // 16-bit little-endian words
        b[2 * i + 1] = 0x00;
    }
    b[kHeaderOffset + 0] = frame.longForm ? 1 : 0;
    b[kHeaderOffset + 1] = headerSecond;
    b[kHeaderOffset + 2] = 0xEF;
    b[kHeaderOffset + 3] = 0xFF;
    b[kCommandOffset] = code;
    std::copy(args.begin(), args.end(), b.begin() + kCommandOffset + 1);

    std::size_t crcOffset = kPayloadOffset;
    if (payload != nullptr) {
        std::copy(payload->begin(), payload->end(), b.begin() + kPayloadOffset);
        crcOffset = kPayloadOffset + kPayloadLength;
    }
    const std::uint32_t crc = Crc32({b.data(), crcOffset});
    b[crcOffset + 0] = static_cast<std::uint8_t>(crc >> 24);
    b[crcOffset + 1] = static_cast<std::uint8_t>(crc >> 16);
    b[crcOffset + 2] = static_cast<std::uint8_t>(crc >> 8);
    b[crcOffset + 3] = static_cast<std::uint8_t>(crc);
    return frame;
}

ReadSequence EncodeFrame(const CommandFrame& frame) {
    ReadSequence seq;
    auto push = [&seq](std::uint32_t lba) { seq.lbas[seq.length++] = lba; };
    const auto& b = frame.bytes;

    for (std::uint8_t word : kPreambleWords) {
        push(word);
    }
    for (std::size_t i = 0; i < 4; ++i) {
        push(kHeaderBase + b[kHeaderOffset + i]);
    }
    for (std::size_t i = 0; i < 4; ++i) {
        push(kCommandBase + b[kCommandOffset + i]);
    }
    std::size_t crcOffset = kPayloadOffset;
    if (frame.longForm) {
        for (std::size_t i = 0; i < kPayloadLength; ++i) {
            push(kPayloadBase + b[kPayloadOffset + i]);
        }
        crcOffset += kPayloadLength;
    }
    for (std::size_t i = 0; i < 4; ++i) {
        push(kCrcBase + b[crcOffset + i]);
    }
    return seq;
}

}  // namespace raid
