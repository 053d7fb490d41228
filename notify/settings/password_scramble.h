#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace raid {

// "ProductID": bytes 0-15 the scrambled password, 16 the salt, 17 the check
// byte, which also carries the login switch.
using ScrambledPassword = std::array<std::uint8_t, 18>;
inline constexpr std::array<std::uint8_t, 8> PasswordKeyTable = {0x5A, 0xA7, 0x13, 0xE4,
                                                                 0x29, 0x6C, 0xB0, 0xF1};
inline constexpr std::size_t kMaxPasswordLength = 15;

// PasswordStatus values.
inline constexpr std::uint8_t kPasswordNoLogin = 0;
inline constexpr std::uint8_t kPasswordLogin = 1;
inline constexpr std::uint8_t kPasswordMalformed = 2;
inline constexpr const char* kErrorFormat = "ErrorFormat";

struct UnscrambledPassword {
    std::string password;  // "ErrorFormat" when malformed
    std::uint8_t status = kPasswordMalformed;
    std::uint8_t salt = 0;
};

// `password` must be at most 15 bytes (the caller refuses longer ones).
ScrambledPassword ScramblePassword(const std::string& password, bool login, std::uint8_t salt);

// Any stored value is accepted; one that is not exactly 18 bytes long is
// malformed.
UnscrambledPassword UnscramblePassword(std::span<const std::uint8_t> stored);

}  // namespace raid
