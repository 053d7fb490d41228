#pragma once

#include "sysinfo/system_facts.h"

#include <cstdint>
#include <string>
#include <vector>

namespace raid {

// Index and serial number of one disk, both read from the same
// "Win32_DiskDrive" object.
struct DiskIdentity {
    std::uint32_t index = 0;
    std::string serialNumber;  // empty when the disk reports none
};

// Relates disk indexes to serial numbers. Two separately collected lists
// would hold only non-empty values, so one disk without a serial would hand
// the next disk's serial to it; reading both from each object keeps them
// together. Objects without a readable Index are left out; a failed query
// gives an empty list.
std::vector<DiskIdentity> ReadDiskIdentities(SystemFacts& facts);

// The serial number of disk `index`, or empty text when it has none or is unknown.
std::string DiskSerialNumber(const std::vector<DiskIdentity>& identities, std::uint32_t index);

}  // namespace raid
