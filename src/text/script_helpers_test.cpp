#include "text/script_helpers.h"

#include <gtest/gtest.h>

#include <cctype>
#include <vector>

namespace sarvoke {
namespace {

TEST(ScriptUnescapeTest, Table) {
  struct Row {
    const char* label;
    Text escaped;
    Text expected;
  };
  const std::vector<Row> rows = {
      {"unicode escapes", "\\u4e2d\\u6587.txt", "中文.txt"},
      {"escaped slash", "a\\/b", "a/b"},
      {"percent escape", "50%25", "50%"},
      {"lone percent stays", "100% %zz %u12", "100% %zz %u12"},
      {"percent u escape", "%u4E2D", "中"},
      {"apostrophe survives", "it's", "it's"},
      {"full-width quote comes back as an apostrophe", "it’s", "it's"},
      {"placeholder becomes a line break", "a{$}b", "a\r\nb"},
      {"CR LF survives", "a\r\nb", "a\r\nb"},
      {"line feed alone breaks the literal", "a\nb", ""},
      {"CR inside breaks the literal", "a\rb", ""},
      {"lone leading CR is dropped", "\rab\\u0041", "abA"},
      {"backslash at the end breaks the literal", "ab\\", ""},
      {"escaped backslash at the end", "ab\\\\", "ab\\"},
      {"literal escapes", "a\\tb\\x41\\101\\q\\'", "a\tbAAq'"},
      {"octal stops at three digits", "\\1011", "A1"},
      {"bad hex escape is the letter", "\\xg", "xg"},
      {"surrogate pair", "%uD83D%uDE00!", "?!"},
      {"lone surrogate", "%uD800x", "?x"},
      {"Chinese text as it is", "百度网盘", "百度网盘"},
      {"Latin-1 by percent", "%E9", "é"},
      {"character that code page 936 lacks", "%u0E01", "?"},
      {"empty", "", ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    EXPECT_EQ(ScriptUnescape(r.escaped), r.expected);
  }
}

TEST(ScriptTimeTest, ThirteenDigitsOfMilliseconds) {
  const Text t = ScriptTime();
  ASSERT_EQ(t.size(), 13u);
  for (char c : t) EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(c)));
  const Text later = ScriptTime();
  EXPECT_GE(later, t);
}

}  // namespace
}  // namespace sarvoke
