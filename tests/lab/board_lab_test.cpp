// The board from end to end against the lab's real mail servers: a refresh of a seeded board, empty and
// entry-less mailboxes, the POP3 server down, and mails in the encodings a mail program sends.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "board/board_pages.h"
#include "board/board_post.h"
#include "board/board_refresh.h"
#include "lab_app_fixture.h"
#include "mailbox.h"
#include "platform/files.h"
#include "text/code_page.h"

namespace sarvoke {
namespace {

lab::LabOptions MailOptions() {
  lab::LabOptions o;
  o.mail = true;
  o.boardFile = lab::LabServer::BuiltInBoardFile();
  return o;
}

void UseLabMail(const lab::LabServer& lab) {
  Endpoints e = CurrentEndpoints();
  e.mailPop3Host = lab.MailPop3Host();
  e.mailSmtpHost = lab.MailSmtpHost();
  e.boardMailbox = lab.BoardMailbox();
  e.staticContentHost = lab.StaticContentHost();
  e.qqProfileHost = lab.QqServiceHost();
  e.qqTimeHost = lab.QqServiceHost();
  SetCurrentEndpoints(e);
}

class BoardLab : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    lab = new lab::LabServer(MailOptions());
    ASSERT_TRUE(lab->Start());
  }
  static void TearDownTestSuite() {
    delete lab;
    lab = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(lab->MailCount(), 0) << "the mailbox did not start";
    UseLab(*lab);
    UseLabMail(*lab);
    char tmpl[] = "/tmp/sarvoke-board-XXXXXX";
    dir = mkdtemp(tmpl);
    app = CreateApp(dir);
    app->workersAtStart = false;
    app->boardFolder = dir + "/";
    view = AttachHeadlessView(app->window);
    app->window.Fire(Text(kMainWindow), Event::Created);
  }
  void TearDown() override {
    ProgramExit(*app);
    std::filesystem::remove_all(dir);
    // Back to the seeded board for the next test.
    if (!lab->StartPop3()) ADD_FAILURE() << "POP3 did not come back";
    lab->SetQqTimeEmpty(false);
    lab->ClearMailbox();
    std::ifstream in(lab::LabServer::BuiltInBoardFile());
    std::stringstream ss;
    ss << in.rdbuf();
    std::string board = ss.str();
    while (!board.empty() && (board.back() == '\n' || board.back() == '\r')) board.pop_back();
    for (int i = 0; i < 2; ++i)
      lab->AddMail(lab::SeedMail(AnsiToUtf8("旧的留言-旧内容\\2012-01-01|"), lab->BoardMailbox()));
    lab->AddMail(lab::SeedMail(board, lab->BoardMailbox()));
  }

