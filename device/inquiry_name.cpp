#include "device/inquiry_name.h"

#include <algorithm>

namespace raid {

void InquiryNameInto(std::span<const std::uint8_t> inquiry,
                     std::span<std::uint8_t, kBlockNameLength> name) {
    constexpr std::size_t kVendorProduct = 8;
    constexpr std::size_t kLength = 16;
    for (std::size_t j = 0; j < kLength && kVendorProduct + j < inquiry.size(); ++j) {
        name[j ^ 1] = inquiry[kVendorProduct + j];
    }
    std::fill(name.begin() + kLength, name.end(), ' ');
}

}  // namespace raid
