#pragma once

#include "device/disk_catalog.h"

namespace raid {

// Drive letters from GetLogicalDrives, their types from GetDriveTypeA and the
// first extent of each volume from IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS.
class Win32DiskCatalog final : public DiskCatalog {
  public:
    std::vector<CatalogVolume> Volumes() override;
};

}  // namespace raid
