#pragma once

#include <cstdint>
#include <string>

namespace raid {

// A fresh Message-ID (without angle brackets) for a mail composed at `now`:
// the time and 64 random bits, at the sender address's domain.
std::string NewMessageId(std::int64_t now, const std::string& fromAddress);

}  // namespace raid
