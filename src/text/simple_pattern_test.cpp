#include "text/simple_pattern.h"

#include <gtest/gtest.h>

#include <vector>

namespace sarvoke {
namespace {

std::vector<Text> Groups(std::string_view pattern, std::string_view text, int group) {
  SimplePattern p;
  CompileSimplePattern(p, pattern);
  std::vector<Text> out;
  for (const PatternMatch& m : FindAllMatches(p, text))
    out.push_back(group == 0 ? PatternMatchText(m, text) : PatternGroupText(m, text, group));
  return out;
}

TEST(SimplePatternTest, FindAllTable) {
  struct Row {
    const char* label;
    Text pattern, text;
    int group;
    std::vector<Text> expected;
  };
  const std::vector<Row> rows = {
      {"blocked words keep the second space", "(.+?) ", "ab  cd ", 1, {"ab", " cd"}},
      {"dot spans CR LF", "(.+?)\\|", "a\r\nb|", 1, {"a\r\nb"}},
      {"case counts", "ab", "AB ab", 0, {"ab"}},
      {"board entries", "(.+?)-(.+?)\\\\(.+?)\\|", "张三-你好\\2013|李四-再见\\2014|", 2, {"你好", "再见"}},
      {"trail byte 5C is no backslash", "(.+?)\\\\", "\xB0\x5Cx\\", 1, {"\xB0\x5Cx"}},
      {"trail byte 7C is no bar", "(.+?)\\|", "\x81\x7Cy|z|", 1, {"\x81\x7Cy", "z"}},
      {"group that took no part", "a(b)?", "a", 1, {""}},
      {"group beyond the groups", "a", "a", 2, {""}},
      {"nothing matches", "q", "abc", 0, {}},
      {"invalid pattern finds nothing", "(a", "aaa", 0, {}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    EXPECT_EQ(Groups(r.pattern, r.text, r.group), r.expected);
  }
}

TEST(SimplePatternTest, FindFirstTable) {
  struct Row {
    const char* label;
    Text pattern, text;
    int start;
    std::optional<Text> expected;
  };
  const std::vector<Row> rows = {
      {"QQ number", "[1-9][0-9]{4,}", "QQ 012345", 1, "12345"},
      {"four digits are no number", "[1-9][0-9]{4,}", "QQ 1234", 1, std::nullopt},
      {"from a later position", "\\d", "1a2", 2, "2"},
      {"position inside a character moves to the next", "\\S", "\xC4\xE3x", 2, "x"},
      {"position behind the text", "a", "a", 5, std::nullopt},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    SimplePattern p;
    ASSERT_TRUE(CompileSimplePattern(p, r.pattern));
    const auto m = FindFirstMatch(p, r.text, r.start);
    ASSERT_EQ(m.has_value(), r.expected.has_value());
    if (m) EXPECT_EQ(PatternMatchText(*m, r.text), *r.expected);
  }
}

TEST(SimplePatternTest, CompileReportsAndReleaseEmpties) {
  SimplePattern p;
  EXPECT_FALSE(CompileSimplePattern(p, "[a"));
  EXPECT_FALSE(FindFirstMatch(p, "a").has_value());
  EXPECT_TRUE(CompileSimplePattern(p, "A", false));
  std::vector<PatternMatch> found = FindAllMatches(p, "a A");
  EXPECT_EQ(found.size(), 2u);
  ReleaseMatches(found);
  EXPECT_TRUE(found.empty());
  ReleaseSimplePattern(p);
  EXPECT_TRUE(FindAllMatches(p, "a").empty());
}

}  // namespace
}  // namespace sarvoke

namespace sarvoke {
namespace {

TEST(SimplePatternTest, AMatchEndingBeforeItsStartStillMovesOn) {
  SimplePattern p;
  ASSERT_TRUE(CompileSimplePattern(p, R"((?=a\K))"));
  EXPECT_EQ(FindAllMatches(p, "aaaa").size(), 4u);
  ReleaseSimplePattern(p);
}

}  // namespace
}  // namespace sarvoke
