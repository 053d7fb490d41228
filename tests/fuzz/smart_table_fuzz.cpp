// The SMART page's table from a drive's data and threshold sectors and its
// sector-size word, all as a broken drive may send them.
#include <algorithm>
#include <array>

#include "device/safe_text.h"
#include "maintenance/smart_table.h"
#include "tests/fuzz/input_reader.h"

FUZZ_TARGET(smart_table) {
    using namespace raid;
    fuzz::InputReader in(input);
    const std::uint32_t sectorWord = in.Word();
    std::array<std::uint8_t, kSectorSize> data{};
    std::array<std::uint8_t, kSectorSize> thresholds{};
    const fuzz::Input dataBytes = in.Bytes(kSectorSize);
    std::copy(dataBytes.begin(), dataBytes.end(), data.begin());
    const fuzz::Input thresholdBytes = in.Bytes(kSectorSize);
    std::copy(thresholdBytes.begin(), thresholdBytes.end(), thresholds.begin());
    const SmartTable table = BuildSmartTable(data, thresholds, sectorWord);
    // Thirty slots of twelve bytes is all a sector holds.
    FUZZ_CHECK(table.rows.size() <= 30);
    for (const SmartRow& row : table.rows) {
        FUZZ_CHECK(row.slot < 30);
        for (const std::string& cell : row.cells) {
            FUZZ_CHECK(SafeText(cell) == cell);
        }
    }
    FUZZ_CHECK(SafeText(table.overallText) == table.overallText);
    FUZZ_CHECK(SafeText(table.fourK.text) == table.fourK.text);
}
