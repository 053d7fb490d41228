// Reply sectors of a broken or hostile controller decoded into the status
// record, and everything that turns the record into text: the event log's
// lines and the metrics file.
#include <algorithm>
#include <array>
#include <string>

#include "device/status_decode.h"
#include "monitor/event_log_lines.h"
#include "monitor/metrics_text.h"
#include "tests/fuzz/input_reader.h"
#include "tests/fuzz/text_checks.h"

namespace {

std::array<std::uint8_t, raid::kSectorSize> Sector(raid::fuzz::InputReader& in) {
    std::array<std::uint8_t, raid::kSectorSize> sector{};
    const raid::fuzz::Input bytes = in.Bytes(sector.size());
    std::copy(bytes.begin(), bytes.end(), sector.begin());
    return sector;
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
        fuzz::CheckLogLine(line);
    }
    for (int drive = 0; drive < 2; ++drive) {
        for (const std::string& line :
             DriveTransition(1, drive, oldClass, record, "2026/12/06 18:00:00").lines) {
            fuzz::CheckLogLine(line);
        }
    }
    LogSlot logSlot;
    logSlot.lastPercent = flags;
    logSlot.rebuildDirection = (flags >> 7) & 1;
    if (const auto line = RebuildLine(logSlot, 1, record, "2026/12/06 18:00:00")) {
        fuzz::CheckLogLine(*line);
    }

    PollState poll;
    fuzz::CheckMetricsText(MetricsText(devices, poll, {}));
}
