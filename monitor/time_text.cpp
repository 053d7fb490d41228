#include "monitor/time_text.h"

#include <array>
#include <ctime>

namespace raid {
namespace {

std::optional<std::tm> LocalTime(std::int64_t wallSeconds) {
    const auto seconds = static_cast<std::time_t>(wallSeconds);
    if (static_cast<std::int64_t>(seconds) != wallSeconds) {
        return std::nullopt;
    }
    std::tm local{};
#ifdef _WIN32
    if (localtime_s(&local, &seconds) != 0) {
        return std::nullopt;
    }
#else
    if (localtime_r(&seconds, &local) == nullptr) {
        return std::nullopt;
    }
#endif
    return local;
}

std::string Format(const char* format, const std::tm& local) {
    std::array<char, 256> buffer{};
    const std::size_t length = std::strftime(buffer.data(), buffer.size(), format, &local);
    return std::string(buffer.data(), length);
}

}  // namespace

std::string TimeText(std::int64_t wallSeconds) {
    const auto local = LocalTime(wallSeconds);
    if (!local) {
        return {};
    }
    const bool midnight = local->tm_hour == 0 && local->tm_min == 0 && local->tm_sec == 0;
    return Format(midnight ? "%x" : "%x %X", *local);
}

std::optional<std::string> DayStem(std::int64_t wallSeconds) {
    const auto local = LocalTime(wallSeconds);
    if (!local) {
        return std::nullopt;
    }
    const std::string stem = Format("%y%m%d", *local);
    if (stem.size() != 6) {
        return std::nullopt;
    }
    return stem;
}

}  // namespace raid
