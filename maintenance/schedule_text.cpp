#include "maintenance/schedule_text.h"

namespace raid {
namespace {

constexpr std::uint32_t kMinutesPerWeek = 10080;
constexpr std::uint32_t kCountsPerMinute = 6;

std::string Counted(unsigned n, const char* noun) {
    return std::to_string(n) + noun + (n > 1 ? "s" : "");
}

}  // namespace

std::string PeriodText(unsigned unit, unsigned steps) {
    const unsigned hours = unit * steps;
    if (hours % 24 == 0) {
        return Counted(hours / 24, " day");
    }
    return Counted(hours, " hour");
}

std::uint32_t MinutesUntilBackup(const std::array<std::uint8_t, 4>& info) {
    const std::uint32_t count = (std::uint32_t{info[1]} << 8) | info[2];
    return info[3] * kMinutesPerWeek + (count + kCountsPerMinute - 1) / kCountsPerMinute;
}

std::string BackupMessageText(const RaidStatus& record) {
    std::string text = " Wait to Backup in minutes : ";
    if (record.backupInfo[0] == 0) {
        return text + " (Backup off)";
    }
    if ((record.taskMask & 0x02) != 0) {
        return text + " (Backing up...)";
    }
    const std::uint32_t m = MinutesUntilBackup(record.backupInfo);
    text += std::to_string(m);
    if (m != 0) {
        text += " (" + std::to_string(m / 1440) + "d:" + std::to_string(m % 1440 / 60) +
                "h:" + std::to_string(m % 60) + "m" + ")";
    }
    return text;
}

std::string BackupPeriodText(std::uint8_t period, unsigned unit) {
    std::string text = "Schedule Backup Period(Setted): ";
    if (period == 0) {
        return text + "off";
    }
    const unsigned hours = period * unit;
    if (hours / 24 != 0) {
        text += Counted(hours / 24, " day") + " ";
    }
    if (hours % 24 != 0) {
        text += Counted(hours % 24, " hour");
    }
    return text;
}

unsigned StepsPerDay(unsigned unit) {
    return unit == 0 ? 0 : 24 / unit;
}

std::vector<std::string> HourItems(unsigned unit) {
    std::vector<std::string> items;
    // A unit of 0 would never get past 24.
    const unsigned step = unit == 0 ? 24 : unit;
    for (unsigned h = 0; h < 24; h += step) {
        items.push_back((h < 10 ? "0" : "") + std::to_string(h));
    }
    return items;
}

}  // namespace raid
