#include "notify/compose/mail_date.h"

#include <cstdio>
#include <cstdlib>

namespace raid {

std::string FormatMailDate(const MailDateParts& parts) {
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const char* day = parts.weekday >= 0 && parts.weekday < 7 ? kDays[parts.weekday] : "Sun";
    const char* month = parts.month >= 1 && parts.month <= 12 ? kMonths[parts.month - 1] : "Jan";
    const int offset = std::abs(parts.utcOffsetMinutes);
    char text[64];
    std::snprintf(text, sizeof text, "%s, %d %s %d %02d:%02d:%02d %c%02d%02d", day, parts.day,
                  month, parts.year, parts.hour, parts.minute, parts.second,
                  parts.utcOffsetMinutes < 0 ? '-' : '+', offset / 60 % 100, offset % 60);
    return text;
}

}  // namespace raid
