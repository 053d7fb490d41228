#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace raid {

// The date and time of a log line in the user's regional format: the
// locale's date ("%x"), a blank and its time ("%X"), under whatever LC_TIME
// the front end has set up. The time is left out at exactly midnight. Empty
// when the seconds cannot be turned into a local date.
std::string TimeText(std::int64_t wallSeconds);

// "yymmdd" of the local date, the stem of the day's log file name; nullopt
// when the seconds cannot be turned into a local date.
std::optional<std::string> DayStem(std::int64_t wallSeconds);

}  // namespace raid
