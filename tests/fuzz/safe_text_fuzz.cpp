// The one filter for bytes from devices and servers.
#include <algorithm>

#include "device/safe_text.h"
#include "tests/fuzz/fuzz_target.h"

FUZZ_TARGET(safe_text) {
    const std::string_view bytes = raid::fuzz::AsText(input);
    const std::string text = raid::SafeText(bytes);
    FUZZ_CHECK(raid::SafeText(text) == text);
    FUZZ_CHECK(text.size() <= bytes.size());
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        FUZZ_CHECK(u >= 0x20 && u != 0x7F);
    }
    // Printable ASCII is text as it stands.
    const bool printable = std::all_of(bytes.begin(), bytes.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F;
    });
    if (printable) {
        FUZZ_CHECK(text == bytes);
    }
}
