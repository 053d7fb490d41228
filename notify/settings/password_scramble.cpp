#include "notify/settings/password_scramble.h"

namespace raid {

ScrambledPassword ScramblePassword(const std::string& password, bool login, std::uint8_t salt) {
    ScrambledPassword out{};
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < 16; ++i) {
        const std::uint8_t v =
            i < password.size()
                ? static_cast<std::uint8_t>(static_cast<std::uint8_t>(password[i]) + i)
                : static_cast<std::uint8_t>(i);
        out[i] = static_cast<std::uint8_t>(salt ^ v ^ PasswordKeyTable[i % 8]);
        sum = static_cast<std::uint8_t>(sum + v);
    }
    out[16] = salt;
    out[17] = static_cast<std::uint8_t>((sum ^ salt) ^ (login ? 1 : 0));
    return out;
}

UnscrambledPassword UnscramblePassword(std::span<const std::uint8_t> stored) {
    UnscrambledPassword result;
    if (stored.size() != ScrambledPassword{}.size()) {
        result.password = kErrorFormat;
        return result;
    }
    const std::uint8_t salt = stored[16];
    result.salt = salt;
    std::uint8_t sum = 0;
    std::string password;
    bool ended = false;
    for (std::size_t i = 0; i < 16; ++i) {
        const std::uint8_t v =
            static_cast<std::uint8_t>(stored[i] ^ salt ^ PasswordKeyTable[i % 8]);
        sum = static_cast<std::uint8_t>(sum + v);
        const char c = static_cast<char>(static_cast<std::uint8_t>(v - i));
        if (c == '\0') {
            ended = true;
        } else if (!ended) {
            password += c;
        }
    }
    const std::uint8_t check = static_cast<std::uint8_t>(sum ^ salt);
    if (check == stored[17]) {
        result.status = kPasswordNoLogin;
    } else if ((check ^ stored[17]) == 1) {
        result.status = kPasswordLogin;
    } else {
        result.status = kPasswordMalformed;
        password = kErrorFormat;
    }
    result.password = std::move(password);
    return result;
}

}  // namespace raid
