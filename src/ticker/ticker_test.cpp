#include "ticker/ticker.h"

#include <gtest/gtest.h>

#include "platform/url_opener.h"

namespace sarvoke {
namespace {

TEST(Ticker, PercentDecoding) {
  struct Row {
    const char* label;
    std::string_view in;
    bool convert;
    Text out;
  } rows[] = {
      {"UTF-8 escapes to code page 936", "%E4%B8%8A", true, "上"},
      {"the bytes themselves", "%E4%B8%8A", false, "\xE4\xB8\x8A"},
      {"letters", "%41%4a%4A", false, "AJJ"},
      {"a zero byte disappears", "a%00b", false, "ab"},
      {"not hexadecimal digits stay as they stand", "100%zz!", false, "100%zz!"},
      {"one digit only", "%4x", false, "%4x"},
      {"a % at the end", "a%", false, "a%"},
      {"a % and one byte at the end", "a%4", false, "a%4"},
      {"escapes beside plain text", "x%20y", true, "x y"},
      {"empty", "", true, ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    EXPECT_EQ(PercentDecodeText(r.in, r.convert), r.out);
  }
}

TEST(Ticker, PatternAndWidths) {
  EXPECT_EQ(kTickerPattern.size(), 157u);
  EXPECT_EQ(TickerWidth(Text(50, 'x')), 304);
  EXPECT_EQ(TickerWidth(Text(33, 'x')), 200);
}

class TickerScroll : public ::testing::Test {
 protected:
  void SetUp() override {
    app = CreateApp(".");
    app->ticker.posts = {
        {"1", "http://a/1", "一", "0"}, {"2", "http://a/2", "二", "0"}, {"3", "javascript:x", "三", "0"}};
    SetUrlHandler([this](const std::string& u) {
      opened.push_back(u);
      return true;
    });
  }
  void TearDown() override { SetUrlHandler(nullptr); }
  std::shared_ptr<App> app;
  std::vector<std::string> opened;
};

TEST_F(TickerScroll, PostsCycleAndEveryLaterOneStartsAtTheRightEdge) {
  WindowModel& w = app->window;
  OpenTickerPost(*app);  // before any post is shown: nothing to open
  EXPECT_TRUE(opened.empty());
  app->ticker.current = 1;
  ShowTickerPost(*app);
  EXPECT_EQ(w.GetText("滚动条"), "一 点击：1 评论：0");
  EXPECT_EQ(w.GetLeft("滚动条"), 576);  // the first post from the label's design place
  std::vector<int> shown = {app->ticker.current};
  std::vector<int> startLefts;
  for (int tick = 0; tick < 4000 && shown.size() < 4; ++tick) {
    ScrollTicker(*app);
    if (app->ticker.current != shown.back()) {
      shown.push_back(app->ticker.current);
      startLefts.push_back(w.GetLeft("滚动条"));
    }
  }
  EXPECT_EQ(shown, (std::vector<int>{1, 2, 3, 1}));
  for (int left : startLefts) EXPECT_EQ(left, w.WindowWidth());
  EXPECT_EQ(w.GetWidth("滚动条"), TickerWidth(w.GetText("滚动条")));
  OpenTickerPost(*app);
  EXPECT_EQ(opened, std::vector<std::string>{"http://a/1"});
  app->ticker.current = 3;
  OpenTickerPost(*app);  // a link that is no web address is not handed over
  EXPECT_EQ(opened.size(), 1u);
}

}  // namespace
}  // namespace sarvoke
