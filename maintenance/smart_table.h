#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "device/transport.h"

namespace raid {

// Standard ATA SMART sector: a revision word, then 30 entries of 12 bytes.
inline constexpr std::size_t kSmartSlots = 30;
inline constexpr std::size_t kSmartFirstEntry = 2;
inline constexpr std::size_t kSmartEntrySize = 12;

// Health codes of one attribute.
inline constexpr std::uint8_t kHealthGood = 0;
inline constexpr std::uint8_t kHealthNoted = 1;    // an event counter moved
inline constexpr std::uint8_t kHealthPending = 2;  // sectors wait for reallocation
inline constexpr std::uint8_t kHealthAlert = 4;
inline constexpr std::uint8_t kHealthError = 16;  // below its threshold

enum class SmartColour { White, Yellow, Red, Black, Maroon };

using SmartSectorView = std::span<const std::uint8_t, kSectorSize>;

// The health code of one attribute from its ID, its worst value, the
// threshold in the same slot and whether its raw value is non-zero.
std::uint8_t SmartHealthCode(std::uint8_t id, std::uint8_t worst, std::uint8_t threshold,
                             bool rawNonZero);

// "Error" for code 16, "Alert" for 1, 2 and 4, "Good" for 0; and its row colour.
std::string SmartStatusText(std::uint8_t code);
SmartColour SmartRowColour(std::uint8_t code);

// A raw value as 12 upper-case hexadecimal digits, most significant first.
std::string SmartRawText(std::uint64_t raw);

// "05-Reallocated sector count"; an ID the name table lacks reads "0Fh-UnKnown".
std::string SmartNameText(std::uint8_t id);

struct SmartRow {
    std::size_t slot = 0;  // position in the sector, 0-29
    std::uint8_t id = 0;
    std::uint8_t value = 0;
    std::uint8_t worst = 0;
    std::uint8_t threshold = 0;
    std::uint64_t raw = 0;
    std::uint8_t code = 0;  // 0 for an unknown ID
    // ID-name, value, worst, threshold, raw, status.
    std::array<std::string, 6> cells;
    SmartColour colour = SmartColour::White;
};

struct SmartLine {
    std::string text;
    std::string hint;
};

// Everything the SMART page shows of one drive.
struct SmartTable {
    // Empty when the sector's first slot is empty: the grid is hidden and the
    // two lines below it are blank.
    std::vector<SmartRow> rows;
    std::uint8_t overall = 0;
    std::string overallText;  // " Good ", " Warning ", " Error "
    SmartColour overallColour = SmartColour::Black;
    SmartLine fourK;  // the 4K sector line and its hint
};

// Builds the table of one drive from its data and threshold sectors and its
// sector-size word (IDENTIFY word 106 or an error code with bit 15 set).
SmartTable BuildSmartTable(SmartSectorView data, SmartSectorView thresholds,
                           std::uint32_t sectorWord);

// The overall word of an overall code, and its colour.
std::string SmartOverallText(std::uint8_t overall);
SmartColour SmartOverallColour(std::uint8_t overall);

// " 4K Sector supported : Yes " / " No " / " Unknown " with its hint.
SmartLine FourKLine(std::uint32_t sectorWord);
// The answer of that line alone: "Yes", "No" or "Unknown".
std::string FourKAnswer(std::uint32_t sectorWord);

}  // namespace raid
