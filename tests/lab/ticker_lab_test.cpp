// The news ticker against the lab's publisher: both kinds of home page, a page without posts, and a
// search host that cannot be reached.
#include <gtest/gtest.h>

#include "lab_app_fixture.h"
#include "ticker/ticker.h"

namespace sarvoke {
namespace {

class TickerLab : public LabAppTest {};

TEST_F(TickerLab, BothKindsOfHomePageGiveThePosts) {
  for (bool declared : {true, false}) {
    SCOPED_TRACE(declared ? "charset=utf-8 in the header" : "no charset in the header");
    lab.SetHomePageDeclaresCharset(declared);
    app->ticker.posts.clear();
    app->window.SetTimerPeriod("广告时钟", 0);
    FetchTicker(*app);
    ASSERT_EQ(app->ticker.posts.size(), 4u);
    EXPECT_EQ(app->ticker.posts[0].title, "Sarvoke工具v2.1版发布");
    EXPECT_EQ(app->ticker.posts[0].views, "1523");
    EXPECT_EQ(app->ticker.posts[0].comments, "12");
    EXPECT_EQ(app->ticker.posts[0].link, "http://" + lab.PublisherHost() + "/post-58.html");
    EXPECT_EQ(app->ticker.posts[1].title, "网盘搜索技巧");  // percent-encoded on the page
    EXPECT_EQ(app->ticker.posts[2].title, "C++ &amp; \"Qt\" &lt;入门&gt;");
    EXPECT_EQ(app->window.GetText("滚动条"), "Sarvoke工具v2.1版发布 点击：1523 评论：12");
    EXPECT_EQ(app->window.GetWidth("滚动条"), TickerWidth(app->window.GetText("滚动条")));
    EXPECT_EQ(app->window.TimerPeriod("广告时钟"), 20);
  }
}

TEST_F(TickerLab, APageWithoutPostsSaysSoAndTheTimerStaysIdle) {
  lab.SetHomePageHasPosts(false);
  FetchTicker(*app);
  EXPECT_EQ(app->window.GetText("滚动条"), kTickerFailed);
  EXPECT_EQ(app->window.TimerPeriod("广告时钟"), 0);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(TickerLab, AnUnreachableSearchHostSaysSoAndFetchesNothing) {
  Endpoints e = CurrentEndpoints();
  e.searchEngineHost = "unreachable.invalid";
  SetCurrentEndpoints(e);
  FetchTicker(*app);
  EXPECT_EQ(app->window.GetText("滚动条"), kTickerOffline);
  EXPECT_EQ(app->window.TimerPeriod("广告时钟"), 0);
  EXPECT_TRUE(lab.Requests("publisher").empty());
}

}  // namespace
}  // namespace sarvoke
