#pragma once

#include <cstdint>
#include <span>

#include "device/device_state.h"

namespace raid {

// The name of an enclosure whose controller gives none: vendor and product of
// its INQUIRY data (16 bytes from offset 8), stored pair-swapped like every
// other name and padded with blanks to 40 characters. `inquiry` holds at
// least 24 bytes.
void InquiryNameInto(std::span<const std::uint8_t> inquiry,
                     std::span<std::uint8_t, kBlockNameLength> name);

}  // namespace raid
