#include "notify/settings/mail_settings.h"

namespace raid {

std::string RecipientValueName(std::size_t index) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string name = "ToAddr_";
    name += kDigits[(index >> 4) & 0x0F];
    name += kDigits[index & 0x0F];
    return name;
}

}  // namespace raid
