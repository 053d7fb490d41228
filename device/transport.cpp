#include "device/transport.h"

namespace raid {

std::string DeviceCodeText(std::uint8_t code) {
    if (IsDiskCode(code)) {
        return std::to_string(code);
    }
    return std::string(1, static_cast<char>(code)) + ":";
}

}  // namespace raid
