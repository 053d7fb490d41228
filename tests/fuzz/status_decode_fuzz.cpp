// Reply sectors of a broken or hostile controller decoded into the status
// record, and everything that turns the record into text: the event log's
// lines and the metrics file.
#include <algorithm>
#include <array>
#include <sstream>
#include <string>

#include "device/safe_text.h"
#include "device/status_decode.h"
#include "monitor/event_log_lines.h"
#include "monitor/metrics_text.h"
#include "tests/fuzz/input_reader.h"

namespace {

std::array<std::uint8_t, raid::kSectorSize> Sector(raid::fuzz::InputReader& in) {
    std::array<std::uint8_t, raid::kSectorSize> sector{};
    const raid::fuzz::Input bytes = in.Bytes(sector.size());
    std::copy(bytes.begin(), bytes.end(), sector.begin());
    return sector;
}

void CheckLine(const std::string& line) {
    FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos);
    FUZZ_CHECK(raid::SafeText(line) == line);
}

}  // namespace

FUZZ_TARGET(status_decode) {
    using namespace raid;
    fuzz::InputReader in(input);
    const std::uint8_t flags = in.Byte();
    const std::uint8_t oldClass = in.Byte();
    const auto controller = Sector(in);
    const auto drives = Sector(in);
    const auto extended = Sector(in);

    DeviceState devices;
    devices.table.count = 1;
    devices.table.entries[0] = 0x40 | 1;
    devices.blocks[1] = controller;
    MonitorSlot slot;
    RaidStatus& record = devices.records[1];
    record.validMark = (flags & 1) ? kValidMark : 0;
    DecodeControllerInfo(controller, slot, record, (flags & 2) != 0);
    DecodeDriveInfo(drives, slot, record,
                    (flags & 4) ? DriveInfoDecode::Discovery : DriveInfoDecode::Poll);
    (void)DrivesSwappedByFirmware(controller);
    const auto percent = ProgressPercent(TaskPosition(extended), TaskLength(extended));
    if (percent) {
        record.progressPercent = *percent;
    }

    for (const std::string& line : DeviceInformationBlock(1, record, controller)) {
        CheckLine(line);
    }
    for (int drive = 0; drive < 2; ++drive) {
        for (const std::string& line :
             DriveTransition(1, drive, oldClass, record, "2026/12/06 18:00:00").lines) {
            CheckLine(line);
        }
    }
    LogSlot logSlot;
    logSlot.lastPercent = flags;
    logSlot.rebuildDirection = (flags >> 7) & 1;
    if (const auto line = RebuildLine(logSlot, 1, record, "2026/12/06 18:00:00")) {
        CheckLine(*line);
    }

    // Every line of the metrics file is a comment or "name{labels} value".
    PollState poll;
    std::istringstream metrics(MetricsText(devices, poll, {}));
    for (std::string line; std::getline(metrics, line);) {
        FUZZ_CHECK(SafeText(line) == line);
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const std::size_t blank = line.rfind(' ');
        FUZZ_CHECK(blank != std::string::npos && blank > 0);
        const std::size_t brace = std::min(line.find('{'), blank);
        FUZZ_CHECK(brace == blank || line[blank - 1] == '}');
        // Label values end at an unescaped quote.
        bool quoted = false;
        for (std::size_t i = brace; i < blank; ++i) {
            if (line[i] == '\\') {
                FUZZ_CHECK(quoted && i + 1 < blank);
                ++i;
            } else if (line[i] == '"') {
                quoted = !quoted;
            }
        }
        FUZZ_CHECK(!quoted);
    }
}
