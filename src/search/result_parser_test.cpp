#include "search/result_parser.h"

#include <gtest/gtest.h>

#include "net/endpoints.h"
#include "support/recording_http_server.h"

namespace sarvoke {
namespace {

Text HitLine(int n) {
  const Text id = std::to_string(n);
  return "<h3 class=\"t\"><a data-click=\"{'F':'1'}\"  href=\"http://pan/share/link?shareid=" + id +
         "&uk=1\"   target=\"_blank\" >x" + id + "</a></h3>     <font size=-1>文件名:file" + id +
         ".txt 文件大小:" + id + "K 分享者:s 分享时间:2013-01-01 00:00 下载次数:" + id + "</font><br>\n";
}

// A line that opens a hit and then offers the lazy groups thousands of ways to continue, none of
// which ever ends the hit.
Text PoisonedLine() {
  Text line = "}\"  href=\"";
  for (int i = 0; i < 60; ++i)
    line +=
        "x\"   target=\"_blank\" >y</a></h3>     <font size=-1>文件名:a 文件大小:b 分享者:c 分享时间:d "
        "下载次数:e ";
  return line + "\n";
}

class ParsePage : public ::testing::Test {
 protected:
  void SetUp() override {
    // The publisher is never reachable here: a page without hits costs no wait.
    Endpoints e = DefaultEndpoints();
    e.publisherHost = "127.0.0.1:1";
    SetCurrentEndpoints(e);
    app = CreateApp(".");
    view = AttachHeadlessView(app->window);
  }
  void TearDown() override { SetCurrentEndpoints(DefaultEndpoints()); }
  std::shared_ptr<App> app;
  std::shared_ptr<HeadlessView> view;
};

TEST_F(ParsePage, PoisonedLinesAreSkippedAndTheHitsAroundThemKept) {
  Text page = "<html>\n";
  for (int n = 1; n <= 40; ++n) {
    page += HitLine(n);
    if (n % 10 == 0) page += PoisonedLine();
  }
  app->search.pageText = page;
  ParseResultsPage(*app);
  ASSERT_EQ(app->search.hits.size(), 40u);
  EXPECT_EQ(app->search.hits[39].fileName, "file40.txt");
  EXPECT_EQ(app->window.RowCount("超级列表框1"), 40);
  EXPECT_TRUE(RecordedMessages(*view).empty());
}

// A damaged character (a lead byte with a line feed behind it) cannot carry a hit over the line break: the
// hit whose name was cut in two is not listed, the whole hit after it is.
TEST_F(ParsePage, ALeadByteBeforeALineBreakDoesNotJoinTheLines) {
  Text cut = HitLine(1);
  cut.replace(cut.find("file1"), 5, "a\xD0\nb");
  app->search.pageText = cut + HitLine(2);
  ParseResultsPage(*app);
  ASSERT_EQ(app->search.hits.size(), 1u);
  EXPECT_EQ(app->search.hits[0].fileName, "file2.txt");
}

// The publisher's pattern file comes from the web: one of the wrong shape finds nothing.
TEST_F(ParsePage, AFetchedPatternOfTheWrongShapeFindsNothing) {
  RecordingHttpServer publisher;
  Endpoints e = DefaultEndpoints();
  e.publisherHost = "127.0.0.1:" + std::to_string(publisher.Port());
  SetCurrentEndpoints(e);
  Text page(200000, 'a');
  page += "\nx1y x2y\n";
  struct Row {
    const char* label;
    std::string pattern;
    std::size_t hits;
  } rows[] = {
      {"matches the empty text", "x*", 0},
      {"an unterminated comment", "(?#", 0},
      {"fewer than six groups", "x(\\d)y", 0},
      {"a match that ends before it starts", "(?=a\\K)", 0},
      {"six groups, one of them empty everywhere", "x(\\d)y()()()()()", 2},
      {"six groups that may all be empty", "()()()()()()", 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    publisher.Route("/rj/bd.txt", {200, {{"Content-Type", "text/plain"}}, r.pattern});
    app->search.pageText = page;
    ParseResultsPage(*app);
    EXPECT_EQ(app->search.hits.size(), r.hits);
    EXPECT_EQ(app->window.RowCount("超级列表框1"), static_cast<int>(r.hits));
  }
}

}  // namespace
}  // namespace sarvoke
