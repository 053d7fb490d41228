#pragma once

#include <memory>

#include "device/transport.h"

namespace raid {

// CreateFileA + IOCTL_SCSI_PASS_THROUGH_DIRECT. Only built on Windows.
std::unique_ptr<Transport> MakeWin32Transport();

}  // namespace raid
