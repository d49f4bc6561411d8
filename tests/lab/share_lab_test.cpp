// Shares and downloads from end to end through the window model, against the lab's share site: what
// each action hands to the system's URL handler, a sharer's other shares, and the messages of the
// cases where nothing can be handed over.
#include <gtest/gtest.h>

#include <regex>
#include <stdexcept>

#include "app/main_window.h"
#include "lab_app_fixture.h"
#include "platform/read_url.h"
#include "platform/url_opener.h"
#include "share/direct_link.h"
#include "share/link_codecs.h"
#include "share/share_actions.h"
#include "share/user_shares.h"
#include "share_site.h"
#include "support/recording_http_server.h"
#include "text/code_page.h"

namespace sarvoke {
namespace {

class ShareLab : public LabAppTest {
 protected:
  void SetUp() override {
    LabAppTest::SetUp();
    SetUrlHandler([this](const std::string& utf8) {
      handedOver.push_back(utf8);
      return handlerTakes;
    });
  }
  void TearDown() override {
    SetUrlHandler(nullptr);
    LabAppTest::TearDown();
  }

  void Select(int row) { app->window.SetSelected("超级列表框1", row); }
  void Menu(std::string_view caption) { ASSERT_TRUE(app->window.Fire(Text(caption), Event::MenuSelected)); }
  int SharePageRequests() {
    int n = 0;
    for (const auto& r : lab.Requests("share")) n += r.path == "/share/link";
    return n;
  }
  std::vector<lab::LabRequest> ListRequests() {
    std::vector<lab::LabRequest> out;
    for (const auto& r : lab.Requests("share"))
      if (r.path == "/share/homerecord") out.push_back(r);
    return out;
  }
  const lab::Share& ShareById(const std::string& id) {
    for (const auto& s : lab.Catalogue())
      if (s.shareId == id) return s;
    throw std::runtime_error("no share " + id);
  }
  // The direct link the lab's share page carries for a share.
  std::string DirectLinkOf(const std::string& shareId) {
    const Text link = ResolveDirectLink("http://" + lab.ShareSiteDomain() + "/share/link?shareid=" + shareId +
                                        "&uk=" + ShareById(shareId).userKey);
    return AnsiToUtf8(link);
  }

  std::vector<std::string> handedOver;
  bool handlerTakes = true;
};

TEST_F(ShareLab, EachActionHandsOverWhatItsRowOfTheTableSays) {
  Search("office2010");
  ASSERT_EQ(Rows().size(), 1u);
  const std::string plain = DirectLinkOf("1006");
  ASSERT_EQ(plain.rfind("http://" + lab.ShareSiteDomain() + "/file/1006?", 0), 0u) << plain;
  const std::string thunder = AnsiToUtf8(ConvertLink(plain, Thunder));
  const std::string flashget = AnsiToUtf8(ConvertLink(plain, Flashget));
  const std::string qqdl = AnsiToUtf8(ConvertLink(plain, Qqdl));
  struct Row {
    const char* control;
    Event event;
    std::string want;
  } rows[] = {
      {"超级列表框1", Event::DoubleClicked, plain}, {"按钮4", Event::Clicked, plain},
      {"下载选中文件", Event::MenuSelected, plain}, {"按钮5", Event::Clicked, thunder},
      {"迅雷下载", Event::MenuSelected, thunder},   {"按钮6", Event::Clicked, flashget},
      {"快车下载", Event::MenuSelected, flashget},  {"按钮7", Event::Clicked, qqdl},
      {"旋风下载", Event::MenuSelected, qqdl},
  };
  Select(0);
  for (const Row& r : rows) {
    SCOPED_TRACE(r.control);
    handedOver.clear();
    const int before = SharePageRequests();
    ASSERT_TRUE(app->window.Fire(r.control, r.event));
    EXPECT_EQ(handedOver, std::vector<std::string>{r.want});
    // Nothing is cached: every action fetches the share page anew.
    EXPECT_EQ(SharePageRequests(), before + 1);
  }
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(thunder.rfind("thunder://", 0), 0u);
  EXPECT_EQ(flashget.substr(flashget.size() - 5), "&1926");
}

TEST_F(ShareLab, BrowsingOpensTheShareUrlAsStoredWithoutARequest) {
  Search("office2010");
  Select(0);
  lab.ClearRequests();
  Menu(kMenuBrowseSharePage);
  EXPECT_EQ(handedOver,
            std::vector<std::string>{"http://" + lab.ShareSiteDomain() + "/share/link?shareid=1006&uk=2003"});
  EXPECT_TRUE(lab.Requests().empty());
}

TEST_F(ShareLab, AResolvedLinkDownloadsTheFile) {
  Search("office2010");
  Select(0);
  Menu(kMenuDownloadSelected);
  ASSERT_EQ(handedOver.size(), 1u);
  const Bytes file = ReadUrl(Utf8ToAnsiText(handedOver[0]));
  const std::string want = lab::ShareFileContent(ShareById("1006"));
  EXPECT_EQ(std::string(file.begin(), file.end()), want);
}

TEST_F(ShareLab, ASharersSharesReplaceTheHitsAndTheActionsFollowThem) {
  Search("setup");
  ASSERT_EQ(Rows().size(), 4u);
  const Text sharer = Rows()[0][2];
  Select(0);
  Menu(kMenuOtherShares);
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(app->search.listMode, ListMode::UserShares);
  EXPECT_EQ(app->search.userKey, "2003");
  EXPECT_EQ(app->search.userName, sharer);
  EXPECT_EQ(app->search.hits.size(), 4u);  // the hits stay behind the list
  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0], (std::vector<Text>{"office2010_setup.exe", "", sharer, "2013/04/02 20/15/00", "45"}));
  for (const auto& row : rows) EXPECT_EQ(row[2], sharer);

