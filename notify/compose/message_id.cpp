#include "notify/compose/message_id.h"

#include <cstdio>
#include <random>

#include "notify/compose/mail_address.h"

namespace raid {

std::string NewMessageId(std::int64_t now, const std::string& fromAddress) {
    std::random_device source;
    const std::uint64_t random = (std::uint64_t{source()} << 32) | source();
    char unique[64];
    std::snprintf(unique, sizeof unique, "%lld.%016llx", static_cast<long long>(now),
                  static_cast<unsigned long long>(random));
    const std::string domain = IsPlainAddress(fromAddress)
                                   ? fromAddress.substr(fromAddress.find('@') + 1)
                                   : std::string("raidgui.invalid");
    return std::string(unique) + "@" + domain;
}

}  // namespace raid
