#include "sysinfo/fact_text.h"

#include "device/safe_text.h"

#include <fstream>

namespace raid {

std::optional<std::string> ReadSmallFile(const std::filesystem::path& path, std::size_t maxBytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string data(maxBytes, '\0');
    in.read(data.data(), static_cast<std::streamsize>(maxBytes));
    if (in.bad()) {
        return std::nullopt;
    }
    data.resize(static_cast<std::size_t>(in.gcount()));
    return data;
}

std::string CleanFactText(std::string_view raw) {
    std::string text;
    text.reserve(raw.size());
    for (const char c : raw) {
        const auto byte = static_cast<unsigned char>(c);
        text.push_back(byte < 0x20 || byte == 0x7F ? ' ' : c);
    }
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(' ');
    // The report goes into a mail: bytes that are not UTF-8 are no text.
    return SafeText(std::string_view(text).substr(first, last - first + 1));
}

std::string ReadFactFile(const std::filesystem::path& path) {
    const auto raw = ReadSmallFile(path);
    return raw ? CleanFactText(*raw) : std::string{};
}

}  // namespace raid
