#include "search/search_request.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/main_window.h"
#include "search/result_parser.h"

namespace sarvoke {
namespace {

TEST(UrlEncode, BothSwitches) {
  struct Row {
    const char* label;
    Text text;
    bool keepAlnum, toUtf8;
    Text want;
  } rows[] = {
      {"word", "abc 1.2_x/y", true, true, "abc%201.2%5Fx%2Fy"},
      {"utf-8 bytes", "色", true, true, "%E8%89%B2"},
      {"every byte", "abc", false, true, "%61%62%63"},
      {"own bytes", "色", true, false, "%C9%AB"},
      {"tilde and low bytes", "~-\n", true, true, "%7E-%0A"},
      {"empty", "", true, true, ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    EXPECT_EQ(UrlEncode(r.text, r.keepAlnum, r.toUtf8), r.want);
  }
}

TEST(BlockedWordsQuery, WordsEndedBySpaces) {
  struct Row {
    const char* label;
    Text text;
    Text want;
  } rows[] = {
      {"one word", "ab ", " -%28%61%62%29"},
      {"two words", "a b ", " -%28%61+%7C+%62%29"},
      {"last word without space is lost", "a b", " -%28%61%29"},
      {"no space at all", "ab", " -"},
      {"empty", "", " -"},
      {"extra space starts the next word", "ab  cd ", " -%28%61%62+%7C+%20%63%64%29"},
      {"double-byte words", "色 裸 ", " -%28%E8%89%B2+%7C+%E8%A3%B8%29"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    EXPECT_EQ(BlockedWordsQuery(r.text), r.want);
  }
  // The default blocked words: nine encoded words joined by "+%7C+".
  const Text q = BlockedWordsQuery(Text(kDefaultBlockedWords));
  EXPECT_EQ(q.substr(0, 5), " -%28");
  EXPECT_EQ(TextRight(q, 3), "%29");
  EXPECT_EQ(TextSplit(q, "+%7C+").size(), 9u);
}

TEST(SearchAddress, FirstPageAndLaterPages) {
  Endpoints e;
  e.searchEngineHost = "s.example:81";
  e.shareSiteDomain = "pan.example";
  EXPECT_EQ(SearchAddress(e, 1, "abc", " -%28%61%29", "100"),
            "http://s.example:81/s?q1=site%3A%28pan.example%29 abc -%28%61%29&rn=100&ie=utf-8");
  EXPECT_EQ(SearchAddress(e, 2, "abc", " -", "20"),
            "http://s.example:81/s?q1=site%3A%28pan.example%29 abc -&pn=20&tn=pubgen_pg&rn=20&ie=utf-8");
  EXPECT_EQ(SearchAddress(e, 3, "", " -", "100"),
            "http://s.example:81/s?q1=site%3A%28pan.example%29  -&pn=200&tn=pubgen_pg&rn=100&ie=utf-8");
  // No page size selected: an empty size, and the offset is 0.
  EXPECT_EQ(SearchAddress(e, 2, "x", " -", ""),
            "http://s.example:81/s?q1=site%3A%28pan.example%29 x -&pn=0&tn=pubgen_pg&rn=&ie=utf-8");
  EXPECT_EQ(PageSizeText(0), "10");
  EXPECT_EQ(PageSizeText(3), "100");
  EXPECT_EQ(PageSizeText(-1), "");
  EXPECT_EQ(PageSizeText(4), "");
}

TEST(ResultPattern, IsTheBuiltInLiteral) {
  EXPECT_EQ(kResultPattern.size(), 144u);
  EXPECT_EQ(std::count(kResultPattern.begin(), kResultPattern.end(), ' '), 16);
}

TEST(MarkSuspiciousHits, ThreeOrMoreEqualSizes) {
  auto hits = [](std::initializer_list<const char*> sizes) {
    std::vector<SearchHit> v;
    for (const char* s : sizes) v.push_back({"n", "", s, "", "", ""});
    return v;
  };
  struct Row {
    const char* label;
    std::vector<SearchHit> hits;
    std::vector<bool> marked;
  } rows[] = {
      {"two equal sizes", hits({"1M", "1M", "2M"}), {false, false, false}},
      {"three equal sizes", hits({"1M", "2M", "1M", "1M"}), {true, false, true, true}},
      {"spelling counts", hits({"1.2M", "1.20M", "1.2m", "1.2M"}), {false, false, false, false}},
      {"empty sizes are sizes too", hits({"", "", ""}), {true, true, true}},
  };
  for (Row& r : rows) {
    SCOPED_TRACE(r.label);
    MarkSuspiciousHits(r.hits);
    for (std::size_t i = 0; i < r.hits.size(); ++i) {
      EXPECT_EQ(r.hits[i].fileName, r.marked[i] ? Text(kSuspiciousMark) + "n" : Text("n")) << i;
    }
  }
}

}  // namespace
}  // namespace sarvoke
