// The search from end to end through the window model, against the lab's search engine and publisher.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/app.h"
#include "lab_app_fixture.h"
#include "lab_server.h"
#include "net/endpoints.h"
#include "platform/http_client.h"
#include "search/result_parser.h"
#include "search/search_state.h"
#include "text/code_page.h"

namespace sarvoke {
namespace {

class SearchLab : public LabAppTest {
 protected:
  std::string LastSearchTarget() {
    auto r = lab.Requests("search");
    return r.empty() ? "" : r.back().target;
  }
};

TEST_F(SearchLab, HitsFillTheListWithTheirColumns) {
  Search("setup");
  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 4u);
  // Four equal sizes: every one marked; the emphasis leaves the name but stays in the sharer.
  EXPECT_EQ(rows[0], (std::vector<Text>{"【可疑文件】office2010_setup.exe", "1.2M", "<em>setup</em>king",
                                        "2013-04-02 20:15", "45"}));
  EXPECT_EQ(app->search.hits.size(), 4u);
  EXPECT_EQ(app->search.hits[0].shareUrl,
            "http://" + lab.ShareSiteDomain() + "/share/link?shareid=1006&uk=2003");
  EXPECT_TRUE(Messages().empty());
  EXPECT_TRUE(lab.Requests("publisher").empty());
  EXPECT_EQ(app->window.GetText("标签5"), "当前第1页");
  EXPECT_TRUE(app->window.IsDisabled("按钮3"));
  for (const char* b : {"按钮2", "按钮4", "按钮5", "按钮6", "按钮7"})
    EXPECT_FALSE(app->window.IsDisabled(b)) << b;
  // What the engine was asked: the site restriction, the word, the empty exclusion group, the page size.
  const auto req = lab.Requests("search").back();
  EXPECT_EQ(req.params.find("q1")->second, "site:(" + lab.ShareSiteDomain() + ") setup -");
  EXPECT_EQ(req.params.find("rn")->second, "100");
  EXPECT_EQ(req.params.count("pn"), 0u);
  // The two plain spaces of the address cannot stand in a request line: they go out as %20.
  EXPECT_EQ(req.target, "/s?q1=site%3A%28" + lab.ShareSiteDomain() + "%29%20setup%20-&rn=100&ie=utf-8");
}

TEST_F(SearchLab, ChineseWordsAndMarksOnThreeEqualSizesNotTwo) {
  Search("学习资料分享");
  auto rows = Rows();
  ASSERT_EQ(rows.size(), 5u);
  int marked = 0;
  for (const auto& r : rows) marked += TextFind(r[0], Text(kSuspiciousMark)) == 1;
  EXPECT_EQ(marked, 3);  // three shares of 12.5M
  Search("高等数学");
  rows = Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][0], "高等数学 第七版 上册.pdf");  // two of 12.5M: no mark
}

TEST_F(SearchLab, BlockedWordsLeaveTheResults) {
  Search("setup", "winrar qq2013 ");
  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1][0], "photoshop_cs6_setup.exe");  // two left of 1.2M: no marks
  const auto req = lab.Requests("search").back();
  EXPECT_EQ(req.params.find("q1")->second, "site:(" + lab.ShareSiteDomain() + ") setup -(winrar | qq2013)");
  EXPECT_NE(req.target.find("-%28%77%69%6E%72%61%72+%7C+%71%71%32%30%31%33%29"), std::string::npos)
      << req.target;
}

TEST_F(SearchLab, PagingOffsetsLabelAndPreviousButton) {
  Search("", "", 0);  // everything, 10 a page
  ASSERT_EQ(Rows().size(), 10u);
  app->window.Fire("按钮2", Event::Clicked);
  EXPECT_EQ(app->window.GetText("标签5"), "当前第2页");
  EXPECT_FALSE(app->window.IsDisabled("按钮3"));
  auto req = lab.Requests("search").back();
  EXPECT_EQ(req.params.find("pn")->second, "10");
  EXPECT_EQ(req.params.find("tn")->second, "pubgen_pg");
  EXPECT_EQ(req.params.find("rn")->second, "10");
  EXPECT_EQ(Rows()[0][0], "周杰伦 - 稻香.mp3");  // the 11th share
  app->window.SetSelected("组合框1", 1);
  app->window.Fire("按钮2", Event::Clicked);
  EXPECT_EQ(lab.Requests("search").back().params.find("pn")->second, "40");  // page 3 of 20
  app->window.Fire("按钮3", Event::Clicked);
  app->window.Fire("按钮3", Event::Clicked);
  EXPECT_EQ(app->window.GetText("标签5"), "当前第1页");
  EXPECT_TRUE(app->window.IsDisabled("按钮3"));
  req = lab.Requests("search").back();
  EXPECT_EQ(req.params.count("pn"), 0u);
  EXPECT_EQ(req.params.count("tn"), 0u);
  EXPECT_EQ(app->search.page, 1);
}

