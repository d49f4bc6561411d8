// The background check of the result list against the lab's share site: which rows come out alive, dead
// or unknown, a new search cancelling a check that still runs, and no more pages fetched at once than
// allowed, as the share site counts them.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window.h"
#include "lab_app_fixture.h"
#include "lab_server.h"
#include "platform/read_url.h"
#include "share/json_text.h"
#include "share/liveness_check.h"

namespace sarvoke {
namespace {

constexpr const char* kList = "超级列表框1";

// The program's state against a lab built from `catalogueLines` (the built-in catalogue when empty),
// with the check switched on as the window switches it on.
class Liveness : public ::testing::Test {
 protected:
  void StartLab(const std::vector<std::string>& catalogueLines = {}) {
    char tmpl[] = "/tmp/sarvoke-liveness-XXXXXX";
    dir = mkdtemp(tmpl);
    lab::LabOptions options;
    if (!catalogueLines.empty()) {
      options.catalogueFile = dir + "/catalogue.tsv";
      std::ofstream out(options.catalogueFile);
      for (const std::string& line : catalogueLines) out << line << "\n";
    }
    labServer = std::make_unique<lab::LabServer>(options);
    ASSERT_TRUE(labServer->Start());
    UseLab(*labServer);
    app = CreateApp(dir);
    app->workersAtStart = false;
    view = AttachHeadlessView(app->window);
    app->window.Fire(Text(kMainWindow), Event::Created);
    app->search.checkRows = true;
  }
  void SetUp() override { saved = CurrentRowCheckLimits(); }
  void TearDown() override {
    SetRowCheckLimits(saved);
    if (app) {
      CancelRowCheck(*app);
      WaitForRowCheck(*app, 10000);
      ProgramExit(*app);
    }
    if (labServer) labServer->Stop();
    std::filesystem::remove_all(dir);
  }
  void Search(const Text& word) {
    app->window.SetText("编辑框1", word);
    app->window.SetText("编辑框2", "");
    app->window.SetSelected("组合框1", 3);
    ASSERT_TRUE(app->window.Fire("编辑框1", Event::KeyPressed, 13));
  }
  void SetLimits(int connections, long timeoutMs) {
    HttpBatchOptions limits;
    limits.maxConnections = connections;
    limits.timeoutMs = timeoutMs;
    SetRowCheckLimits(limits);
  }
  std::vector<RowMark> Marks() { return app->window.RowMarks(kList); }
  // The share site's own count of share pages and of their connections: "inFlight", "peak", "served",
  // "connections", "peakConnections".
  int SharePageCount(const char* which) {
    const Bytes body = ReadUrl("http://" + labServer->ShareSiteDomain() + "/lab/share-page-counts");
    JsonValue v;
    if (!ParseJson(std::string(body.begin(), body.end()), v) || !v.Member(which)) return -1;
    return static_cast<int>(v.Member(which)->number);
  }

