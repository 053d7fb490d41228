#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace raid::sim {

// A command as the controller reassembled it from the addresses it was read at.
struct ReceivedFrame {
    // Preamble words, header, command, payload (long frames), CRC: 148 bytes at most.
    std::array<std::uint8_t, 148> bytes{};
    bool longForm = false;
    bool crcOk = false;

    std::uint8_t code() const { return bytes[12]; }
    std::array<std::uint8_t, 3> args() const { return {bytes[13], bytes[14], bytes[15]}; }
    std::span<const std::uint8_t, 128> payload() const {
        return std::span<const std::uint8_t, 128>(bytes.data() + 16, 128);
    }
};

// The controller's side of the read-sequence channel. It watches the
// addresses of the reads it serves (without the separator and the reply
// sector) and rebuilds the frame from them: the four preamble addresses
// start a frame, then 0x1xx header, 0x2xx command, 0x3xx payload when the
// header says long, and 0x4xx CRC bytes. An address that does not fit the
// next expected group abandons the frame.
class FrameDecoder {
  public:
    enum class Step {
        Idle,          // an ordinary read, no frame involved
        Progress,      // the read was taken into the frame
        Started,       // the preamble is complete: a command is on its way
        CommandKnown,  // the command code just arrived
        Complete,      // the frame is whole; see Frame().crcOk
        Abandoned,     // the read broke the frame
    };

    Step Feed(std::uint32_t lba);
    void Reset();

    bool InFrame() const { return stage_ != Stage::Idle; }
    const ReceivedFrame& Frame() const { return frame_; }

  private:
    enum class Stage { Idle, Preamble, Header, Command, Payload, Crc };

    Step Abandon();
    Step Take(std::uint32_t lba, std::uint32_t group);
    void Advance();
    bool HeaderValid() const;
    bool CrcMatches() const;

    Stage stage_ = Stage::Idle;
    std::size_t index_ = 0;  // position within the current stage
    ReceivedFrame frame_;
};

}  // namespace raid::sim