  Text Page() {
    Bytes b;
    ReadWholeFile(dir + "/lyb.html", b);
    return Text(b.begin(), b.end());
  }
  bool Disabled(const char* button) { return app->window.IsDisabled(button); }
  std::vector<Text> Messages() { return RecordedMessages(*view); }
  // Refreshes as "刷新" does, waiting for its worker to end.
  void PressRefresh() { Press("Velmora留言系统按钮14"); }
  // Presses a board button and waits until the refresh it starts has ended.
  void Press(const char* button) {
    ASSERT_TRUE(app->window.Fire(button, Event::Clicked));
    for (int i = 0; i < 500 && app->workersRunning > 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(app->workersRunning, 0);
    ASSERT_FALSE(Disabled("Velmora留言系统按钮14"));
  }
  void Post(const Text& nickname, const Text& message) {
    app->window.SetText("Velmora留言系统编辑框14", nickname);
    app->window.SetText("Velmora留言系统编辑框15", message);
    Press("Velmora留言系统按钮13");
  }

  static lab::LabServer* lab;
  std::string dir;
  std::shared_ptr<App> app;
  std::shared_ptr<HeadlessView> view;
};
lab::LabServer* BoardLab::lab = nullptr;

TEST_F(BoardLab, ARefreshShowsPageOneOfTheNewestMail) {
  PressRefresh();
  EXPECT_TRUE(Messages().empty());
  const BoardState& b = app->board;
  ASSERT_EQ(b.entries.size(), 12u);
  EXPECT_EQ(b.settings.pageSize, 5);
  EXPECT_EQ(b.settings.pinnedText, "欢迎留言");
  EXPECT_EQ(b.pages.size(), 3u);
  const Text page = Page();
  EXPECT_NE(
      page.find(
          ">12</font>.<font color=#000000>小李</font>的评论：<font color=#000000>今天又来看看有没有新留言"),
      Text::npos);
  EXPECT_NE(page.find(">8</font>"), Text::npos);
  EXPECT_EQ(page.find(">7</font>"), Text::npos);
  EXPECT_EQ(page.find("旧内容"), Text::npos);  // older mails are never read
  EXPECT_NE(page.find("title=\"置顶内容\" />欢迎留言"), Text::npos);
  EXPECT_EQ(app->window.GetText("Velmora留言系统标签21"), "当前第1页");
  EXPECT_EQ(app->window.Snapshot("Velmora留言系统超文本浏览框1").browserAddress,
            Utf8ToAnsiText(dir) + "/lyb.html");
  for (const char* enabled :
       {"Velmora留言系统按钮13", "Velmora留言系统按钮14", "Velmora留言系统按钮16", "Velmora留言系统按钮17"})
    EXPECT_FALSE(Disabled(enabled)) << enabled;
  EXPECT_TRUE(Disabled("Velmora留言系统按钮15"));
  // The stylesheet and the badge stand beside the page.
  EXPECT_TRUE(FileExists(dir + "/lyb.css"));
  EXPECT_TRUE(FileExists(dir + "/zd.jpg"));

  // "刷新" while page 3 is shown comes back to page 1.
  app->window.Fire("Velmora留言系统按钮16", Event::Clicked);
  app->window.Fire("Velmora留言系统按钮16", Event::Clicked);
  ASSERT_EQ(app->board.currentPage, 3);
  PressRefresh();
  EXPECT_EQ(app->board.currentPage, 1);
  EXPECT_TRUE(Disabled("Velmora留言系统按钮15"));
}

TEST_F(BoardLab, AnEmptyMailboxAndANewestMailWithoutEntriesInviteTheFirstPost) {
  for (bool empty : {true, false}) {
    SCOPED_TRACE(empty ? "empty mailbox" : "newest mail without entries");
    if (empty) {
      ASSERT_TRUE(lab->ClearMailbox());
    } else {
      ASSERT_TRUE(lab->AddMail(lab::SeedMail(AnsiToUtf8("甲-有内容\\2013-01-01|"), lab->BoardMailbox())));
      ASSERT_TRUE(lab->AddMail(lab::SeedMail(AnsiToUtf8("只有一句话，没有留言。"), lab->BoardMailbox())));
    }
    PressRefresh();
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(Page(), kNoEntriesPage);
    EXPECT_FALSE(Disabled("Velmora留言系统按钮13"));  // "提交": the first post can be made
    EXPECT_FALSE(Disabled("Velmora留言系统按钮14"));
    EXPECT_TRUE(Disabled("Velmora留言系统按钮15"));
  }
}

TEST_F(BoardLab, WithPop3DownTheMessageComesOncePerRefreshAndThePageStays) {
  PressRefresh();
  const Text before = Page();
  lab->StopPop3();
  PressRefresh();
  EXPECT_EQ(Messages(), std::vector<Text>{Text(kPop3Failed)});
  PressRefresh();
  EXPECT_EQ(Messages().size(), 2u);
  EXPECT_EQ(Page(), before);
  EXPECT_TRUE(Disabled("Velmora留言系统按钮13"));
  EXPECT_TRUE(Disabled("Velmora留言系统按钮16"));
}

TEST_F(BoardLab, MailsInTheEncodingsOfMailProgramsReadBack) {
  const std::string to = lab->BoardMailbox();
  auto mail = [&](const std::string& headers, const std::string& body) {
    return "From: " + to + "\r\nTo: " + to + "\r\nSubject: x\r\n" + headers + "\r\n" + body + "\r\n";
  };
  // The literals here are code page 936 already; the lab's helpers take UTF-8.
  const std::string gbk = "小张-中文内容，测试\\2013-05-01|";
  const std::string utf8 = AnsiToUtf8(gbk);
  struct Row {
    const char* label;
    std::string mail;
  } rows[] = {
      {"base64 gb2312", lab::SeedMail(utf8, to)},
      {"quoted-printable GBK", mail("MIME-Version: 1.0\r\nContent-Type: text/plain; "
                                    "charset=GBK\r\nContent-Transfer-Encoding: quoted-printable\r\n",
                                    [&] {
                                      std::string qp;
                                      static const char hex[] = "0123456789ABCDEF";
                                      for (unsigned char c : gbk) {
                                        if (c >= 0x80 || c == '=') {
                                          qp += '=';
                                          qp += hex[c >> 4];
                                          qp += hex[c & 15];
                                        } else {
                                          qp += static_cast<char>(c);
                                        }
                                      }
                                      return qp;
                                    }())},
      {"UTF-8 8bit", mail("MIME-Version: 1.0\r\nContent-Type: text/plain; "
                          "charset=UTF-8\r\nContent-Transfer-Encoding: 8bit\r\n",
                          utf8)},
      {"GB18030 8bit", mail("MIME-Version: 1.0\r\nContent-Type: text/plain; charset=GB18030\r\n", gbk)},
      {"multipart with a text/plain part",
       mail("MIME-Version: 1.0\r\nContent-Type: multipart/alternative; boundary=\"b1\"\r\n",
            "--b1\r\nContent-Type: text/html; charset=UTF-8\r\n\r\n<p>html</p>\r\n--b1\r\nContent-Type: "
            "text/plain; "
            "charset=UTF-8\r\nContent-Transfer-Encoding: base64\r\n\r\n"
            "5bCP5bygLeS4reaWh+WGheWuue+8jOa1i+ivlVwyMDEzLTA1LTAxfA==\r\n--b1--")},
      {"no MIME headers at all", mail("", gbk)},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    ASSERT_TRUE(lab->AddMail(r.mail));
    PressRefresh();
    ASSERT_FALSE(app->board.entries.empty());
    EXPECT_EQ(app->board.entries[0].nickname, "小张");
    EXPECT_EQ(app->board.entries[0].content, "中文内容，测试");
    EXPECT_EQ(app->board.entries[0].time, "2013-05-01");
  }
  EXPECT_TRUE(Messages().empty());
}

// Every session ends with QUIT: no connection to the POP3 server stays open after a refresh.
TEST_F(BoardLab, NoSessionIsLeftOpen) {
  for (int i = 0; i < 3; ++i) PressRefresh();
  const int port = std::stoi(lab->MailPop3Host().substr(lab->MailPop3Host().rfind(':') + 1));
  char hexPort[8];
  std::snprintf(hexPort, sizeof hexPort, ":%04X", port);
  std::ifstream tcp("/proc/net/tcp");
  std::string line;
  int open = 0;
  while (std::getline(tcp, line)) {
    std::istringstream ss(line);
    std::string slot, local, remote, state;
    ss >> slot >> local >> remote >> state;
    if (remote.size() > 5 && remote.substr(remote.size() - 5) == hexPort && state == "01") ++open;
  }
  EXPECT_EQ(open, 0);
}

// A post is mailed back with the board and read back by the refresh that follows, its text unchanged.
TEST_F(BoardLab, APostIsReadBackAndTheRateGateCloses) {
  PressRefresh();
  const int mails = lab->MailCount();
  Post("小张", "你好，测试一下\x95\x5C字");  // a double-byte character whose second byte is "\"
  EXPECT_EQ(Messages(), std::vector<Text>{Text(kPostSucceeded)});
  EXPECT_EQ(lab->MailCount(), mails + 1);
  ASSERT_EQ(app->board.entries.size(), 13u);
  EXPECT_EQ(app->board.entries[0].nickname, "小张");
  EXPECT_EQ(app->board.entries[0].content, "你好，测试一下\x95\x5C字");
  EXPECT_EQ(app->board.entries[0].time.size(), 19u);
  EXPECT_EQ(app->board.entries[12].nickname, "管理员");  // every earlier post is still there
  EXPECT_FALSE(app->board.postAllowed);
  EXPECT_EQ(app->window.TimerPeriod("Velmora留言系统时钟1"), kRateGateMs);
  // Too soon: refused before the mailbox is touched.
  Post("小张", "再来一条");
  EXPECT_EQ(Messages().back(), "您提交速度过快，请稍等一会儿再提交。");
  EXPECT_EQ(lab->MailCount(), mails + 1);
  app->window.Fire("Velmora留言系统时钟1", Event::Tick);
  EXPECT_TRUE(app->board.postAllowed);
  EXPECT_EQ(app->window.TimerPeriod("Velmora留言系统时钟1"), 0);
}

TEST_F(BoardLab, AFailedSendLeavesTheGateOpen) {
  PressRefresh();
  app->mailbox.smtpPort = 1;  // nothing listens there
  const int mails = lab->MailCount();
  Post("小张", "发不出去");
  EXPECT_EQ(Messages(), std::vector<Text>{Text(kPostFailed)});
  EXPECT_EQ(lab->MailCount(), mails);
  EXPECT_TRUE(app->board.postAllowed);
}

// Mailing the new entry alone would take every earlier post from the board.
TEST_F(BoardLab, APostWhenTheMailboxCannotBeReadIsRefused) {
  PressRefresh();
  const int mails = lab->MailCount();
  lab->StopPop3();
  Post("小张", "读不到");
  ASSERT_GE(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0], kPostUnreadableBoard);
  EXPECT_EQ(lab->MailCount(), mails);
  EXPECT_TRUE(app->board.postAllowed);
}

