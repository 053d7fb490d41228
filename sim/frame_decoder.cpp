#include "sim/frame_decoder.h"

#include "device/crc32.h"

namespace raid::sim {
namespace {

constexpr std::array<std::uint32_t, 4> kPreamble = {0x43, 0x71, 0xA7, 0xDF};
constexpr std::size_t kHeaderAt = 8;
constexpr std::size_t kCommandAt = 12;
constexpr std::size_t kPayloadAt = 16;
constexpr std::size_t kPayloadSize = 128;
constexpr std::size_t kGroupSize = 4;

constexpr std::uint32_t kHeaderGroup = 0x100;
constexpr std::uint32_t kCommandGroup = 0x200;
constexpr std::uint32_t kPayloadGroup = 0x300;
constexpr std::uint32_t kCrcGroup = 0x400;

}  // namespace

void FrameDecoder::Reset() {
    stage_ = Stage::Idle;
    index_ = 0;
}

FrameDecoder::Step FrameDecoder::Feed(std::uint32_t lba) {
    // The first preamble address restarts framing wherever we were: a host
    // that gave up on a command simply starts the next one.
    if (lba == kPreamble[0]) {
        const bool broke = stage_ != Stage::Idle;
        frame_ = ReceivedFrame{};
        frame_.bytes[0] = static_cast<std::uint8_t>(lba);
        stage_ = Stage::Preamble;
        index_ = 1;
        return broke ? Step::Abandoned : Step::Progress;
    }
    switch (stage_) {
        case Stage::Idle:
            return Step::Idle;
        case Stage::Preamble:
            if (lba != kPreamble[index_]) {
                return Abandon();
            }
            frame_.bytes[2 * index_] = static_cast<std::uint8_t>(lba);
            if (++index_ == kPreamble.size()) {
                stage_ = Stage::Header;
                index_ = 0;
                return Step::Started;
            }
            return Step::Progress;
        case Stage::Header:
            return Take(lba, kHeaderGroup);
        case Stage::Command:
            return Take(lba, kCommandGroup);
        case Stage::Payload:
            return Take(lba, kPayloadGroup);
        case Stage::Crc:
            return Take(lba, kCrcGroup);
    }
    return Abandon();
}

FrameDecoder::Step FrameDecoder::Abandon() {
    Reset();
    return Step::Abandoned;
}

FrameDecoder::Step FrameDecoder::Take(std::uint32_t lba, std::uint32_t group) {
    if ((lba & ~0xFFu) != group) {
        return Abandon();
    }
    const auto value = static_cast<std::uint8_t>(lba & 0xFF);
    switch (stage_) {
        case Stage::Header:
            frame_.bytes[kHeaderAt + index_] = value;
            break;
        case Stage::Command:
            frame_.bytes[kCommandAt + index_] = value;
            break;
        case Stage::Payload:
            frame_.bytes[kPayloadAt + index_] = value;
            break;
        case Stage::Crc:
            frame_.bytes[(frame_.longForm ? kPayloadAt + kPayloadSize : kPayloadAt) + index_] =
                value;
            break;
        default:
            return Abandon();
    }
    const Stage before = stage_;
    const std::size_t indexBefore = index_;
    Advance();
    if (before == Stage::Header && stage_ != Stage::Header && !HeaderValid()) {
        return Abandon();
    }
    if (before == Stage::Command && indexBefore == 0) {
        return Step::CommandKnown;
    }
    if (before == Stage::Crc && stage_ == Stage::Idle) {
        frame_.crcOk = CrcMatches();
        return Step::Complete;
    }
    return Step::Progress;
}

void FrameDecoder::Advance() {
    ++index_;
    switch (stage_) {
        case Stage::Header:
            if (index_ == kGroupSize) {
                frame_.longForm = frame_.bytes[kHeaderAt] == 1;
                stage_ = Stage::Command;
                index_ = 0;
            }
            break;
        case Stage::Command:
            if (index_ == kGroupSize) {
                stage_ = frame_.longForm ? Stage::Payload : Stage::Crc;
                index_ = 0;
            }
            break;
        case Stage::Payload:
            if (index_ == kPayloadSize) {
                stage_ = Stage::Crc;
                index_ = 0;
            }
            break;
        case Stage::Crc:
            if (index_ == kGroupSize) {
                stage_ = Stage::Idle;
                index_ = 0;
            }
            break;
        default:
            break;
    }
}

bool FrameDecoder::HeaderValid() const {
    const std::uint8_t form = frame_.bytes[kHeaderAt];
    return form <= 1 && frame_.bytes[kHeaderAt + 2] == 0xEF && frame_.bytes[kHeaderAt + 3] == 0xFF;
}

bool FrameDecoder::CrcMatches() const {
    const std::size_t covered = frame_.longForm ? kPayloadAt + kPayloadSize : kPayloadAt;
    std::uint32_t stored = 0;
    for (std::size_t i = 0; i < kGroupSize; ++i) {
        stored = (stored << 8) | frame_.bytes[covered + i];
    }
    return Crc32({frame_.bytes.data(), covered}) == stored;
}

}  // namespace raid::sim
