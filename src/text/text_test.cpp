#include "text/text.h"

#include <gtest/gtest.h>

#include "text/code_page.h"
#include "text/text_between.h"

namespace sarvoke {
namespace {

// "\xB0\x5C" is a double-byte character whose second byte is a backslash; "\xB0\x7C" one whose second
// byte is "|"; "\xC4\x41" one whose second byte is "A".
TEST(TextFind, StepsByCharacter) {
  struct Row {
    const char* label;
    std::string source, needle;
    int start;
    bool ignoreCase;
    int want;
  } rows[] = {
      {"plain", "abcabc", "c", 1, false, 3},
      {"from position", "abcabc", "c", 4, false, 6},
      {"missing", "abc", "x", 1, false, -1},
      {"start past end", "abc", "a", 9, false, -1},
      {"start 0 means beginning", "abc", "a", 0, false, 1},
      {"trail byte is not a start", "\xB0\x5C\\", "\\", 1, false, 3},
      {"trail byte alone", "\xB0\x5C", "\\", 1, false, -1},
      {"trail letter not folded", "\xC4\x41", "a", 1, true, -1},
      {"trail letter not found exactly either", "\xC4\x41", "A", 1, false, -1},
      {"ascii folded", "xAbC", "abc", 1, true, 2},
      {"case counts", "xAbC", "abc", 1, false, -1},
      {"double-byte needle", "a淫b淫", "淫", 3, false, 5},
      {"start inside a character moves to the next", "淫x", "x", 2, false, 3},
      {"empty needle", "abc", "", 2, false, 2},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    EXPECT_EQ(TextFind(r.source, r.needle, r.start, r.ignoreCase), r.want);
  }
}

TEST(TextSplit, KeepsInnerAndLeadingEmptyPiecesDropsTrailingOne) {
  using V = std::vector<Text>;
  EXPECT_EQ(TextSplit("", ";"), V{});
  EXPECT_EQ(TextSplit("a;b", ";"), (V{"a", "b"}));
  EXPECT_EQ(TextSplit("a;b;", ";"), (V{"a", "b"}));
  EXPECT_EQ(TextSplit(";a;;b", ";"), (V{"", "a", "", "b"}));
  EXPECT_EQ(TextSplit(";", ";"), (V{""}));
  EXPECT_EQ(TextSplit("\xB0\x7C|x", "|"), (V{"\xB0\x7C", "x"}));
  EXPECT_EQ(TextSplit("abc", ""), (V{"abc"}));
}

TEST(TextReplaceAll, CharacterWiseAndOptionallyIgnoringCase) {
  EXPECT_EQ(TextReplaceAll("<em>a</em><EM>", "<em>", ""), "a</em><EM>");
  EXPECT_EQ(TextReplaceAll("\xB0\x5C\\", "\\", "/"), "\xB0\x5C/");
  EXPECT_EQ(TextReplaceAll("aAa", "a", "b", true), "bbb");
  EXPECT_EQ(TextReplaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(TextReplaceAll("abc", "", "x"), "abc");
}

TEST(Blanks, TrimAndRemoveKnowBothSpaces) {
  const Text fw(kFullWidthSpace);
  EXPECT_EQ(TrimBlanks(" " + fw + "a b\t" + fw + " "), "a b\t");
  EXPECT_EQ(TrimBlanks("\r\n a \n"), "\r\n a \n");
  EXPECT_EQ(TrimBlanks(fw + fw), "");
  EXPECT_EQ(RemoveBlanks("n=a b" + fw + "c"), "n=abc");
  // A1 A1 that straddles two characters is not a blank: B0 A1 is one character, A1 41 another.
  EXPECT_EQ(RemoveBlanks("\xB0\xA1\xA1\x41"), "\xB0\xA1\xA1\x41");
  EXPECT_EQ(TrimBlanks("\xB0\xA1\xA1\x41"), "\xB0\xA1\xA1\x41");
}

TEST(TextHelpers, CaseMappingLeavesDoubleByteCharactersWhole) {
  EXPECT_EQ(AsciiLower("HTTP://A\xC4\x41"), "http://a\xC4\x41");
  EXPECT_EQ(AsciiUpper("a\xC4\x61"), "A\xC4\x61");
}

TEST(TextHelpers, TextToIntTakesTheLeadingNumber) {
  struct Row {
    const char* text;
    int want;
  } rows[] = {{"2", 2},   {"7", 7},   {"abc", 0},   {"", 0},
              {"-1", -1}, {"3.9", 3}, {" 12x", 12}, {"99999999999", 2147483647}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    EXPECT_EQ(TextToInt(r.text), r.want);
  }
}

TEST(TextFromBytes, EndsAtTheFirstZeroByte) {
  EXPECT_EQ(TextFromBytes(Bytes{'a', 'b', 0, 'c'}), "ab");
  EXPECT_EQ(TextFromBytes(Bytes{}), "");
  EXPECT_EQ(BytesFromText("ab"), (Bytes{'a', 'b'}));
}

TEST(CodePage, RoundTripAndReplacement) {
  EXPECT_EQ(AnsiToUtf8("色"), "\xE8\x89\xB2");
  EXPECT_EQ(Utf8ToAnsiText("\xE8\x89\xB2"), "色");
  EXPECT_EQ(AnsiToUtf8("abc"), "abc");
  // A broken UTF-8 sequence becomes U+FFFD, which code page 936 lacks, so "?".
  EXPECT_EQ(Utf8ToAnsiText("a\xE8\x89z"), "a?z");
  EXPECT_EQ(Utf8ToAnsiText("\xFF\xFE"), "??");
  // A character outside code page 936 (U+1F600) becomes "?".
  EXPECT_EQ(Utf8ToAnsiText("x\xF0\x9F\x98\x80y"), "x?y");
  EXPECT_EQ(Utf8BodyToAnsi(Bytes{}), Bytes{});
  const Text page(20000, 'a');
  EXPECT_EQ(Utf8ToAnsiText(AnsiToUtf8(page + "中文")), page + "中文");
  // A lone lead byte at the end is no character of code page 936.
  EXPECT_EQ(AnsiToUtf8("a\xB0"), "a?");
}

TEST(CodePage, EveryDoubleByteCharacterRoundTrips) {
  int characters = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const Text c{static_cast<char>(lead), static_cast<char>(trail)};
      const Text utf8 = AnsiToUtf8(c);
      if (utf8 == "?") continue;  // not a character of the code page
      ++characters;
      ASSERT_EQ(Utf8ToAnsiText(utf8), c) << std::hex << lead << " " << trail;
    }
  }
  EXPECT_GT(characters, 21000);
}

TEST(TextBetween, MarkersAndOptions) {
  struct Row {
    const char* label;
    std::string source, start, end;
    std::string want;
  } rows[] = {
      {"first pair", "a[x]b[y]", "[", "]", "x"},
      {"end missing", "a[x", "[", "]", ""},
      {"start missing", "ax]", "[", "]", ""},
      {"case ignored", "id=[u]", "ID=[", "]", "u"},
      {"quote token", "say \"x1\"", "#引号x", "#引号", "1"},
      {"empty inner", "[]", "[", "]", ""},
      {"not inside a double-byte character", "\xB0[x][y]", "[", "]", "y"},
      {"end marker searched behind the start", "]a[b]", "[", "]", "b"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    EXPECT_EQ(TextBetween(r.source, r.start, r.end), r.want);
  }
  EXPECT_EQ(TextBetween("a[x]b[y]", "[", "]", 4), "y");
  EXPECT_EQ(TextBetween("id=[u]", "ID=[", "]", 1, true), "");
}

}  // namespace
}  // namespace sarvoke
