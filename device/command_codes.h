#pragma once

#include <cstddef>
#include <cstdint>

namespace raid {

// Vendor command codes of the read-sequence channel.
inline constexpr std::uint8_t CmdProbe = 0x10;
inline constexpr std::uint8_t CmdGetControllerInfo = 0x11;
inline constexpr std::uint8_t CmdGetExtendedStatus = 0x15;
inline constexpr std::uint8_t CmdGetDriveInfo = 0x17;
inline constexpr std::uint8_t CmdFlashRead = 0x20;
inline constexpr std::uint8_t CmdFlashErase = 0x23;
inline constexpr std::uint8_t CmdFlashProgram = 0x25;
inline constexpr std::uint8_t CmdBuzzerMuteOn = 0x70;
inline constexpr std::uint8_t CmdBuzzerMuteOff = 0x71;
inline constexpr std::uint8_t CmdSyncEvery10Min = 0x72;
inline constexpr std::uint8_t CmdSyncEvery30Min = 0x73;
inline constexpr std::uint8_t CmdSyncEvery1Hour = 0x74;
inline constexpr std::uint8_t CmdSyncEvery3Hours = 0x75;
inline constexpr std::uint8_t CmdHybridConfig = 0x78;
inline constexpr std::uint8_t CmdAtaIssue = 0xB1;
inline constexpr std::uint8_t CmdAtaFetch = 0xB2;

// Sectors with a fixed role in the channel.
inline constexpr std::uint32_t kReplySector = 17;
inline constexpr std::uint32_t kSeparatorSector = 0x5FFF;

// Command status: the controller's byte (0x20 = success) or a local code.
using CommandStatus = std::uint8_t;
inline constexpr CommandStatus kStatusOk = 0x00;       // what wrappers return on success
inline constexpr CommandStatus kDeviceSuccess = 0x20;  // the controller's success byte
inline constexpr CommandStatus kErrOpenFailed = 0xF0;  // target disk could not be opened
inline constexpr CommandStatus kErrReplyRead = 0xF1;   // a read of the reply sector failed
inline constexpr CommandStatus kErrNoReply = 0xF2;     // no signed reply within the budget
// Another process of ours kept the enclosure locked for the whole wait; the
// command was not sent.
inline constexpr CommandStatus kErrEnclosureBusy = 0xF3;
inline constexpr CommandStatus kErrUnknownStatus = 0xF4;  // unknown status byte in the reply
inline constexpr CommandStatus kErrSequenceRead = 0xFF;   // a read of the read sequence failed

// Reply sector layout.
inline constexpr std::size_t kReplyStatusOffset = 48;
inline constexpr std::size_t kReplyEchoCodeOffset = 76;
inline constexpr std::size_t kReplyEchoArgOffset = 77;
inline constexpr std::size_t kReplyDataOffset = 80;
inline constexpr std::size_t kReplyDataLength = 128;
inline constexpr std::size_t kSignatureLength = 16;
inline constexpr std::size_t kSecondSignatureOffset = 496;

}  // namespace raid
