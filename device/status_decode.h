#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "device/raid_status.h"
#include "device/transport.h"

namespace raid {

using ReplyView = std::span<const std::uint8_t, kSectorSize>;

// Class bits of one drive state code, in HDD1 position (HDD2: shift left 4).
std::uint8_t ClassOfState(std::uint8_t state);

// Raw mode byte of the drive-information reply to the mode code.
std::uint8_t RaidModeOfRaw(std::uint8_t raw);

// Fan, temperature, buzzer and backup bytes of a controller-information
// reply. `applySettingPending` keeps buzzerChanged set while the user's
// buzzer command has not been sent yet.
void DecodeControllerInfo(ReplyView reply, MonitorSlot& slot, RaidStatus& record,
                          bool applySettingPending);

// Whether the firmware of a processed controller-information block (its
// version bytes at 46-49) reports HDD1 in the second drive entry.
bool DrivesSwappedByFirmware(ReplyView block);

enum class DriveInfoDecode { Poll, Discovery };

// The drive-information reply into the record. Discovery copies model,
// serial and capacity only for present and failed drives and blanks them on
// a record that was not valid before; the poll keeps the last values of an
// absent drive only.
void DecodeDriveInfo(ReplyView reply, MonitorSlot& slot, RaidStatus& record, DriveInfoDecode how);

// Task length and position of an extended-status reply.
std::uint64_t TaskLength(ReplyView reply);
std::uint64_t TaskPosition(ReplyView reply);
inline constexpr std::size_t kTaskStatusOffset = 0x54;

// position * 100 / length, truncated to 8 bits; nothing when length is 0.
std::optional<std::uint8_t> ProgressPercent(std::uint64_t position, std::uint64_t length);

// Big-endian and little-endian reads of up to 8 bytes.
std::uint64_t ReadBigEndian(std::span<const std::uint8_t> bytes);
std::uint64_t ReadLittleEndian(std::span<const std::uint8_t> bytes);

}  // namespace raid
