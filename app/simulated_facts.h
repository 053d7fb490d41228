#pragma once

#include <memory>

#include "sim/scenario.h"
#include "sysinfo/system_facts.h"

namespace raid {

// The host's facts, except for its disks: those are the simulated machine's,
// each with a made-up serial number so that the window can name it.
class SimulatedFacts final : public SystemFacts {
  public:
    SimulatedFacts(std::unique_ptr<SystemFacts> host, const sim::Scenario& scenario);
    std::optional<std::vector<FactObject>> Query(std::string_view className) override;

  private:
    std::unique_ptr<SystemFacts> host_;
    std::vector<FactObject> disks_;
};

}  // namespace raid
