#include "text/date_time.h"

#include <gtest/gtest.h>

#include <vector>

namespace sarvoke {
namespace {

TEST(UnixToTimeTest, Table) {
  struct Row {
    const char* label;
    std::int64_t stamp;
    bool isSeconds, beijing;
    DateTime expected;
  };
  const std::vector<Row> rows = {
      {"zero in Beijing", 0, true, true, {1970, 1, 1, 8, 0, 0}},
      {"zero in UTC", 0, true, false, {1970, 1, 1, 0, 0, 0}},
      {"61 seconds", 61, true, true, {1970, 1, 1, 8, 1, 1}},
      {"milliseconds truncate", 999, false, true, {1970, 1, 1, 8, 0, 0}},
      {"negative milliseconds truncate toward zero", -1999, false, false, {1969, 12, 31, 23, 59, 59}},
      {"share time", 1386601503, true, true, {2013, 12, 9, 23, 5, 3}},
      {"share time in milliseconds", 1386601503123, false, true, {2013, 12, 9, 23, 5, 3}},
      {"leap day", 951782400, true, false, {2000, 2, 29, 0, 0, 0}},
      {"low 32 bits wrap", 4294967296LL + 61, true, true, {1970, 1, 1, 8, 1, 1}},
      {"beyond 2^31 reads as negative", 2147483648LL, true, false, {1901, 12, 13, 20, 45, 52}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    EXPECT_EQ(UnixToTime(r.stamp, r.isSeconds, r.beijing), r.expected);
  }
}

TEST(AddSecondsTest, RollsOverTheCalendar) {
  EXPECT_EQ(AddSeconds({2013, 12, 31, 23, 59, 59}, 1), (DateTime{2014, 1, 1, 0, 0, 0}));
  EXPECT_EQ(AddSeconds({2012, 3, 1, 0, 0, 0}, -1), (DateTime{2012, 2, 29, 23, 59, 59}));
}

TEST(TimeToTextTest, Table) {
  const DateTime share{2013, 12, 9, 23, 5, 3};
  struct Row {
    const char* label;
    DateTime when;
    int style, part;
    Text expected;
  };
  const std::vector<Row> rows = {
      {"style 2", share, 2, 0, "2013/12/09 23/05/03"},
      {"style 1", share, 1, 0, "2013-12-09 23:05:03"},
      {"style 3", share, 3, 0, "20131209230503"},
      {"plain form", share, 0, 0, "2013年12月9日23时5分3秒"},
      {"plain form at midnight", {2013, 12, 9, 0, 0, 0}, 0, 0, "2013年12月9日"},
      {"plain form on the hour", {2013, 12, 9, 8, 0, 0}, 0, 0, "2013年12月9日8时"},
      {"plain form on the minute", {2013, 12, 9, 8, 30, 0}, 0, 0, "2013年12月9日8时30分"},
      {"date, style 0", share, 0, 1, "2013年12月09日"},
      {"month and day, style 0", share, 0, 2, "12月09日"},
      {"time, style 0", share, 0, 3, "23时05分03秒"},
      {"date, style 2", share, 2, 1, "2013/12/09"},
      {"month and day, style 3", share, 3, 2, "1209"},
      {"time, style 2", share, 2, 3, "23/05/03"},
      {"hour and minute, style 1", {2013, 12, 9, 7, 5, 0}, 1, 4, "07:05"},
      {"hour and minute, style 0", {2013, 12, 9, 7, 5, 0}, 0, 4, "07时05分"},
      {"minute and second, style 0", {2013, 12, 9, 7, 5, 0}, 0, 5, "05分00秒"},
      {"minute and second, style 3", share, 3, 5, "0503"},
      {"style 4", share, 4, 0, "时间_到文本() 命令参数填写有误"},
      {"part 6", share, 0, 6, "时间_到文本() 命令参数填写有误"},
      {"negative style", share, -1, 0, "时间_到文本() 命令参数填写有误"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    EXPECT_EQ(时间_到文本(r.when, r.style, r.part), r.expected);
  }
}

TEST(TimeToTextTest, LeftOutTimeIsNow) {
  const Text year = SplitTime(LocalNow()).year;
  EXPECT_EQ(时间_到文本(std::nullopt, 1, 1).substr(0, year.size()), year);
  EXPECT_EQ(SplitTime({2013, 2, 3, 4, 5, 6}).month, "02");
}

}  // namespace
}  // namespace sarvoke
