#pragma once

#include <atomic>
#include <cstdint>

#include "maintenance/firmware_image.h"

namespace raid {

// The maintenance subsystem's process-wide state. MaintenanceBusy and the
// flash target index live in ProcessFlags, which every layer reads.
struct MaintenanceState {
    FirmwareImage image;
    // Raised by each completed flash command (4096 bytes erased, 128 read or
    // programmed); Timer1 copies it into the progress bar.
    std::atomic<std::uint32_t> progressCounter{0};
};

}  // namespace raid
