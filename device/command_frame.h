#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace raid {

inline constexpr std::size_t kPayloadLength = 128;
inline constexpr std::size_t kShortFrameLength = 20;
inline constexpr std::size_t kLongFrameLength = 148;
inline constexpr std::size_t kMaxSequenceLength = 144;

// A vendor command before encoding: preamble, header, command code with three
// argument bytes, an optional 128-byte payload and the CRC-32 (big-endian).
struct CommandFrame {
    std::array<std::uint8_t, kLongFrameLength> bytes{};
    bool longForm = false;

    std::size_t size() const { return longForm ? kLongFrameLength : kShortFrameLength; }
    std::span<const std::uint8_t> view() const { return {bytes.data(), size()}; }
};

// The LBAs of the one-sector reads that carry a frame to the controller.
struct ReadSequence {
    std::array<std::uint32_t, kMaxSequenceLength> lbas{};
    std::size_t length = 0;

    std::span<const std::uint32_t> view() const { return {lbas.data(), length}; }
};

// `headerSecond` is the second header byte of the command's row (4 or 5).
// A long frame is built when `payload` is given.
CommandFrame BuildFrame(std::uint8_t code, std::uint8_t headerSecond,
                        const std::array<std::uint8_t, 3>& args,
                        const std::array<std::uint8_t, kPayloadLength>* payload = nullptr);

ReadSequence EncodeFrame(const CommandFrame& frame);

}  // namespace raid
