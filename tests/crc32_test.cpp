#include "device/crc32.h"

#include <gtest/gtest.h>

#include <array>
#include <string_view>

namespace raid {
namespace {

TEST(Crc32, MatchesTheStandardCheckValue) {
    constexpr std::string_view kCheck = "123456789";
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(kCheck.data());
    EXPECT_EQ(Crc32({bytes, kCheck.size()}), 0xCBF43926u);
}

TEST(Crc32, EmptyInputIsZero) {
    EXPECT_EQ(Crc32({}), 0u);
}

}  // namespace
}  // namespace raid
