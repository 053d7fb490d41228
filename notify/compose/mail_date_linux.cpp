#include <ctime>

#include "notify/compose/mail_date.h"

namespace raid {

MailDateParts LocalMailDateParts(std::int64_t wallSeconds) {
    const std::time_t t = static_cast<std::time_t>(wallSeconds);
    std::tm local{};
    MailDateParts parts;
    if (::localtime_r(&t, &local) == nullptr) {
        return parts;
    }
    parts.weekday = local.tm_wday;
    parts.day = local.tm_mday;
    parts.month = local.tm_mon + 1;
    parts.year = local.tm_year + 1900;
    parts.hour = local.tm_hour;
    parts.minute = local.tm_min;
    parts.second = local.tm_sec;
    parts.utcOffsetMinutes = static_cast<int>(local.tm_gmtoff / 60);
    return parts;
}

}  // namespace raid
