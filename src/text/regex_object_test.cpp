#include "text/regex_object.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "text/code_page.h"
#include "text/text.h"

namespace sarvoke {
namespace {

// The engine's results-page pattern for one hit.
const Text kResultPattern =
    "}\"  href=\"(.+?)\"   target=\"_blank\" >.+?</a></h3>     <font size=-1>文件名:(.+?) 文件大小:(.+?) "
    "分享者:(.+?) 分享时间:(.+?) 下载次数:(.+?)</font>";

Text ResultLine(const Text& url, const Text& name, const Text& size, const Text& sharer, const Text& time,
                const Text& count) {
  return "<h3 class=\"t\"><a data-click=\"{'F':'7'}\"  href=\"" + url + "\"   target=\"_blank\" >" + name +
         "_免费高速下载</a></h3>     <font size=-1>文件名:" + name + " 文件大小:" + size +
         " 分享者:" + sharer + " 分享时间:" + time + " 下载次数:" + count + "</font><br>\n";
}

// One search with the default options and the match texts it must give.
struct MatchRow {
  const char* label;
  Text pattern;
  Text text;
  std::vector<Text> matches;
};

void ExpectMatches(const std::vector<MatchRow>& rows) {
  for (const MatchRow& r : rows) {
    SCOPED_TRACE(r.label);
    RegexObject re;
    EXPECT_TRUE(re.Search(r.pattern, r.text));
    ASSERT_EQ(re.MatchCount(), static_cast<int>(r.matches.size()));
    for (std::size_t i = 0; i < r.matches.size(); ++i)
      EXPECT_EQ(re.MatchText(static_cast<int>(i) + 1), r.matches[i]);
  }
}

TEST(RegexObjectTest, FreshObjectIsEmpty) {
  RegexObject re;
  EXPECT_EQ(re.MatchCount(), 0);
  EXPECT_EQ(re.GetPattern(), "");
  EXPECT_EQ(re.MatchText(1), "");
  EXPECT_EQ(re.SubmatchCount(), 0);
  EXPECT_EQ(re.Replace("x"), "");
}

TEST(RegexObjectTest, SearchTable) {
  struct Row {
    const char* label;
    Text pattern;
    Text text;
    std::optional<bool> caseSensitive, multiline, global, quoteToken;
    bool ok;
    std::vector<Text> matches;
  };
  const std::nullopt_t none = std::nullopt;
  const std::vector<Row> rows = {
      {"lower-case pattern, upper-case text", "abc", "xABCx", none, none, none, none, true, {"ABC"}},
      {"case-sensitive misses", "abc", "xABCx", true, none, none, none, true, {}},
      {"global collects every match", "a\\d", "a1 A2 a3", none, none, none, none, true, {"a1", "A2", "a3"}},
      {"not global takes the first", "a\\d", "a1 A2 a3", none, none, false, none, true, {"a1"}},
      {"quote token kept as written", "#引号(\\w+)#引号", "say \"hi\"", none, none, none, none, true, {}},
      {"quote token as a quote", "#引号(\\w+)#引号", "say \"hi\"", none, none, none, true, true, {"\"hi\""}},
      {"quote token written literally", "#引号x", "#引号x", none, none, none, none, true, {"#引号x"}},
      {"dot takes CR", "a.b", "a\rb", none, none, none, none, true, {"a\rb"}},
      {"dot takes form feed", "a.b", "a\fb", none, none, none, none, true, {"a\fb"}},
      {"dot refuses LF", "a.b", "a\nb", none, none, none, none, true, {}},
      {"escaped dot is a dot", "a\\.b", "axb a.b", none, none, none, none, true, {"a.b"}},
      {"dot in a class is a dot", "a[.]b", "axb a.b", none, none, none, none, true, {"a.b"}},
      {"lazy quantifier", "<(.+?)>", "<a><b>", none, none, none, none, true, {"<a>", "<b>"}},
      {"multiline anchors", "^\\w+$", "ab\ncd", none, none, none, none, true, {"ab", "cd"}},
      {"single-line anchors", "^\\w+$", "ab\ncd", none, false, none, none, true, {}},
      {"single-line end is the end", "b$", "ab\n", none, false, none, none, true, {}},
      {"empty matches step on", "x*", "ab", none, none, none, none, true, {"", "", ""}},
      {"Chinese literal",
       "文件名:(.+?) ",
       "文件名:三国.rar 大小",
       none,
       none,
       none,
       none,
       true,
       {"文件名:三国.rar "}},
      {"invalid pattern", "(ab", "ab", none, none, none, none, false, {}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    RegexObject re;
    EXPECT_EQ(re.Search(r.pattern, r.text, r.caseSensitive, r.multiline, r.global, r.quoteToken), r.ok);
    ASSERT_EQ(re.MatchCount(), static_cast<int>(r.matches.size()));
    for (std::size_t i = 0; i < r.matches.size(); ++i)
      EXPECT_EQ(re.MatchText(static_cast<int>(i) + 1), r.matches[i]);
  }
}

TEST(RegexObjectTest, DoubleByteCharactersStayWhole) {
  // B0 5C and 81 7C are whole characters whose second bytes are "\" and "|"; C1 41 has an "A" inside.
  const Text text = "\xB0\x5C\\x\x81\x7C|y\xC1\x41";
  const std::vector<MatchRow> rows = {
      {"backslash only where it stands alone", "\\\\", text, {"\\"}},
      {"bar only where it stands alone", "\\|", text, {"|"}},
      {"no case folding of a second byte", "a", text, {}},
      {"a dot takes the whole character", "^.", text, {"\xB0\x5C"}},
      {"the character in a pattern is a literal", "\xB0\x5C", text, {"\xB0\x5C"}},
      {"a class of the character", "[\x81\x7C]", text, {"\x81\x7C"}},
      {"characters as units", "(.)x", text, {"\\x"}},
  };
  ExpectMatches(rows);
}

TEST(RegexObjectTest, ALeadByteBeforeAByteThatCannotFollowItStandsAlone) {
  // D0 before a line feed, a quote and 7F: none of them is a second byte of code page 936.
  const Text text = "a\xD0\nb\xD0\"c\xD0\x7F";
  const std::vector<MatchRow> rows = {
      {"a dot stops at the line feed", "a.+", text, {"a\xD0"}},
      {"the line feed is found", "\n", text, {"\n"}},
      {"the quote is a quote", "\"c", text, {"\"c"}},
      {"the lone lead bytes are characters of their own", "\xD0", text, {"\xD0", "\xD0", "\xD0"}},
  };
  ExpectMatches(rows);
  EXPECT_EQ(TextFind(text, "\n"), 3);
  EXPECT_EQ(TextFind(text, "\""), 6);
  EXPECT_EQ(AnsiToUtf8(text), "a?\nb?\"c?\x7F");
  EXPECT_TRUE(IsDoubleByteAt("\xD0\x40", 0));
  EXPECT_TRUE(IsDoubleByteAt("\xD0\xFE", 0));
  EXPECT_FALSE(IsDoubleByteAt("\xD0\x3F", 0));
  EXPECT_FALSE(IsDoubleByteAt("\xD0\xFF", 0));
}

TEST(RegexObjectTest, CaseFoldingIsAsciiOnlyAndReachesClasses) {
  const std::vector<MatchRow> rows = {
      {"range of capitals takes small letters", "[A-Z]+", "abC", {"abC"}},
      {"negated range refuses the other case", "[^a-z]", "A1", {"1"}},
      {"range across the case gap", "[A-z]", "_q", {"q"}},
      {"not-word refuses letters of either case", "\\W", "aB-", {"-"}},
      {"not-word in a class", "[\\W]", "aB-", {"-"}},
      {"upper-case class takes small letters", "[[:upper:]]", "a1", {"a"}},
      {"word class has no Chinese", "\\w", "文a", {"a"}},
      {"full-width letters keep their case", "\xA3\xC1", "\xA3\xE1\xA3\xC1", {"\xA3\xC1"}},
      {"Greek letters keep their case", "\xA6\xA1", "\xA6\xC1", {}},
      {"back reference ignores case", "(a)\\1", "aA", {"aA"}},
      {"hex escape folds like its letter", "\\x41", "a", {"a"}},
      {"control escape", "\\ca", "\x01", {"\x01"}},
  };
  ExpectMatches(rows);
}

TEST(RegexObjectTest, DotMeansTheSameWhateverLineBreaksTheTextHas) {
  const std::vector<MatchRow> rows = {
      {"LF only", "a.+?b", "a\nb axb", {"axb"}},
      {"CR elsewhere", "a.+?b", "a\nb axb\r", {"axb"}},
      {"CR inside", "a.+?b", "a\nb a\rb", {"a\rb"}},
      {"form feed inside", "a.b", "a\fb\n", {"a\fb"}},
      {"anchors still see CR", "^b", "a\rb", {"b"}},
      {"inline dot-all changes nothing", "(?s)a.b", "a\nb", {}},
      {"inline flags in a group", "(?i:a.b)", "a\nb A-B", {"A-B"}},
      {"Chinese and dots", "文.+?名", "文件名\n文\n名", {"文件名"}},
  };
  ExpectMatches(rows);
}

TEST(RegexObjectTest, SpansAcrossLongMixedText) {
  // Byte offsets of characters far into a text of mixed single- and double-byte runs.
  Text text;
  for (int i = 0; i < 500; ++i)
    text += (i % 3 == 0 ? "文件" : "ab") + std::string(i % 17, 'x') + "<" + std::to_string(i) + ">";
  RegexObject re;
  ASSERT_TRUE(re.Search("<(\\d+)>", text));
  ASSERT_EQ(re.MatchCount(), 500);
  for (int i = 0; i < 500; ++i) EXPECT_EQ(re.SubmatchText(i + 1, 1), std::to_string(i));
}

TEST(RegexObjectTest, InvalidPatternAfterSuccessfulSearchLeavesNoMatches) {
  RegexObject re;
  ASSERT_TRUE(re.Search("a", "aaa"));
  ASSERT_EQ(re.MatchCount(), 3);
  EXPECT_FALSE(re.Search("a[", "aaa"));
  EXPECT_EQ(re.MatchCount(), 0);
  EXPECT_EQ(re.MatchText(1), "");
  EXPECT_EQ(re.SubmatchCount(), 0);
  EXPECT_EQ(re.GetPattern(), "a[");
  EXPECT_EQ(re.Replace("b"), "");
}

TEST(RegexObjectTest, GroupsAndIndexes) {
  RegexObject re;
  ASSERT_TRUE(re.Search("(\\w)(\\d)?", "a1 b"));
  ASSERT_EQ(re.MatchCount(), 2);
  EXPECT_EQ(re.SubmatchCount(), 2);
  struct Row {
    const char* label;
    int match, group;
    Text expected;
  };
  const std::vector<Row> rows = {
      {"group 1", 1, 1, "a"},
      {"group 2", 1, 2, "1"},
      {"group that took no part", 2, 2, ""},
      {"group beyond the groups", 1, 3, ""},
      {"group 0 is no group", 1, 0, ""},
      {"match 0", 0, 1, ""},
      {"match beyond the matches", 3, 1, ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    EXPECT_EQ(re.SubmatchText(r.match, r.group), r.expected);
  }
  EXPECT_EQ(re.MatchText(0), "");
  EXPECT_EQ(re.MatchText(3), "");
}

TEST(RegexObjectTest, ResultPatternOverResultLines) {
  const Text page =
      "<html>\n" +
      ResultLine("http://pan/s?id=1", "<em>三国</em>演义.rar", "1.2M", "张三", "2013-12-09", "12") +
      "<div>广告</div>\n" + ResultLine("http://pan/s?id=2", "红楼梦.txt", "300K", "李四", "2014-01-02", "0") +
      // Broken over two lines: "." takes no line feed, so this hit is skipped.
      "<h3><a data-click=\"{}\"  href=\"http://x\"   target=\"_blank\" >a\n</a></h3></font>\n";
  ASSERT_EQ(kResultPattern.size(), 144u);
  RegexObject re;
  ASSERT_TRUE(re.Search(kResultPattern, page));
  ASSERT_EQ(re.MatchCount(), 2);
  EXPECT_EQ(re.SubmatchCount(), 6);
  const std::vector<std::vector<Text>> expected = {
      {"http://pan/s?id=1", "<em>三国</em>演义.rar", "1.2M", "张三", "2013-12-09", "12"},
      {"http://pan/s?id=2", "红楼梦.txt", "300K", "李四", "2014-01-02", "0"},
  };
  for (int m = 1; m <= 2; ++m) {
    SCOPED_TRACE(m);
    for (int g = 1; g <= 6; ++g) EXPECT_EQ(re.SubmatchText(m, g), expected[m - 1][g - 1]);
  }
}

TEST(RegexObjectTest, ReplaceTable) {
  struct Row {
    const char* label;
    Text pattern, text, replacement;
    std::optional<bool> global;
    Text expected;
  };
  const std::vector<Row> rows = {
      {"group references", "(\\w+)=(\\w+)", "a=1 b=2", "$2=$1", std::nullopt, "1=a 2=b"},
      {"first only when not global", "\\d", "1 2 3", "#", false, "# 2 3"},
      {"whole match and dollar", "b", "abc", "[$&$$]", std::nullopt, "a[b$]c"},
      {"text before and behind", "b", "abc", "<$`|$'>", std::nullopt, "a<a|c>c"},
      {"reference beyond the groups stays", "(a)", "a", "$2$1", std::nullopt, "$2a"},
      {"no match leaves the text", "z", "abc", "y", std::nullopt, "abc"},
      {"double-byte text", "三", "一三五", "[三]", std::nullopt, "一[三]五"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    RegexObject re;
    ASSERT_TRUE(re.Search(r.pattern, r.text, std::nullopt, std::nullopt, r.global));
    EXPECT_EQ(re.Replace(r.replacement), r.expected);
  }
}

TEST(RegexObjectTest, CopyKeepsTheMatchesOfItsSearch) {
  RegexObject re;
  ASSERT_TRUE(re.Search("(\\d)", "a1b2"));
  const RegexObject copy = re;
  ASSERT_TRUE(re.Search("x", "y"));
  EXPECT_EQ(re.MatchCount(), 0);
  EXPECT_EQ(copy.MatchCount(), 2);
  EXPECT_EQ(copy.SubmatchText(2, 1), "2");
  EXPECT_EQ(copy.GetPattern(), "(\\d)");
}

TEST(RegexObjectTest, NonAsciiCharactersStayDistinct) {
  ExpectMatches({
      {"another character in the same place", "名字:(.+?)号", "名称:x号 名字:y号", {"名字:y号"}},
      {"two characters of the pattern swapped", "甲乙", "乙甲 甲乙", {"甲乙"}},
      {"characters the pattern does not name", "文.件", "文字件 文件件 文\n件", {"文字件", "文件件"}},
      {"negated ASCII class", "[^a]文", "甲文 a文", {"甲文"}},
      {"Latin-1 signs", "3×4", "3÷4 3×4", {"3×4"}},
      {"dot over a Latin-1 sign", "3.4", "3÷4", {"3÷4"}},
  });
  // More different characters than there are short codes for.
  Text many;
  for (int trail = 0xA1; trail < 0xA1 + 70; ++trail) many += std::string{'\xB0', static_cast<char>(trail)};
  Text other = many;
  other.back() = static_cast<char>(0xA1 + 70);
  ExpectMatches({
      {"many characters", "(" + many + ")", "x" + many + "y" + other, {many}},
      {"many characters, one different", other, many, {}},
      {"adjacent matches", "名.", "名名名名", {"名名", "名名"}},
  });
  const std::optional<bool> none;
  struct Row {
    const char* label;
    Text pattern;
    Text text;
    std::optional<bool> caseSensitive, multiline, global;
    std::vector<Text> matches;
  };
  const std::vector<Row> rows = {
      {"case-sensitive", "名a", "名A 名a", true, none, none, {"名a"}},
      {"not global", "名.", "名A名B", none, none, false, {"名A"}},
      {"multiline anchors", "^名$", "名\n名", none, none, none, {"名", "名"}},
      {"single-line anchors", "^名$", "名\n名", none, false, none, {}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    RegexObject re;
    EXPECT_TRUE(re.Search(r.pattern, r.text, r.caseSensitive, r.multiline, r.global));
    ASSERT_EQ(re.MatchCount(), static_cast<int>(r.matches.size()));
    for (std::size_t i = 0; i < r.matches.size(); ++i)
      EXPECT_EQ(re.MatchText(static_cast<int>(i) + 1), r.matches[i]);
  }
  RegexObject re;
  ASSERT_TRUE(re.Search("名(.)", "x名Ay名B"));
  EXPECT_EQ(re.Replace("[$1]"), "x[A]y[B]");
}

TEST(RegexObjectTest, CatastrophicPatternFailsInsteadOfHanging) {
  struct Row {
    const char* pattern;
    char fill;
    std::size_t length;
  };
  const std::vector<Row> rows = {{"(a+)+b", 'a', 30}, {"(a+)+b", 'a', 5000}, {"(x+x+)+y", 'x', 5000}};
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.pattern) + " over " + std::to_string(r.length));
    RegexObject re;
    ASSERT_TRUE(re.Search("a", "a"));
    EXPECT_FALSE(re.Search(r.pattern, std::string(r.length, r.fill)));
    EXPECT_EQ(re.MatchCount(), 0);
  }
}

}  // namespace
}  // namespace sarvoke

namespace sarvoke {
namespace {

// Every find-all loop moves forward, also past a match that ends before it starts.
TEST(RegexObjectTest, MatchesThatDoNotMoveForwardStillEnd) {
  struct Row {
    const char* pattern;
    std::string_view text;
    int count;
  } rows[] = {{R"((?=a\K))", "aaa", 3}, {"x*", "abc", 4}, {R"(\K)", "ab", 3}, {"(?=.)", "", 0}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.pattern);
    RegexObject re;
    EXPECT_TRUE(re.Search(r.pattern, r.text));
    EXPECT_EQ(re.MatchCount(), r.count);
    EXPECT_EQ(re.MatchText(1), "");
    EXPECT_EQ(re.Replace("-").size(), r.text.size() + r.count);
  }
}

// A line the engine gives up on is skipped; the matches on the other lines are kept.
TEST(RegexObjectTest, LinesTheEngineGivesUpOnAreSkipped) {
  Text text;
  for (int i = 0; i < 2000; ++i) {
    if (i % 400 == 7) text += std::string(40, 'a') + "\n";
    text += "x" + std::to_string(i % 10) + "y filler\n";
  }
  RegexObject re;
  EXPECT_TRUE(re.Search(R"(x(\d)y|(a+)+b)", text));
  ASSERT_EQ(re.MatchCount(), 2000);
  EXPECT_EQ(re.SubmatchText(2000, 1), "9");
}

}  // namespace
}  // namespace sarvoke
