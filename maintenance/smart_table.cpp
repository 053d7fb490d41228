#include "maintenance/smart_table.h"

#include <algorithm>
#include <cstdio>

#include "maintenance/smart_attributes.h"
#include "maintenance/smart_store.h"
#include "monitor/status_text.h"

namespace raid {
namespace {

// Noted and pending codes add up towards " Warning "; they may never add up
// to the error bit, which only an attribute below its threshold sets.
constexpr std::uint8_t kHighestSum = 0x0F;

std::string Hex4(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(value));
    return text;
}

std::uint64_t RawOf(std::span<const std::uint8_t> entry) {
    std::uint64_t raw = 0;
    for (std::size_t i = 0; i < 6; ++i) {
        raw |= std::uint64_t{entry[5 + i]} << (8 * i);
    }
    return raw;
}

std::span<const std::uint8_t> Entry(SmartSectorView sector, std::size_t slot) {
    return sector.subspan(kSmartFirstEntry + slot * kSmartEntrySize, kSmartEntrySize);
}

}  // namespace

std::uint8_t SmartHealthCode(std::uint8_t id, std::uint8_t worst, std::uint8_t threshold,
                             bool rawNonZero) {
    const bool below = worst < threshold;
    switch (id) {
        case 5:
            return below ? kHealthError : rawNonZero ? kHealthNoted : kHealthGood;
        case 7:
        case 8:
            return below ? kHealthError : kHealthGood;
        case 10:
            return below ? kHealthError : rawNonZero ? kHealthAlert : kHealthGood;
        case 11:
            return rawNonZero ? kHealthAlert : kHealthGood;
        case 190:
            return below ? kHealthAlert : kHealthGood;
        case 196:
        case 198:
        case 199:
            return rawNonZero ? kHealthNoted : kHealthGood;
        case 197:
            return rawNonZero ? kHealthPending : kHealthGood;
        default:
            return kHealthGood;
    }
}

std::string SmartStatusText(std::uint8_t code) {
    if (code == kHealthError) {
        return "Error";
    }
    return code == kHealthGood ? "Good" : "Alert";
}

SmartColour SmartRowColour(std::uint8_t code) {
    if (code == kHealthError) {
        return SmartColour::Red;
    }
    return code == kHealthGood ? SmartColour::White : SmartColour::Yellow;
}

std::string SmartRawText(std::uint64_t raw) {
    char text[24];
    std::snprintf(text, sizeof text, "%012llX",
                  static_cast<unsigned long long>(raw & 0xFFFF'FFFF'FFFFull));
    return text;
}

std::string SmartNameText(std::uint8_t id) {
    const char* name = SmartAttributeNameOf(id);
    return name != nullptr ? Hex2(id) + "-" + name : Hex2(id) + "h-UnKnown";
}

SmartTable BuildSmartTable(SmartSectorView data, SmartSectorView thresholds,
                           std::uint32_t sectorWord) {
    SmartTable table;
    if (Entry(data, 0)[0] == 0) {
        return table;
    }
    std::uint8_t overall = 0;
    for (std::size_t slot = 0; slot < kSmartSlots; ++slot) {
        const auto entry = Entry(data, slot);
        if (entry[0] == 0) {
            continue;
        }
        SmartRow row;
        row.slot = slot;
        row.id = entry[0];
        row.value = entry[3];
        row.worst = entry[4];
        row.threshold = Entry(thresholds, slot)[1];
        row.raw = RawOf(entry);
        std::uint8_t code = SmartHealthCode(row.id, row.worst, row.threshold, row.raw != 0);
        row.cells[5] = SmartStatusText(code);
        row.colour = SmartRowColour(code);
        if ((overall & kHealthError) == 0) {
            if (code == kHealthError) {
                overall = kHealthError;
            } else if (code == kHealthNoted || code == kHealthPending) {
                overall = static_cast<std::uint8_t>(std::min<int>(overall + code, kHighestSum));
            }
        }
        if (SmartAttributeNameOf(row.id) == nullptr) {
            code = kHealthGood;
        }
        row.code = code;
        row.cells[0] = SmartNameText(row.id);
        row.cells[1] = std::to_string(row.value);
        row.cells[2] = std::to_string(row.worst);
        row.cells[3] = std::to_string(row.threshold);
        row.cells[4] = SmartRawText(row.raw);
        overall = std::max(overall, code);
        table.rows.push_back(std::move(row));
    }
    table.overall = overall;
    table.overallText = SmartOverallText(overall);
    table.overallColour = SmartOverallColour(overall);
    table.fourK = FourKLine(sectorWord);
    return table;
}

std::string SmartOverallText(std::uint8_t overall) {
    if ((overall & kHealthError) != 0) {
        return " Error ";
    }
    return overall < 2 ? " Good " : " Warning ";
}

SmartColour SmartOverallColour(std::uint8_t overall) {
    if ((overall & kHealthError) != 0) {
        return SmartColour::Red;
    }
    return overall < 2 ? SmartColour::Black : SmartColour::Maroon;
}

std::string FourKAnswer(std::uint32_t sectorWord) {
    if (sectorWord == kSectorWord4K) {
        return "Yes";
    }
    return (sectorWord & kSectorWordErrorBit) != 0 ? "Unknown" : "No";
}

SmartLine FourKLine(std::uint32_t sectorWord) {
    const std::string answer = FourKAnswer(sectorWord);
    const std::string hint = answer == "Unknown" ? "Code=0x" : "WORD[106]=0x";
    return {" 4K Sector supported : " + answer + " ", hint + Hex4(sectorWord)};
}

}  // namespace raid