TEST_F(SearchLab, PagingShowsHitsAgainAfterAUsersShares) {
  Search("", "", 0);
  app->search.listMode = ListMode::UserShares;
  app->window.Fire("按钮2", Event::Clicked);
  EXPECT_EQ(app->search.listMode, ListMode::Hits);
  app->search.listMode = ListMode::UserShares;
  app->window.Fire("按钮3", Event::Clicked);
  EXPECT_EQ(app->search.listMode, ListMode::Hits);
}

TEST_F(SearchLab, NoHitsCostsOnePatternRequestAndOneMessage) {
  Search("nothing-like-this");
  EXPECT_TRUE(Rows().empty());
  EXPECT_EQ(Messages(), std::vector<Text>{Text(kNoResultMessage)});
  EXPECT_EQ(lab.Requests("publisher").size(), 1u);
  EXPECT_EQ(lab.Requests("publisher")[0].path, "/rj/bd.txt");
  // The fetched pattern is not kept: the next empty page asks again.
  Search("nothing-like-this-either");
  EXPECT_EQ(lab.Requests("publisher").size(), 2u);
  // Past the last page there is nothing either.
  Search("setup");
  app->window.Fire("按钮2", Event::Clicked);
  EXPECT_TRUE(Rows().empty());
  EXPECT_EQ(lab.Requests("publisher").size(), 3u);
}

TEST_F(SearchLab, AChangedPageIsReadWithThePublishersPattern) {
  lab.SetChangedShape(true);
  Search("期末");
  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (std::vector<Text>{"期末复习资料.docx", "512K", "小明同学", "2013-04-18 21:00", "12"}));
  EXPECT_EQ(lab.Requests("publisher").size(), 1u);
  EXPECT_TRUE(Messages().empty());
  // The next search starts from the built-in pattern again, which finds nothing on this page.
  Search("期末");
  EXPECT_EQ(Rows().size(), 2u);
  EXPECT_EQ(lab.Requests("publisher").size(), 2u);
}

TEST_F(SearchLab, AFailedFetchSaysSoAndAsksForNoPattern) {
  Search("setup");
  ASSERT_EQ(Rows().size(), 4u);
  lab.Stop();
  lab.ClearRequests();
  Search("setup");
  EXPECT_TRUE(Rows().empty());
  EXPECT_TRUE(app->search.hits.empty());
  EXPECT_EQ(Messages(), std::vector<Text>{Text(kSearchFetchFailedMessage)});
  EXPECT_TRUE(lab.Requests("publisher").empty());
}

// An error page is no results page.
TEST_F(SearchLab, AnErrorStatusIsAFailedFetch) {
  Endpoints e = CurrentEndpoints();
  e.searchEngineHost = lab.ShareSiteDomain();  // it has no "/s": 404
  SetCurrentEndpoints(e);
  Search("setup");
  EXPECT_EQ(Messages(), std::vector<Text>{Text(kSearchFetchFailedMessage)});
  EXPECT_TRUE(lab.Requests("publisher").empty());
}

}  // namespace
}  // namespace sarvoke

namespace sarvoke {
namespace {

// Services that accept and never answer: the search gives up (after the give-up time, shortened here)
// and says that the server could not be reached, instead of waiting for ever.
TEST(SearchLabFaults, ServicesThatNeverAnswerGiveTheNetworkMessage) {
  lab::LabOptions options;
  options.neverAnswer = true;
  lab::LabServer lab(options);
  ASSERT_TRUE(lab.Start());
  UseLab(lab);
  const HttpTimeouts saved = CurrentHttpTimeouts();
  SetHttpTimeouts({2000, 1});
  char tmpl[] = "/tmp/sarvoke-search-XXXXXX";
  const std::string runDir = mkdtemp(tmpl);
  auto app = CreateApp(runDir);
  app->workersAtStart = false;  // no mailbox here
  auto view = AttachHeadlessView(app->window);
  app->window.Fire(Text(kMainWindow), Event::Created);
  app->window.SetText("编辑框1", "setup");
  app->window.Fire("编辑框1", Event::KeyPressed, 13);
  EXPECT_EQ(app->window.RowCount("超级列表框1"), 0);
  EXPECT_EQ(RecordedMessages(*view), std::vector<Text>{Text(kSearchFetchFailedMessage)});
  SetHttpTimeouts(saved);
  ProgramExit(*app);
  std::filesystem::remove_all(runDir);
}

}  // namespace
}  // namespace sarvoke
