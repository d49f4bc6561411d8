// DateTime and the share site's time stamps: a calendar date and time to the second (a local clock, no
// zone), counts of seconds since 1970 as a clock in Beijing shows them, and the fixed text styles.
//
//   UnixToTime(1386601503)                           == DateTime{2013, 12, 9, 23, 5, 3}
//   时间_到文本(DateTime{2013, 12, 9, 23, 5, 3}, 2)   == "2013/12/09 23/05/03"
//   时间_到文本(DateTime{2013, 12, 9, 8, 30, 0})      == "2013年12月9日8时30分"
#pragma once

#include <cstdint>
#include <optional>

#include "text/text.h"

namespace sarvoke {

struct DateTime {
  int year = 1970;
  int month = 1;  // 1-12
  int day = 1;    // 1-31
  int hour = 0;
  int minute = 0;
  int second = 0;
  bool operator==(const DateTime&) const = default;
};

// The six fields of a DateTime as text: the year unpadded, the others two digits.
struct TimeFields {
  Text year, month, day, hour, minute, second;
};

// `when` moved by `seconds` (either sign) in calendar arithmetic.
DateTime AddSeconds(const DateTime& when, std::int64_t seconds);

// The current time of the local clock.
DateTime LocalNow();

// The DateTime of a count since 1970: seconds, or milliseconds truncated toward zero when `isSeconds`
// is false; the count's low 32 bits are taken as a signed number. Counted from 08:00 (Beijing) unless
// `beijingTime` is false.
DateTime UnixToTime(std::int64_t stamp, bool isSeconds = true, bool beijingTime = true);

// The fields of `when` as text.
TimeFields SplitTime(const DateTime& when);

// `when` (the local time when left out) as text in `style` 0-3 and `part` 0-5; "时间_到文本()
// 命令参数填写有误" for any other style or part.
Text 时间_到文本(std::optional<DateTime> when = std::nullopt, int style = 0, int part = 0);

}  // namespace sarvoke
