#include "board/board_pages.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "board/board_refresh.h"
#include "net/endpoints.h"
#include "platform/files.h"
#include "text/code_page.h"

namespace sarvoke {
namespace {

// Fixed hosts, so that the page's addresses are the same on every machine.
struct FixedHosts {
  FixedHosts() {
    Endpoints e = DefaultEndpoints();
    e.qqAvatarHost = "qlogo.example";
    e.qqChatHost = "wpa.example";
    e.staticContentHost = "static.example";
    e.publisherHost = "www.example";
    SetCurrentEndpoints(e);
  }
  ~FixedHosts() { SetCurrentEndpoints(DefaultEndpoints()); }
};

Text QqNickname(const Text& number, const Text& name) {
  return "<img src=\"http://qlogo.example/qzone/" + number + "/" + number + "/30\"/>" + name +
         "(<a href=\"http://wpa.example/msgrd?v=3&uin=" + number + "&site=qq&menu=yes\">" + number + "</a>)";
}

std::string TestData(const std::string& name) { return std::string(SARVOKE_BOARD_TESTDATA) + "/" + name; }

// Compares with a golden file; SARVOKE_UPDATE_GOLDEN=1 writes it instead.
void ExpectGolden(const Text& actual, const std::string& name) {
  const std::string path = TestData(name);
  if (const char* u = std::getenv("SARVOKE_UPDATE_GOLDEN"); u && *u == '1') WriteWholeFile(path, actual);
  Bytes golden;
  ASSERT_TRUE(ReadWholeFile(path, golden)) << path;
  EXPECT_EQ(actual, Text(golden.begin(), golden.end())) << name;
}

TEST(BoardPage, GoldenPageAndStylesheetOfASmallBoard) {
  FixedHosts hosts;
  const Text board = QqNickname("12345678", "小明") + "-第一条\\2013-04-20 12:00:00|" +
                     "访客-第二条 & 更多\\2013-04-21 08:30:00|{置顶}(欢迎留言){条数}(5){边框颜色}(red)";
  const auto entries = ParseBoardEntries(board);
  ASSERT_EQ(entries.size(), 2u);
  const BoardSettings s = ReadBoardSettings(board);
  Text fragment;
  for (std::size_t k = 0; k < entries.size(); ++k)
    fragment += EntryFragment(entries[k], static_cast<int>(entries.size() - k), s);
  ExpectGolden(BoardPage(fragment, s, "/run/user/1000/sarvoke/"), "small_board.html");
  ExpectGolden(BoardStylesheet(s.borderColor), "small_board.css");
}

TEST(BoardPage, TheStylesheetTakesTheBorderColourEverywhere) {
  const Text css = BoardStylesheet("red");
  auto count = [&](std::string_view what) {
    int n = 0;
    for (std::size_t at = 0; (at = css.find(what, at)) != Text::npos; at += what.size()) ++n;
    return n;
  };
  EXPECT_EQ(count("border: 1px solid red;"), 5);
  EXPECT_EQ(count("#CCCCCC"), 0);
  EXPECT_EQ(count("border-color: red -moz-use-text-color"), 1);
  EXPECT_EQ(css.rfind("@CHARSET \"UTF-8\";\r\n", 0), 0u);
  const Text plain = BoardStylesheet("#CCCCCC");
  EXPECT_NE(
      plain.find(
          ".commentlist li {\r\n    background: none repeat scroll 0 0 #FFFFFF;\r\n    border: 1px solid "
          "#CCCCCC;\r\n    border-radius: 3px 3px 3px 3px;\r\n    margin-top: 5px;\r\n    padding: "
          "0px;\r\n}\r\n"),
      Text::npos);
}

// Whatever a poster types is shown as text: no markup of a post reaches the page.
TEST(BoardPage, EveryBoardTextIsEscaped) {
  FixedHosts hosts;
  struct Row {
    const char* label;
    Text nickname, content, time;
    Text mustShow;
  } rows[] = {
      {"a script in the content", "a", "<script>alert(1)</script>", "t",
       "&lt;script&gt;alert(1)&lt;/script&gt;"},
      {"markup in a plain nickname", "<b onmouseover=x>", "c", "t", "&lt;b onmouseover=x&gt;"},
      {"markup in the time", "a", "c", "<img src=x onerror=alert(1)>", "&lt;img src=x onerror=alert(1)&gt;"},
      {"a QQ form with an attribute more",
       "<img src=\"http://qlogo.example/qzone/12345/12345/30\" onerror=alert(1)/>x(<a "
       "href=\"http://wpa.example/"
       "msgrd?v=3&uin=12345&site=qq&menu=yes\">12345</a>)",
       "c", "t", "&lt;img src=&quot;http://qlogo.example"},
      {"a QQ form with a short number", QqNickname("1234", "x"), "c", "t", "&lt;img"},
      {"a QQ form of another host",
       "<img src=\"http://evil.example/qzone/12345/12345/30\"/>x(<a href=\"http://"
       "wpa.example/msgrd?v=3&uin=12345&site=qq&menu=yes\">12345</a>)",
       "c", "t", "&lt;img"},
      {"markup in a QQ nickname", QqNickname("12345", "<script>x</script>"), "c", "t",
       "<img src=\"http://qlogo.example/qzone/12345/12345/30\"/>&lt;script&gt;x&lt;/script&gt;(<a href=\""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    const Text f = EntryFragment({r.nickname, r.content, r.time}, 1, BoardSettings{});
    EXPECT_NE(f.find(r.mustShow), Text::npos) << f;
    EXPECT_EQ(f.find("<script"), Text::npos);
    EXPECT_EQ(f.find("onerror=alert(1)/>"), Text::npos);
  }
  const Text genuine = EntryFragment({QqNickname("12345678", "小明"), "c", "t"}, 1, BoardSettings{});
  // The genuine form is rebuilt from its pieces (the ampersands of the chat link as HTML writes them).
  EXPECT_NE(
      genuine.find("<img src=\"http://qlogo.example/qzone/12345678/12345678/30\"/>小明(<a href=\"http://"
                   "wpa.example/msgrd?v=3&amp;uin=12345678&amp;site=qq&amp;menu=yes\">12345678</a>)"),
      Text::npos)
      << genuine;
  BoardSettings pinned;
  pinned.pinnedText = "<iframe src=x>";
  EXPECT_NE(BoardPage("", pinned, "/f/").find("&lt;iframe src=x&gt;"), Text::npos);
}

TEST(MultiReplace, PairsOneAfterAnother) {
  EXPECT_EQ(MultiReplace("aAbB", {{"a", "x"}}), "xxbB");
  EXPECT_EQ(MultiReplace("aAbB", {{"a", "x"}}, -1, 1, true), "xAbB");
  EXPECT_EQ(MultiReplace("abc", {{"a", "b"}, {"b", "c"}}), "ccc");
  EXPECT_EQ(MultiReplace("aaaa", {{"a", "b"}}, 2), "bbaa");
  EXPECT_EQ(MultiReplace("aaaa", {{"a", "b"}}, -1, 3), "aabb");
  EXPECT_EQ(MultiReplace("aa", {{"a", "aa"}}), "aaaa");
  EXPECT_EQ(MultiReplace("a", {{"", "x"}}), "a");
}

class BoardPaging : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/sarvoke-paging-XXXXXX";
    folder = std::string(mkdtemp(tmpl)) + "/";
    app = CreateApp(folder);
    app->boardFolder = folder;
    view = AttachHeadlessView(app->window);
  }
  void TearDown() override { std::filesystem::remove_all(folder); }
  void Board(int entries, int pageSize) {
    Text text;
    for (int i = 1; i <= entries; ++i) text += "n" + std::to_string(i) + "-c" + std::to_string(i) + "\\t|";
    text += "{条数}(" + std::to_string(pageSize) + ")";
    app->board.boardText = text;
    app->board.entries = ParseBoardEntries(text);
    app->board.settings = ReadBoardSettings(text);
    app->board.entryCount = static_cast<int>(app->board.entries.size());
    BuildBoardPages(*app);
    app->board.currentPage = 1;
    RenderBoardPage(*app);
  }
  Text Page() {
    Bytes b;
    ReadWholeFile(folder + "lyb.html", b);
    return Text(b.begin(), b.end());
  }
  bool Disabled(const char* button) { return app->window.IsDisabled(button); }
  std::string folder;
  std::shared_ptr<App> app;
  std::shared_ptr<HeadlessView> view;
};

TEST_F(BoardPaging, PagesNumbersAndButtons) {
  Board(45, 20);
  ASSERT_EQ(app->board.pages.size(), 3u);
  EXPECT_NE(Page().find(">45</font>.<font color=#000000>n45</font>"), Text::npos);
  EXPECT_NE(Page().find(">26</font>"), Text::npos);
  EXPECT_EQ(Page().find(">25</font>"), Text::npos);
  EXPECT_TRUE(Disabled("Velmora留言系统按钮15"));
  EXPECT_FALSE(Disabled("Velmora留言系统按钮16"));
  EXPECT_EQ(app->window.GetText("Velmora留言系统标签21"), "当前第1页");
  app->window.Fire("Velmora留言系统按钮16", Event::Clicked);
  app->window.Fire("Velmora留言系统按钮16", Event::Clicked);
  EXPECT_EQ(app->window.GetText("Velmora留言系统标签21"), "当前第3页");
  EXPECT_NE(Page().find(">5</font>"), Text::npos);
  EXPECT_NE(Page().find(">1</font>"), Text::npos);
  EXPECT_EQ(Page().find(">6</font>"), Text::npos);
  EXPECT_FALSE(Disabled("Velmora留言系统按钮15"));
  EXPECT_TRUE(Disabled("Velmora留言系统按钮16"));
  EXPECT_EQ(app->window.Snapshot("Velmora留言系统超文本浏览框1").browserAddress,
            Utf8ToAnsiText(folder) + "lyb.html");

  Board(40, 20);
  EXPECT_EQ(app->board.pages.size(), 2u);
  Board(3, 20);
  EXPECT_EQ(app->board.pages.size(), 1u);
  EXPECT_TRUE(Disabled("Velmora留言系统按钮15"));
  EXPECT_TRUE(Disabled("Velmora留言系统按钮16"));
  EXPECT_EQ(app->window.GetText("Velmora留言系统标签21"), "当前第1页");
  EXPECT_TRUE(RecordedMessages(*view).empty());
}

TEST_F(BoardPaging, TypedPageNumbers) {
  Board(45, 20);
  struct Row {
    const char* typed;
    int page;
    bool message;
  } rows[] = {{"2", 2, false}, {"2.9", 2, false}, {"abc", 1, true},
              {"0", 1, true},  {"4", 1, true},    {"-1", 1, true}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.typed);
    const std::size_t before = RecordedMessages(*view).size();
    app->window.SetText("Velmora留言系统编辑框16", r.typed);
    app->window.Fire("Velmora留言系统按钮17", Event::Clicked);
    EXPECT_EQ(app->board.currentPage, r.page);
    EXPECT_EQ(app->window.GetText("Velmora留言系统标签21"), "当前第" + std::to_string(r.page) + "页");
    const auto messages = RecordedMessages(*view);
    ASSERT_EQ(messages.size(), before + (r.message ? 1 : 0));
    if (r.message) EXPECT_EQ(messages.back(), "无此页数，请返回。");
  }
}

TEST(BoardFolder, AFolderOfTheUsersOwnAndNoOtherOne) {
  char tmpl[] = "/tmp/sarvoke-runtime-XXXXXX";
  const std::string runtime = mkdtemp(tmpl);
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  EXPECT_EQ(BoardCacheFolder(), runtime + "/sarvoke/");
  EXPECT_EQ(std::filesystem::status(runtime + "/sarvoke").permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_all);
  // A link planted in its place is refused, not followed.
  std::filesystem::remove(runtime + "/sarvoke");
  std::filesystem::create_directory(runtime + "/elsewhere");
  std::filesystem::create_directory_symlink(runtime + "/elsewhere", runtime + "/sarvoke");
  EXPECT_EQ(BoardCacheFolder(), "");
  unsetenv("XDG_RUNTIME_DIR");
  std::filesystem::remove_all(runtime);
}

}  // namespace
}  // namespace sarvoke
