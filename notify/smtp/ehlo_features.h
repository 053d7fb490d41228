#pragma once

#include <string>
#include <vector>

namespace raid {

// What a server announced in its EHLO reply (every line after the first), as
// far as the exchange uses it: whether it takes AUTH LOGIN, and STARTTLS.
struct EhloFeatures {
    bool authLogin = false;
    bool startTls = false;
};

// Linear in the size of the reply: a server may send 1024 lines of 64 KiB.
EhloFeatures ParseEhloReply(const std::vector<std::string>& lines);

}  // namespace raid