  // One request for the list, its query exactly as the share site expects.
  const auto lists = ListRequests();
  ASSERT_EQ(lists.size(), 1u);
  EXPECT_TRUE(std::regex_match(
      lists[0].target, std::regex(R"(/share/homerecord\?channel=chunlei&clienttype=0&web=1&uk=2003&num=100)"
                                  R"(&t=[0-9]{13}&page=1&dir=%2F&t=0\.48316&_=[0-9]{13})")))
      << lists[0].target;

  // Row 2 is now the sharer's third share, fetched through the share site's own address.
  Select(2);
  lab.ClearRequests();
  app->window.Fire("按钮4", Event::Clicked);
  const auto pages = lab.Requests("share");
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].target,
            "/share/link?shareid=" + AnsiToUtf8(app->search.userShares[2].shareId) + "&uk=2003");
  EXPECT_EQ(handedOver,
            std::vector<std::string>{DirectLinkOf(AnsiToUtf8(app->search.userShares[2].shareId))});
}

TEST_F(ShareLab, RecordsThatDoNotFitAreSkippedAndEscapedNamesReadBack) {
  // Sharer 2002's list: a public share, one behind a password and one whose keys stand in another order.
  Search("高等数学");
  Select(0);
  Menu(kMenuOtherShares);
  ASSERT_EQ(Rows().size(), 1u);
  EXPECT_EQ(Rows()[0][0], "高等数学 第七版 上册.pdf");
  EXPECT_EQ(app->search.userShares[0].shareId, "1003");

  // Names that the site's JSON escapes (\u, \/, an apostrophe, a percent sign) come back as they were.
  Search("special_chars");
  Select(0);
  Menu(kMenuOtherShares);
  std::vector<Text> names;
  for (const auto& row : Rows()) names.push_back(row[0]);
  std::vector<Text> want;
  for (const auto& s : lab.Catalogue())
    if (s.userKey == "2099") want.push_back(Utf8ToAnsiText(s.fileName));
  EXPECT_EQ(names, want);
}

TEST_F(ShareLab, AListingThatFindsNothingLeavesTheListAndTheSharesAsTheyWere) {
  Search("流浪地球");
  Select(0);
  Menu(kMenuOtherShares);  // movie_fan: one share left, the other was taken down
  ASSERT_EQ(app->search.userShares.size(), 1u);
  Search("流浪地球");
  const auto hits = Rows();
  // The taken-down share's page names no sharer: the list is asked for "uk=" and holds nothing.
  Select(1);
  Menu(kMenuOtherShares);
  EXPECT_EQ(Messages(), std::vector<Text>{Text(kNoUserShares)});
  EXPECT_EQ(app->search.listMode, ListMode::Hits);
  EXPECT_EQ(Rows(), hits);
  EXPECT_EQ(app->search.userShares.size(), 1u);
  EXPECT_EQ(app->search.userKey, "");
  EXPECT_EQ(ListRequests().back().params.find("uk")->second, "");
}

