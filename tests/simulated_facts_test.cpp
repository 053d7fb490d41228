#include "app/simulated_facts.h"

#include <gtest/gtest.h>

#include "sim/scenario.h"
#include "sysinfo/canned_system_facts.h"
#include "sysinfo/disk_identity.h"
#include "sysinfo/wmi_query.h"

namespace raid {
namespace {

TEST(SimulatedFacts, DisksAreTheSimulatedOnesAndTheRestIsTheHosts) {
    auto host = std::make_unique<CannedSystemFacts>();
    host->Set("Win32_Bus", {{{"SystemName", std::string("workstation")}}});
    host->Set("Win32_DiskDrive",
              {{{"Index", std::string("0")}, {"SerialNumber", std::string("HOSTDISK")}}});
    SimulatedFacts facts(std::move(host), sim::DefaultScenario());

    const auto ids = ReadDiskIdentities(facts);
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_EQ(DiskSerialNumber(ids, 0), "SIMDISK0000");
    EXPECT_EQ(DiskSerialNumber(ids, 1), "SIMDISK0001");
    std::vector<std::string> values;
    EXPECT_EQ(WmiQueryProperty(facts, "Win32_Bus", "SystemName", false, values), "workstation");
}

}  // namespace
}  // namespace raid