TEST_F(BoardLab, AnEmptyServerTimeTakesTheLocalTime) {
  lab->SetQqTimeEmpty(true);
  Post("小张", "时间");
  ASSERT_FALSE(app->board.entries.empty());
  EXPECT_EQ(app->board.entries[0].content, "时间");
  EXPECT_EQ(app->board.entries[0].time.size(), 19u) << app->board.entries[0].time;
}

TEST_F(BoardLab, AQqPostCarriesTheNumberAndAnHonestNickname) {
  app->board.qqMode = true;
  app->window.AddItem("Velmora留言系统组合框1", "20002");  // its QQ nickname holds -, \ and |
  app->window.SetSelected("Velmora留言系统组合框1", 1);
  Post("", "来自QQ");
  ASSERT_FALSE(app->board.entries.empty());
  const Endpoints e = CurrentEndpoints();
  EXPECT_EQ(app->board.entries[0].nickname,
            "<img src=\"http://" + e.qqAvatarHost + "/qzone/20002/20002/30\"/>abcd(<a href=\"http://" +
                e.qqChatHost + "/msgrd?v=3&uin=20002&site=qq&menu=yes\">20002</a>)");
  EXPECT_EQ(app->board.entries[0].content, "来自QQ");
  EXPECT_EQ(FetchQqNickname("10001"), "小明");
  EXPECT_EQ(FetchQqNickname("99999"), "");
}

}  // namespace
}  // namespace sarvoke
