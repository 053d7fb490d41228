#pragma once

#include <cstdint>
#include <string>

#include "device/raid_status.h"

namespace raid {

// How an array is doing at a glance, in the order of concern: the worst of
// several enclosures is the largest value.
enum class ArrayHealth : std::uint8_t {
    Normal,
    Rebuilding,
    Degraded,
    Failed,
};

// The health of one enclosure's record, read the way the status page reads
// it: a rebuild in progress, a failed rebuild or a bypassed array, both
// drives present, or fewer.
ArrayHealth HealthOf(const RaidStatus& record);

// "normal", "rebuilding", "degraded", "failed".
const char* HealthName(ArrayHealth health);

}  // namespace raid
