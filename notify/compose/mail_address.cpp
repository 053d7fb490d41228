#include "notify/compose/mail_address.h"

namespace raid {

bool HasLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

namespace {

// RFC 5321's limits: a path of 256 octets with its angle brackets, a local
// part of 64.
constexpr std::size_t kMaxAddress = 254;
constexpr std::size_t kMaxLocalPart = 64;

bool IsAtext(char c) {
    const auto u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9')) {
        return true;
    }
    return std::string_view("!#$%&'*+-/=?^_`{|}~").find(c) != std::string_view::npos;
}

// Words of `allowed` characters joined by single dots.
template <typename Allowed>
bool IsDotted(std::string_view text, Allowed allowed) {
    if (text.empty() || text.front() == '.' || text.back() == '.' ||
        text.find("..") != std::string_view::npos) {
        return false;
    }
    for (const char c : text) {
        if (c != '.' && !allowed(c)) {
            return false;
        }
    }
    return true;
}

bool IsDomainChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || c == '-';
}

}  // namespace

bool IsPlainAddress(std::string_view address) {
    const auto at = address.find('@');
    if (address.size() > kMaxAddress || at == std::string_view::npos || at > kMaxLocalPart) {
        return false;
    }
    return IsDotted(address.substr(0, at), IsAtext) &&
           IsDotted(address.substr(at + 1), IsDomainChar);
}

}  // namespace raid
