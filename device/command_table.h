#pragma once

#include <cstdint>

namespace raid {

// One row of the vendor command table.
struct CommandRow {
    std::uint8_t code;
    std::uint8_t headerSecond;  // second header byte: 4, or 5 for flash writes and the ATA relay
    bool longForm;              // carries a 128-byte payload
    std::uint32_t budget;       // reply budget (see kProbeBudget)
};

// The row of a code; codes outside the table are sent as ordinary short
// commands with the usual budget.
CommandRow CommandRowFor(std::uint8_t code);

// Codes whose three argument bytes come from the queued-arguments setter.
inline constexpr bool UsesQueuedArgs(std::uint8_t code) {
    return code >= 0x76 && code <= 0x78;
}

}  // namespace raid
