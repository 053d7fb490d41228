#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "device/device_state.h"

namespace raid {

// Text conversions shared by the event log, the status page and the command
// line, so that every front end prints a record the same way.

// Two upper-case hexadecimal digits.
std::string Hex2(std::uint8_t value);

// ATA identify strings arrive with the two characters of every 16-bit word
// exchanged: character j is printed at position j xor 1. A field that was
// never filled is zero, so the text ends at the first NUL, as a C string would.
// Control characters and bytes that are not UTF-8 become '?' (see SafeText): a
// controller's name can neither forge a log line nor reach a terminal raw.
std::string SwappedText(std::span<const std::uint8_t> field);

// A model (or the enclosure name): swapped, trailing blanks removed, but a
// blank-padded name is never cut below six characters.
std::string ModelText(std::span<const std::uint8_t> field);

// A serial number: swapped, blanks kept.
std::string SerialText(std::span<const std::uint8_t> field);

// The controller's firmware revision from its eight bytes: printable bytes are
// a swapped string; anything else is a binary date "140403.5" (hex of bytes
// 0..2, ".", low nibble of byte 3).
std::string FirmwareText(std::span<const std::uint8_t, 8> bytes);

// The firmware revision and the enclosure name held in a controller block.
std::string BlockFirmwareText(const ControllerBlock& block);
std::string BlockNameText(const ControllerBlock& block);

// A sector count in whole gigabytes (2^21 sectors) or, below one gigabyte, in
// whole megabytes: "465 GB", "976 MB".
std::string SizeText(std::uint64_t sectors);

// The log prints capacities from their low 40 bits only.
inline constexpr std::uint64_t LogSectors(std::uint64_t sectors) {
    return sectors & 0xFF'FFFF'FFFFull;
}

// "465 GB(976773168 Sectors)", from the low 40 bits.
std::string CapacityTail(std::uint64_t sectors);

// "Striping(RAID0)", "Mirroring(RAID1)", "NRAID", "JBOD", "Bypass" (63) and
// "Undefine" for any other code above 3.
std::string ModeName(std::uint8_t mode);

}  // namespace raid
