// A scenario file for the stand-in enclosure: refused with a reason, or a
// scenario the stand-in can run.
#include "sim/scenario.h"
#include "tests/fuzz/fuzz_target.h"

FUZZ_TARGET(scenario) {
    const raid::sim::LoadResult result = raid::sim::ParseScenario(raid::fuzz::AsText(input));
    FUZZ_CHECK(result.ok == result.error.empty());
}
