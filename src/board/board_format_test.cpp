#include "board/board_format.h"

#include <gtest/gtest.h>

namespace sarvoke {
namespace {

TEST(BoardEntries, ParsedNewestFirst) {
  struct Row {
    const char* label;
    std::string_view board;
    std::vector<std::vector<Text>> entries;  // newest first: nickname, content, time
  } rows[] = {
      {"two entries", "A-B\\C|D-E\\F|", {{"D", "E", "F"}, {"A", "B", "C"}}},
      {"a nickname with - splits at its first -", "x-y-z\\t|", {{"x", "y-z", "t"}}},
      {"an empty time runs into the next entry", "A-B\\|D-E\\F|", {{"A", "B", "|D-E\\F"}}},
      {"line breaks belong to the texts", "A\r\n-B\nb\\C|", {{"A\r\n", "B\nb", "C"}}},
      {"tokens and text around entries", "{条数}(5)A-B\\C|tail", {{"{条数}(5)A", "B", "C"}}},
      {"a double-byte character ending in \\ or | is no separator",
       "\x95\\-\x95|\\t|",
       {{"\x95\\", "\x95|", "t"}}},
      {"no entry", "{置顶}(hello) no entries", {}},
      {"empty", "", {}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    const auto entries = ParseBoardEntries(r.board);
    ASSERT_EQ(entries.size(), r.entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
      EXPECT_EQ(entries[i].nickname, r.entries[i][0]);
      EXPECT_EQ(entries[i].content, r.entries[i][1]);
      EXPECT_EQ(entries[i].time, r.entries[i][2]);
    }
  }
}

TEST(BoardSettings, TokensWithTheirDefaults) {
  struct Row {
    const char* label;
    std::string_view board;
    int token;
    Text value;
  } rows[] = {
      {"page size", "A-B\\C|{条数}(10)", kTokenPageSize, "10"},
      {"inside an entry's content", "A-x{条数}(7)y\\C|", kTokenPageSize, "7"},
      {"the first occurrence counts", "{条数}(3){条数}(4)", kTokenPageSize, "3"},
      {"default page size", "", kTokenPageSize, "20"},
      {"pinned text up to the first )", "{置顶}(a(b))", kTokenPinnedText, "a(b"},
      {"no pinned text", "", kTokenPinnedText, ""},
      {"a value never spans a line break", "{置顶}(a\nb)", kTokenPinnedText, ""},
      {"font size default", "", kTokenFontSize, "14"},
      {"index colour default", "", kTokenIndexColor, "#800080"},
      {"nickname colour", "{昵称颜色}(#123456)", kTokenNicknameColor, "#123456"},
      {"content colour default", "", kTokenContentColor, "#000000"},
      {"border colour default", "", kTokenBorderColor, "#CCCCCC"},
      {"letter case of the name", "{边框颜色}(red)", kTokenBorderColor, "red"},
      {"no such token", "{条数}(5)", 8, ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    EXPECT_EQ(ReadBoardSetting(r.board, r.token), r.value);
  }
}

TEST(BoardSettings, APageSizeBelowOneAndUnsafeColoursKeepTheirDefaults) {
  for (const char* board : {"{条数}(0)", "{条数}(-3)", "{条数}(abc)"}) {
    SCOPED_TRACE(board);
    EXPECT_EQ(ReadBoardSettings(board).pageSize, 20);
  }
  EXPECT_EQ(ReadBoardSettings("{条数}(2.9)").pageSize, 2);
  struct Row {
    std::string_view colour;
    bool safe;
  } colours[] = {{"#FFF", true},          {"#a0B1c2", true},        {"red", true},
                 {"#FFFF", false},        {"#GGGGGG", false},       {"", false},
                 {"red onload=x", false}, {"#FFF><script>", false}, {"expression(1)", false},
                 {"红色", false}};
  for (const Row& r : colours) {
    SCOPED_TRACE(std::string(r.colour));
    EXPECT_EQ(IsSafeColour(r.colour), r.safe);
    const Text board = "{序号颜色}(" + Text(r.colour) + ")";
    EXPECT_EQ(ReadBoardSettings(board).indexColor, r.safe ? Text(r.colour) : Text("#800080"));
  }
}

}  // namespace
}  // namespace sarvoke
