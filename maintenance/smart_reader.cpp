#include "maintenance/smart_reader.h"

#include <algorithm>

namespace raid {
namespace {

constexpr std::uint8_t kHdd1Present = 0x02;
constexpr std::uint8_t kHdd2Present = 0x20;
constexpr std::size_t kQuarters = 4;
constexpr std::size_t kQuarterSize = kReplyDataLength;

std::uint32_t EchoWord(const ReplySector& reply) {
    return std::uint32_t{reply[kReplyEchoCodeOffset]} << 8 | reply[kReplyEchoArgOffset];
}

bool EchoIs(const ReplySector& reply, std::uint8_t code, std::uint8_t ataCommand) {
    return reply[kReplyEchoCodeOffset] == code && reply[kReplyEchoArgOffset] == ataCommand;
}

void CopyQuarter(const ReplySector& reply, std::size_t part, SmartSector& sector) {
    std::copy_n(reply.begin() + kReplyDataOffset, kQuarterSize,
                sector.begin() + (part - 1) * kQuarterSize);
}

}  // namespace

SmartReader::SmartReader(CommandChannel& channel, DeviceState& devices, ProcessFlags& flags,
                         PollState& poll, SmartStore& store)
    : channel_(channel), devices_(devices), flags_(flags), poll_(poll), store_(store) {}

bool SmartReader::MayRun() const {
    return flags_.flashTargetIndex.load() == kNoFlashTarget && !poll_.switchingDevice &&
           devices_.table.count != 0 &&
           (poll_.slotChecked[0].load() || poll_.slotChecked[1].load()) && !MustStop();
}

// A firmware upgrade or the window closing ends the pass between drives, as
// it ends a status poll between enclosures.
bool SmartReader::MustStop() const {
    return flags_.MaintenanceBusy.load() != 0 || flags_.AppClosing.load() != 0;
}

SmartPassReport SmartReader::ReadSmartPass(std::uint8_t feature) {
    SmartPassReport report;
    if (!MayRun()) {
        return report;
    }
    report.ran = true;
    store_.passRunning = true;
    const bool dataPass = feature == kSmartReadData;
    // The store keeps two enclosures; further entries of the table are not
    // monitored and have nowhere to go.
    const std::size_t devices = std::min<std::size_t>(devices_.table.count, kSmartDevices);
    for (std::size_t i = 0; i < devices && !MustStop(); ++i) {
        const RaidStatus& record = devices_.records[devices_.table.Disk(i)];
        devices_.currentSlot.store(static_cast<std::uint8_t>(i));
        for (std::size_t j = 0; j < kSmartDrives; ++j) {
            if (MustStop()) {
                report.failed = true;
                break;
            }
            const auto drive =
                static_cast<std::uint8_t>(devices_.slots[i].drivesSwapped ? 1 - j : j);
            const bool present = (record.driveClass & (j == 0 ? kHdd1Present : kHdd2Present)) != 0;
            SmartSector& sector = dataPass ? store_.data[i][j] : store_.thresholds[i][j];
            if (!present) {
                sector.fill(0);
                store_.sectorWord[i][j] = kSectorWordAbsent;
                report.drives[i][j] = SmartDriveOutcome::Absent;
                continue;
            }
            if (dataPass) {
                store_.sectorWord[i][j] = ReadSectorWord(drive);
            }
            const bool read = ReadSector(feature, drive, sector);
            report.drives[i][j] = read ? SmartDriveOutcome::Read : SmartDriveOutcome::Failed;
            report.failed = report.failed || !read;
        }
    }
    report.failed = report.failed || MustStop();
    if (!dataPass) {
        store_.thresholdsValid = !report.failed;
    }
    devices_.currentSlot.store(poll_.shownSlot);
    store_.passRunning = false;
    return report;
}

// IDENTIFY DEVICE word 106, or why it could not be read: 0xFFF7 when the
// command was refused, 0xFFFE when its quarter 2 never came, the echo bytes
// of a reply that answered something else.
std::uint32_t SmartReader::ReadSectorWord(std::uint8_t drive) {
    ReplySector reply{};
    if (channel_.AtaIssue(kAtaIdentifyDevice, drive, reply) != kStatusOk) {
        return kSectorWordIssueFailed;
    }
    if (!EchoIs(reply, CmdAtaIssue, kAtaIdentifyDevice)) {
        return EchoWord(reply);
    }
    SmartSector identify;
    identify.fill(0xFF);
    std::uint32_t quarter2Failure = kSectorWordAbsent;
    bool quarter2 = false;
    for (std::size_t part = 1; part <= kQuarters; ++part) {
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            const CommandStatus status = channel_.AtaFetch(kAtaIdentifyDevice, drive,
                                                           static_cast<std::uint8_t>(part), reply);
            std::uint32_t failure = 0;
            if (status != kStatusOk) {
                failure = kSectorWordFetchFailed;
            } else if (!EchoIs(reply, CmdAtaFetch, kAtaIdentifyDevice)) {
                failure = EchoWord(reply);
            } else {
                CopyQuarter(reply, part, identify);
                quarter2 = quarter2 || part == 2;
                break;
            }
            if (part == 2) {
                quarter2Failure = failure;
            }
        }
    }
    if (!quarter2) {
        return quarter2Failure;
    }
    return std::uint32_t{identify[212]} | std::uint32_t{identify[213]} << 8;
}

// The SMART command with `feature`, then its four quarters. A quarter that
// cannot be fetched keeps the bytes it had.
bool SmartReader::ReadSector(std::uint8_t feature, std::uint8_t drive, SmartSector& sector) {
    ReplySector reply{};
    bool issued = false;
    for (int attempt = 0; attempt < kAttempts && !issued; ++attempt) {
        issued = channel_.AtaIssue(feature, drive, reply) == kStatusOk;
    }
    if (!issued) {
        return false;
    }
    bool complete = true;
    for (std::size_t part = 1; part <= kQuarters; ++part) {
        bool fetched = false;
        for (int attempt = 0; attempt < kAttempts && !fetched; ++attempt) {
            fetched = channel_.AtaFetch(feature, drive, static_cast<std::uint8_t>(part), reply) ==
                      kStatusOk;
        }
        if (fetched) {
            CopyQuarter(reply, part, sector);
        }
        complete = complete && fetched;
    }
    return complete;
}

}  // namespace raid
