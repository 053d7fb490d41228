#pragma once

#include <cstdint>
#include <string>

namespace raid {

// A calendar moment as the Date header shows it.
struct MailDateParts {
    int weekday = 0;  // 0 Sunday .. 6 Saturday
    int day = 1;      // 1..31
    int month = 1;    // 1..12
    int year = 1970;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int utcOffsetMinutes = 0;  // local time minus UTC
};

// "Sun, 6 Dec 2026 23:47:58 +0800".
std::string FormatMailDate(const MailDateParts& parts);

// The moment `wallSeconds` in the machine's local time zone (platform backend).
MailDateParts LocalMailDateParts(std::int64_t wallSeconds);

}  // namespace raid
