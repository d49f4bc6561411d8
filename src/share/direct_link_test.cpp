#include "share/direct_link.h"

#include <gtest/gtest.h>

#include <random>

#include "net/endpoints.h"

namespace sarvoke {
namespace {

// The unescaping done literally: the first "\\/\\/" made "//", then the first "\\/" made "/" for as
// long as one is found, each search from the start.
Text LiteralUnescape(Text t) {
  const int at = TextFind(t, R"(\\/\\/)");
  if (at != -1) t.replace(at - 1, 6, "//");
  for (int p; (p = TextFind(t, R"(\\/)")) != -1;) t.replace(p - 1, 3, "/");
  return t;
}

TEST(DirectLink, UnescapesTheDoubledSlashes) {
  struct Row {
    const char* label;
    std::string_view in, out;
  } rows[] = {
      {"the share site's form", R"(x:\\/\\/a\\/b)", "x://a/b"},
      {"a real link", R"(http:\\/\\/d.pcs.baidu.com\\/file\\/ab?fid=1&sh=1)",
       "http://d.pcs.baidu.com/file/ab?fid=1&sh=1"},
      {"four backslashes and a slash collapse wholly", R"(a\\\\/b)", "a/b"},
      {"three leave one", R"(a\\\/b)", R"(a\/b)"},
      {"a single backslash stays", R"(http:\/\/a\/b)", R"(http:\/\/a\/b)"},
      {"nothing to do", "http://a/b", "http://a/b"},
      {"backslashes before no slash stay", R"(a\\b\\)", R"(a\\b\\)"},
      {"empty", "", ""},
      {"a trail byte 0x5C is part of its character", "\x95\\\\\\/x", "\x95\\/x"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    EXPECT_EQ(UnescapeDirectLink(r.in), r.out);
    EXPECT_EQ(LiteralUnescape(Text(r.in)), r.out);
  }
}

TEST(DirectLink, OnePassGivesWhatTheRepeatedReplacementGives) {
  std::mt19937 random(7);
  const std::string_view pieces[] = {"\\", "\\", "\\", "/", "/", "a", "\x95\\", ":"};
  for (int n = 0; n < 20000; ++n) {
    Text t;
    const int len = static_cast<int>(random() % 14);
    for (int i = 0; i < len; ++i) t += pieces[random() % std::size(pieces)];
    ASSERT_EQ(UnescapeDirectLink(t), LiteralUnescape(t)) << t;
  }
}

TEST(DirectLink, ShareUrlOfRowFollowsTheListMode) {
  auto app = CreateApp(".");
  Endpoints e = CurrentEndpoints();
  e.shareSiteDomain = "pan.example:81";
  SetCurrentEndpoints(e);
  SearchState& s = app->search;
  s.hits = {SearchHit{"a", "http://pan/share/link?shareid=1&uk=9", "", "", "", ""},
            SearchHit{"b", "http://pan/share/link?shareid=2&uk=9", "", "", "", ""}};
  s.userShares = {UserShare{"c", "", "", "77"}};
  s.userKey = "555";
  EXPECT_TRUE(HasRecordAt(*app, 1));
  EXPECT_FALSE(HasRecordAt(*app, 2));
  EXPECT_FALSE(HasRecordAt(*app, -1));
  EXPECT_EQ(ShareUrlOfRow(*app, 1), "http://pan/share/link?shareid=2&uk=9");
  s.listMode = ListMode::UserShares;
  EXPECT_TRUE(HasRecordAt(*app, 0));
  EXPECT_FALSE(HasRecordAt(*app, 1));
  EXPECT_EQ(ShareUrlOfRow(*app, 0), "http://pan.example:81/share/link?shareid=77&uk=555");
  SetCurrentEndpoints(DefaultEndpoints());
}

}  // namespace
}  // namespace sarvoke
