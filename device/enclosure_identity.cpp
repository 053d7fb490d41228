#include "device/enclosure_identity.h"

#include <algorithm>
#include <array>

namespace raid {
namespace {

struct ByteRange {
    std::size_t first;
    std::size_t length;
};

// Offsets of the processed block: 46-53 the firmware bytes that discovery
// copies from 88-95 (version and product family), 54-93 the name, 124-125
// the environment-present pair.
constexpr std::array<ByteRange, 3> kIdentity = {{{46, 8}, {54, 40}, {124, 2}}};

}  // namespace

bool SameEnclosure(const ControllerBlock& a, const ControllerBlock& b) {
    return std::all_of(kIdentity.begin(), kIdentity.end(), [&](const ByteRange& r) {
        return std::equal(a.begin() + r.first, a.begin() + r.first + r.length, b.begin() + r.first);
    });
}

}  // namespace raid