TEST_F(ShareLab, TheMenuItemOnAUsersSharesListsThatUserAgain) {
  Search("setup");
  Select(3);
  Menu(kMenuOtherShares);
  ASSERT_EQ(app->search.listMode, ListMode::UserShares);
  Select(1);
  lab.ClearRequests();
  Menu(kMenuOtherShares);
  // No hit's share page is read: the user is already known.
  EXPECT_EQ(SharePageRequests(), 0);
  ASSERT_EQ(ListRequests().size(), 1u);
  EXPECT_EQ(ListRequests()[0].params.find("uk")->second, "2003");
  EXPECT_EQ(app->search.listMode, ListMode::UserShares);
  EXPECT_EQ(Rows().size(), 4u);

  // When that fails the list still shows the user's shares, and the actions keep following them.
  lab.Stop();
  Select(1);
  Menu(kMenuOtherShares);
  EXPECT_EQ(Messages(), std::vector<Text>{Text(kNoUserShares)});
  EXPECT_EQ(app->search.listMode, ListMode::UserShares);
}

TEST_F(ShareLab, WithoutARecordAtTheSelectedRowNothingIsFetched) {
  Search("setup");
  lab.ClearRequests();
  Select(-1);
  app->window.Fire("超级列表框1", Event::DoubleClicked);
  EXPECT_TRUE(Messages().empty());
  const std::pair<const char*, Event> actions[] = {{"按钮4", Event::Clicked},
                                                   {"按钮5", Event::Clicked},
                                                   {"按钮6", Event::Clicked},
                                                   {"按钮7", Event::Clicked},
                                                   {"下载选中文件", Event::MenuSelected},
                                                   {"迅雷下载", Event::MenuSelected},
                                                   {"快车下载", Event::MenuSelected},
                                                   {"旋风下载", Event::MenuSelected},
                                                   {"浏览分享页", Event::MenuSelected},
                                                   {"搜索该用户分享的其他文件", Event::MenuSelected}};
  for (const auto& [control, event] : actions) app->window.Fire(control, event);
  EXPECT_EQ(Messages(), std::vector<Text>(std::size(actions), Text(kSelectFileFirst)));
  EXPECT_EQ(app->search.listMode, ListMode::Hits);
  EXPECT_TRUE(lab.Requests().empty());
  EXPECT_TRUE(handedOver.empty());
}

TEST_F(ShareLab, ATakenDownShareShowsThatThereIsNoLinkAndHandsNothingOver) {
  Search("流浪地球");
  Select(1);
  for (const char* b : {"按钮4", "按钮5"}) app->window.Fire(b, Event::Clicked);
  app->window.Fire("超级列表框1", Event::DoubleClicked);
  EXPECT_EQ(Messages(), std::vector<Text>(3, Text(kNoDirectLink)));
  EXPECT_TRUE(handedOver.empty());
}

TEST_F(ShareLab, ALinkNoProgramTakesGoesToTheClipboardAndIsShown) {
  Search("office2010");
  Select(0);
  handlerTakes = false;
  app->window.Fire("按钮5", Event::Clicked);
  ASSERT_EQ(handedOver.size(), 1u);
  const Text link = Utf8ToAnsiText(handedOver[0]);
  EXPECT_EQ(view->clipboard, std::vector<Text>{link});
  EXPECT_EQ(Messages(), std::vector<Text>{Text(kNoHandlerForLink) + "\r\n" + link});
}

// Share pages of a site that is not the lab's: links that cannot be converted or handed over.
TEST_F(ShareLab, ALinkThatCannotBeConvertedOrHandedOverIsSaidAndNotHandedOver) {
  RecordingHttpServer site;
  site.Route("/bad", {200, {{"Content-Type", "text/html"}}, R"(x = "{\"dlink\":\"xhttp:\\/\\/h\\/f\"}";)"});
  site.Route("/script",
             {200, {{"Content-Type", "text/html"}}, R"(x = "{\"dlink\":\"javascript:alert(1)\"}";)"});
  app->search.hits = {SearchHit{"a", site.Url("/bad"), "", "", "", ""},
                      SearchHit{"b", site.Url("/script"), "", "", "", ""}};
  for (int r = 0; r < 2; ++r) app->window.AppendRow("超级列表框1");
  Select(0);
  app->window.Fire("按钮5", Event::Clicked);  // "xhttp://" holds a known prefix but does not start with it
  app->window.Fire("按钮4", Event::Clicked);  // not a scheme the system is given
  Select(1);
  app->window.Fire("按钮4", Event::Clicked);
  EXPECT_EQ(Messages(),
            (std::vector<Text>{Text(kConversionFailed), Text(kNoDirectLink), Text(kNoDirectLink)}));
  EXPECT_TRUE(handedOver.empty());
}

}  // namespace
}  // namespace sarvoke
