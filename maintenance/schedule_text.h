#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "device/raid_status.h"

namespace raid {

// The texts of a hybrid enclosure's backup schedule. `info` is the record's
// backupInfo: period (steps of the unit), the time left as a big-endian count
// of 10-second units, and whole weeks to add to it.

// A period of `steps` steps of `unit` hours, as the preset buttons read:
// "1 day", "7 days", "6 hours".
std::string PeriodText(unsigned unit, unsigned steps);

// Minutes until the next backup, rounded up.
std::uint32_t MinutesUntilBackup(const std::array<std::uint8_t, 4>& info);

// Label_Backup_mess: the time left, " (Backup off)" or " (Backing up...)".
std::string BackupMessageText(const RaidStatus& record);

// Label_Backep_Period: the period the enclosure reports.
std::string BackupPeriodText(std::uint8_t period, unsigned unit);

// How many steps of `unit` hours make a day; 0 when days cannot be expressed
// in such steps (a unit of 0, or one longer than a day).
unsigned StepsPerDay(unsigned unit);

// The hours a user period can add to whole days: 0, unit, 2 x unit, ...
// below 24, each as two decimal digits. A unit of 0 offers "00" only.
std::vector<std::string> HourItems(unsigned unit);

}  // namespace raid