  HttpBatchOptions saved;
  std::string dir;
  std::unique_ptr<lab::LabServer> labServer;
  std::shared_ptr<App> app;
  std::shared_ptr<HeadlessView> view;
};

// Shares of one sharer under one word: `count` lines of `kind`, ids from `firstId`.
std::vector<std::string> Shares(const std::string& word, int firstId, int count, const std::string& kind) {
  std::vector<std::string> lines;
  for (int i = 0; i < count; ++i) {
    lines.push_back(std::to_string(firstId + i) + "\t3001\tbench\t" + word + "_" + std::to_string(i) +
                    ".bin\t" + std::to_string(i + 1) + "M\t2013-05-01 10:00\t1\t" + kind);
  }
  return lines;
}

TEST_F(Liveness, EachRowIsMarkedByWhatItsSharePageHolds) {
  StartLab();
  SetLimits(5, 1500);  // the stalled page gives up within this
  struct Case {
    const char* label;
    Text word;
    int row;
    RowMark want;
  } cases[] = {
      {"a public share's page holds its link", "流浪地球", 0, RowMark::Alive},
      {"a taken-down share's page says it is gone", "流浪地球", 1, RowMark::Dead},
      {"a share behind an extraction code shows no link", "高等数学", 1, RowMark::Dead},
      {"a share list record in another order is still alive", "线性代数", 0, RowMark::Alive},
      {"a page that never answers", "stalled_page", 0, RowMark::Unknown},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Search(c.word);
    const auto rowsBefore = app->window.Rows(kList);
    ASSERT_GT(rowsBefore.size(), static_cast<std::size_t>(c.row));
    ASSERT_TRUE(WaitForRowCheck(*app, 30000));
    EXPECT_EQ(app->window.GetRowMark(kList, c.row), c.want);
    // The check marks rows and nothing else: texts, records and messages stay.
    EXPECT_EQ(app->window.Rows(kList), rowsBefore);
    EXPECT_EQ(app->search.hits.size(), rowsBefore.size());
    EXPECT_TRUE(RecordedMessages(*view).empty());
  }
}

TEST_F(Liveness, ASharersSharesAreCheckedWhenTheyFillTheList) {
  StartLab();
  Search("setup");
  ASSERT_TRUE(WaitForRowCheck(*app, 30000));
  app->window.SetSelected(kList, 0);
  ASSERT_TRUE(app->window.Fire(Text(kMenuOtherShares), Event::MenuSelected));
  ASSERT_EQ(app->search.listMode, ListMode::UserShares);
  ASSERT_TRUE(WaitForRowCheck(*app, 30000));
  EXPECT_EQ(Marks(), std::vector<RowMark>(app->search.userShares.size(), RowMark::Alive));
}

TEST_F(Liveness, ANewSearchCancelsTheCheckStillRunning) {
  // The first word's pages answer late and alive; the second word's shares are gone. A late answer of
  // the first check must neither mark the second list nor be followed by further fetches.
  auto lines = Shares("slowalive", 5000, 10, "stalled:400");
  for (auto& l : Shares("gonefast", 6000, 10, "dead")) lines.push_back(l);
  StartLab(lines);
  SetLimits(5, 5000);
  Search("slowalive");
  ASSERT_EQ(app->window.RowCount(kList), 10);
  const std::shared_ptr<RowCheck> first = app->search.rowCheck;
  ASSERT_TRUE(first);
  Search("gonefast");
  ASSERT_EQ(app->window.RowCount(kList), 10);
  EXPECT_TRUE(first->cancelled);
  ASSERT_TRUE(WaitForRowCheck(*app, 30000));
  {
    std::unique_lock lock(first->mutex);
    EXPECT_TRUE(first->endedSignal.wait_for(lock, std::chrono::milliseconds(30000), [&] { return first->ended; }));
  }
  // Past the time the first check's pages answer: still only the second check's marks.
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  EXPECT_EQ(Marks(), std::vector<RowMark>(10, RowMark::Dead));
  int slowPages = 0;
  for (const auto& r : labServer->Requests("share"))
    slowPages += r.path == "/share/link" && r.params.find("shareid")->second < "6000";
  EXPECT_LE(slowPages, 5) << "pages fetched after the cancel";
}

TEST_F(Liveness, NoMoreSharePagesAtOnceThanAllowed) {
  StartLab(Shares("manyslow", 7000, 12, "stalled:300"));
  for (int allowed : {5, 3, 1}) {
    SCOPED_TRACE("at most " + std::to_string(allowed));
    SetLimits(allowed, 5000);
    ReadUrl("http://" + labServer->ShareSiteDomain() + "/lab/share-page-counts?reset=1");
    Search("manyslow");
    ASSERT_TRUE(WaitForRowCheck(*app, 60000));
    EXPECT_EQ(Marks(), std::vector<RowMark>(12, RowMark::Alive));
    EXPECT_LE(SharePageCount("peak"), allowed);
    EXPECT_LE(SharePageCount("peakConnections"), allowed);
    // Several at once when allowed: the check does not fetch one page after another.
    if (allowed > 1) EXPECT_GE(SharePageCount("peak"), 2);
    EXPECT_EQ(SharePageCount("served"), 12);
  }
}

TEST_F(Liveness, WithoutTheCheckNoSharePageIsFetched) {
  // The check is the front-end's choice: a state that did not ask for it fetches no share page.
  StartLab();
  app->search.checkRows = false;
  Search("setup");
  EXPECT_TRUE(WaitForRowCheck(*app, 1000));
  EXPECT_EQ(labServer->Requests("share").size(), 0u);
  EXPECT_EQ(Marks(), std::vector<RowMark>(app->window.RowCount(kList), RowMark::None));
}

}  // namespace
}  // namespace sarvoke
