#include "text/date_time.h"

#include <cstdio>
#include <ctime>
#include <string>

namespace sarvoke {
namespace {

// Days from 1970-01-01 to the given civil date, and back (proleptic Gregorian calendar).
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t z, DateTime& out) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  out.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  out.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  out.year = static_cast<int>(yoe + era * 400 + (out.month <= 2));
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

Text TwoDigits(int v) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d", v);
  return buffer;
}

constexpr std::string_view kParameterError = "时间_到文本() 命令参数填写有误";

}  // namespace

DateTime AddSeconds(const DateTime& when, std::int64_t seconds) {
  const std::int64_t total = DaysFromCivil(when.year, when.month, when.day) * 86400 + when.hour * 3600 +
                             when.minute * 60 + when.second + seconds;
  const std::int64_t days = FloorDiv(total, 86400);
  const std::int64_t rest = total - days * 86400;
  DateTime out;
  CivilFromDays(days, out);
  out.hour = static_cast<int>(rest / 3600);
  out.minute = static_cast<int>(rest / 60 % 60);
  out.second = static_cast<int>(rest % 60);
  return out;
}

DateTime LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return DateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                  local.tm_hour,        local.tm_min,     local.tm_sec};
}

DateTime UnixToTime(std::int64_t stamp, bool isSeconds, bool beijingTime) {
  const DateTime base{1970, 1, 1, beijingTime ? 8 : 0, 0, 0};
  const std::int64_t seconds = isSeconds ? stamp : stamp / 1000;  // division truncates toward zero
  const auto low32 = static_cast<std::int32_t>(static_cast<std::uint32_t>(seconds));
  return AddSeconds(base, low32);
}

TimeFields SplitTime(const DateTime& when) {
  return TimeFields{std::to_string(when.year), TwoDigits(when.month),  TwoDigits(when.day),
                    TwoDigits(when.hour),      TwoDigits(when.minute), TwoDigits(when.second)};
}

Text 时间_到文本(std::optional<DateTime> when, int style, int part) {
  const DateTime t = when ? *when : LocalNow();
  const TimeFields f = SplitTime(t);
  if (style < 0 || style > 3 || part < 0 || part > 5) return Text(kParameterError);
  if (style == 0) {
    switch (part) {
      case 0: {
        Text out =
            std::to_string(t.year) + "年" + std::to_string(t.month) + "月" + std::to_string(t.day) + "日";
        if (t.second != 0) {
          out += std::to_string(t.hour) + "时" + std::to_string(t.minute) + "分" + std::to_string(t.second) +
                 "秒";
        } else if (t.minute != 0) {
          out += std::to_string(t.hour) + "时" + std::to_string(t.minute) + "分";
        } else if (t.hour != 0) {
          out += std::to_string(t.hour) + "时";
        }
        return out;
      }
      case 1:
        return f.year + "年" + f.month + "月" + f.day + "日";
      case 2:
        return f.month + "月" + f.day + "日";
      case 3:
        return f.hour + "时" + f.minute + "分" + f.second + "秒";
      case 4:
        return f.hour + "时" + f.minute + "分";
      default:
        return f.minute + "分" + f.second + "秒";
    }
  }
  // Styles 1-3 differ only in their separators.
  const Text date = style == 1 ? "-" : style == 2 ? "/" : "";
  const Text time = style == 1 ? ":" : style == 2 ? "/" : "";
  const Text between = style == 3 ? "" : " ";
  switch (part) {
    case 0:
      return f.year + date + f.month + date + f.day + between + f.hour + time + f.minute + time + f.second;
    case 1:
      return f.year + date + f.month + date + f.day;
    case 2:
      return f.month + date + f.day;
    case 3:
      return f.hour + time + f.minute + time + f.second;
    case 4:
      return f.hour + time + f.minute;
    default:
      return f.minute + time + f.second;
  }
}

}  // namespace sarvoke
