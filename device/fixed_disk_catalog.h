#pragma once

#include <utility>
#include <vector>

#include "device/disk_catalog.h"

namespace raid {

// A catalog whose volumes are given: the simulated machine and tests.
class FixedDiskCatalog final : public DiskCatalog {
  public:
    explicit FixedDiskCatalog(std::vector<CatalogVolume> volumes = {})
        : volumes_(std::move(volumes)) {}
    std::vector<CatalogVolume> Volumes() override { return volumes_; }
    void SetVolumes(std::vector<CatalogVolume> volumes) { volumes_ = std::move(volumes); }

  private:
    std::vector<CatalogVolume> volumes_;
};

}  // namespace raid
