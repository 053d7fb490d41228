#pragma once

#include <string>
#include <vector>

namespace raid {

// What a server announced in its EHLO reply (every line after the first).
struct EhloFeatures {
    std::vector<std::string> authMechanisms;  // upper case, no duplicates
    bool startTls = false;
    bool Offers(const std::string& mechanism) const;
};

EhloFeatures ParseEhloReply(const std::vector<std::string>& lines);

}  // namespace raid
