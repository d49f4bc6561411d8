// Faults of the outside services from end to end, through the window model's own handlers: servers that
// stall, reset, loop redirects, send garbage, broken UTF-8 or a share page without an end, mails with
// broken MIME, a 20 MB board, mail servers that drip or refuse. Each row must end (the bound below fails
// a row that still waits), say so in a message box or do what its handler does with a bad answer, keep
// the GUI thread's event pump running while it waits, and leave the board's mailbox and the settings file
// as they were.
//
// Every row prints a line "fault row | handler | fault | what the program did | seconds | longest gap
// between pump calls", the figures of docs/reliability.md. The rows that wait for the HTTP stack's give-up
// times run as tests of their own (FaultModesSlow, CTest label `faults`), so that they can run side by side.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "app/main_window.h"
#include "app/settings.h"
#include "board/board_controls.h"
#include "board/board_post.h"
#include "board/board_refresh.h"
#include "board/qq_identity.h"
#include "fault_server.h"
#include "lab_app_fixture.h"
#include "mailbox.h"
#include "platform/event_pump.h"
#include "platform/files.h"
#include "platform/http_client.h"
#include "search/result_parser.h"
#include "share/share_actions.h"
#include "share/user_shares.h"
#include "text/code_page.h"
#include "text/text_between.h"
#include "ticker/ticker.h"

namespace sarvoke {
namespace {

using lab::FaultName;
using lab::HttpFault;
using lab::MailFault;
using Clock = std::chrono::steady_clock;

// How long a row may take before it counts as hanging: 30 s, which is also what the HTTP stack gives a
// silent server, and 2 s for the handler's own steps around that wait.
constexpr auto kBound = std::chrono::seconds(32);

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// A handler's run on this thread, which plays the GUI thread: how long it took, and the longest time the
// window would have gone without painting (between two calls of the event pump, or from the start or to
// the end). Once the bound has passed, the wait is given up as Esc would, and the row fails.
struct GuiRun {
  double seconds = 0;
  double longestGap = 0;
  int pumpCalls = 0;
  bool overran = false;
};

GuiRun RunOnGuiThread(const std::function<void()>& handler) {
  GuiRun run;
  const Clock::time_point start = Clock::now();
  Clock::time_point last = start;
  SetEventPump([&] {
    const Clock::time_point now = Clock::now();
    run.longestGap = std::max(run.longestGap, Seconds(now - last));
    last = now;
    ++run.pumpCalls;
    if (now - start > kBound && !run.overran) {
      run.overran = true;
      CancelPendingWaits();
    }
  });
  handler();
  const Clock::time_point end = Clock::now();
  SetEventPump(nullptr);
  ClearWaitCancel();
  run.longestGap = std::max(run.longestGap, Seconds(end - last));
  run.seconds = Seconds(end - start);
  EXPECT_FALSE(run.overran) << "the handler still waited after " << kBound.count() << " s";
  return run;
}

void PrintRow(const std::string& handler, const std::string& fault, const std::string& outcome,
              double seconds, double gap = -1) {
  std::printf("fault row | %s | %s | %s | %.1f s | %s\n", handler.c_str(), fault.c_str(), outcome.c_str(),
              seconds, gap < 0 ? "worker" : (std::to_string(gap).substr(0, 4) + " s").c_str());
  std::fflush(stdout);
}

std::string MessagesText(const std::vector<Text>& messages) {
  std::string out;
  for (const Text& m : messages) out += (out.empty() ? "" : " / ") + AnsiToUtf8(m);
  return out.empty() ? "no message" : "message: " + out;
}

lab::LabOptions MailOptions() {
  lab::LabOptions o;
  o.mail = true;
  o.boardFile = lab::LabServer::BuiltInBoardFile();
  return o;
}

// A board of `bytes` bytes or a little more (code page 936): entries numbered from 1, the oldest first
// as posts append them; `count` tells how many.
Text LargeBoard(std::size_t bytes, int& count) {
  Text board;
  board.reserve(bytes + 64);
  for (count = 0; board.size() < bytes;) {
    ++count;
    board += "用户" + std::to_string(count) + "-第" + std::to_string(count) +
             "条留言，内容不长。\\2013-05-01 12:00:00|";
  }
  return board;
}

class FaultModes : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    lab = new lab::LabServer(MailOptions());
    ASSERT_TRUE(lab->Start());
    faults = new lab::FaultServer(lab->Catalogue());
    ASSERT_TRUE(faults->Start());
  }
  static void TearDownTestSuite() {
    delete faults;
    faults = nullptr;
    delete lab;
    lab = nullptr;
  }

  void SetUp() override {
    ASSERT_NE(lab->MailCount(), 0) << "the mailbox did not start";
    faults->SetHttpFault(HttpFault::None);
    faults->SetMailFault(MailFault::None);
    UseLab(*lab);
    Endpoints e = CurrentEndpoints();
    e.mailPop3Host = lab->MailPop3Host();
    e.mailSmtpHost = lab->MailSmtpHost();
    e.boardMailbox = lab->BoardMailbox();
    e.staticContentHost = lab->StaticContentHost();
    e.qqProfileHost = e.qqTimeHost = e.qqAvatarHost = lab->QqServiceHost();
    SetCurrentEndpoints(e);
    ClearHttpCookieStore();
    char tmpl[] = "/tmp/sarvoke-faults-XXXXXX";
    dir = mkdtemp(tmpl);
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);  // the avatar's files go to <dir>/sarvoke/
    app = CreateApp(dir);
    app->workersAtStart = false;
    app->boardFolder = dir + "/";
    view = AttachHeadlessView(app->window);
    app->window.Fire(Text(kMainWindow), Event::Created);
    SaveSettings(app->window, dir);
    settingsBefore = SettingsFile();
    ASSERT_FALSE(settingsBefore.empty());
  }

  void TearDown() override {
    // A worker that overran is let finish, so that it never outlives the servers it talks to.
    WaitForWorkers(std::chrono::seconds(150));
    ProgramExit(*app);
    std::filesystem::remove_all(dir);
  }

  std::string SettingsFile() {
    std::ifstream in(SettingsFilePath(dir), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  // The mailbox as the POP3 server sees it: how many mails, and their sizes.
  static std::vector<std::uintmax_t> MailboxContents() {
    std::vector<std::uintmax_t> sizes;
    for (const char* sub : {"/new", "/cur"}) {
      std::error_code ec;
      for (const auto& f : std::filesystem::directory_iterator(lab->MaildirPath() + sub, ec))
        sizes.push_back(f.file_size());
    }
    std::sort(sizes.begin(), sizes.end());
    return sizes;
  }

  // Nothing of the user's is lost by a fault: the settings file and the mails stay as they were.
  void ExpectNothingLost(const std::vector<std::uintmax_t>& mailsBefore) {
    EXPECT_EQ(SettingsFile(), settingsBefore) << "the settings file changed";
    EXPECT_EQ(MailboxContents(), mailsBefore) << "the mailbox changed";
  }

  // Waits for the worker routines to end; false when `bound` passed first.
  bool WaitForWorkers(Clock::duration bound) {
    const Clock::time_point until = Clock::now() + bound;
    while (app->workersRunning > 0 && Clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return app->workersRunning == 0;
  }

  // Runs a handler that starts a worker (the board's refresh, the ticker) and waits for the worker within
  // the bound; the seconds from the click to the worker's end.
  double RunWorkerHandler(const std::function<void()>& handler) {
    const Clock::time_point start = Clock::now();
    handler();
    EXPECT_TRUE(WaitForWorkers(kBound)) << "the worker still ran after " << kBound.count() << " s";
    return Seconds(Clock::now() - start);
  }

  void Search(const Text& word) {
    app->window.SetText("编辑框1", word);
    app->window.SetText("编辑框2", "");
    app->window.SetSelected("组合框1", 0);
    ASSERT_TRUE(app->window.Fire("编辑框1", Event::KeyPressed, 13));
  }
  std::vector<Text> Messages() { return RecordedMessages(*view); }
  Text BoardPage() {
    Bytes b;
    ReadWholeFile(dir + "/lyb.html", b);
    return Text(b.begin(), b.end());
  }
  void UseFaultsFor(Text Endpoints::*host) {
    Endpoints e = CurrentEndpoints();
    e.*host = faults->HttpHost();
    SetCurrentEndpoints(e);
  }
  void UseFaultMailServers(bool pop3, bool smtp) {
    if (pop3) {
      app->mailbox.pop3Host = "127.0.0.1";
      app->mailbox.pop3Port = faults->Pop3Port();
    }
    if (smtp) {
      app->mailbox.smtpHost = "127.0.0.1";
      app->mailbox.smtpPort = faults->SmtpPort();
    }
  }
  // The program ends its session with QUIT, also after a command failed.
  static void ExpectSessionsEndWithQuit(const std::string& protocol) {
    std::vector<std::string> commands;
    for (const std::string& c : faults->MailCommands())
      if (c.rfind(protocol, 0) == 0) commands.push_back(c);
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(commands.back(), protocol + " QUIT");
  }

  // Runs `row` for each fault, on a program started afresh each time.
  template <typename Fault, typename Row>
  void ForEachFault(std::initializer_list<Fault> rows, Row row) {
    for (Fault f : rows) {
      SCOPED_TRACE(FaultName(f));
      row(f);
      TearDown();
      SetUp();
    }
  }

  // --- the rows' handlers, each ending with its row printed ---

  // A search whose results page is the fault.
  void SearchRow(HttpFault fault) {
    UseFaultsFor(&Endpoints::searchEngineHost);
    UseFaultsFor(&Endpoints::shareSiteDomain);  // the search engine lists the site that the query names
    Search("mp3");
    const int cleanHits = app->window.RowCount("超级列表框1");
    ASSERT_GT(cleanHits, 0);
    ASSERT_TRUE(Messages().empty());
    faults->SetHttpFault(fault, "/s");
    const auto mails = MailboxContents();
    const GuiRun run = RunOnGuiThread([&] { Search("mp3"); });
    if (fault == HttpFault::InvalidUtf8) {
      // The hits are listed, their broken characters replaced: the page is no worse than its texts.
      EXPECT_TRUE(Messages().empty());
      EXPECT_EQ(app->window.RowCount("超级列表框1"), cleanHits);
      int broken = 0;
      for (const auto& row : app->window.Rows("超级列表框1")) broken += row[0].find('?') != Text::npos;
      EXPECT_GT(broken, 0) << "the broken characters show as '?'";
    } else {
      EXPECT_EQ(Messages(), std::vector<Text>{Text(kSearchFetchFailedMessage)});
      EXPECT_EQ(app->window.RowCount("超级列表框1"), 0);
    }
    if (fault == HttpFault::Stall || fault == HttpFault::StallInBody) EXPECT_GT(run.pumpCalls, 0);
    ExpectNothingLost(mails);
    const std::string outcome = fault == HttpFault::InvalidUtf8
                                    ? std::to_string(app->window.RowCount("超级列表框1")) + " hits listed, " +
                                          MessagesText(Messages())
                                    : MessagesText(Messages());
    PrintRow("search", FaultName(fault), outcome, run.seconds, run.longestGap);
  }

  // A double-click on a hit whose share page is the fault.
  void DownloadRow(HttpFault fault) {
    UseFaultsFor(&Endpoints::searchEngineHost);
    UseFaultsFor(&Endpoints::shareSiteDomain);
    faults->SetHttpFault(fault, "/share/link");
    Search("mp3");
    ASSERT_GT(app->window.RowCount("超级列表框1"), 0);
    ASSERT_EQ(app->search.hits[0].shareUrl.find("http://" + faults->HttpHost() + "/share/link"), 0u);
    app->window.SetSelected("超级列表框1", 0);
    const auto mails = MailboxContents();
    const GuiRun run =
        RunOnGuiThread([&] { ASSERT_TRUE(app->window.Fire("超级列表框1", Event::DoubleClicked)); });
    EXPECT_EQ(Messages(), std::vector<Text>{Text(kNoDirectLink)});
    EXPECT_GT(app->window.RowCount("超级列表框1"), 0) << "the hits stay listed";
    ExpectNothingLost(mails);
    PrintRow("double-click download", FaultName(fault), MessagesText(Messages()), run.seconds,
             run.longestGap);
  }

  // "搜索该用户分享的其他文件" on a hit of the lab, whose sharer's share list is the fault; or, with
  // `wholeSite`, on a hit whose share page and share list are both the fault.
  void UserSharesRow(HttpFault fault, bool wholeSite = false) {
    if (wholeSite) UseFaultsFor(&Endpoints::searchEngineHost);
    if (wholeSite) UseFaultsFor(&Endpoints::shareSiteDomain);
    Search("mp3");
    const int hits = app->window.RowCount("超级列表框1");
    ASSERT_GT(hits, 0);
    UseFaultsFor(&Endpoints::shareSiteDomain);
    faults->SetHttpFault(fault, wholeSite ? "/share/" : "/share/homerecord");
    app->window.SetSelected("超级列表框1", 0);
    const auto mails = MailboxContents();
    const GuiRun run =
        RunOnGuiThread([&] { ASSERT_TRUE(app->window.Fire(Text(kMenuOtherShares), Event::MenuSelected)); });
    EXPECT_EQ(Messages(), std::vector<Text>{Text(kNoUserShares)});
    EXPECT_EQ(app->window.RowCount("超级列表框1"), hits) << "the hits stay listed";
    EXPECT_EQ(app->search.listMode, ListMode::Hits);
    ExpectNothingLost(mails);
    PrintRow("user's shares",
             std::string(wholeSite ? "share page and list: " : "share list: ") + FaultName(fault),
             MessagesText(Messages()), run.seconds, run.longestGap);
  }

  // The ticker's fetch of the publisher's home page, on its worker as at start.
  void TickerRow(HttpFault fault) {
    UseFaultsFor(&Endpoints::publisherHost);
    faults->SetHttpFault(fault, "/");
    const auto mails = MailboxContents();
    const double seconds = RunWorkerHandler([&] { StartTicker(*app); });
    const Text headline = app->window.GetText("滚动条");
    if (fault == HttpFault::InvalidUtf8) {
      std::lock_guard lock(app->ticker.mutex);
      EXPECT_EQ(app->ticker.posts.size(), 4u) << "the posts are read, their broken characters replaced";
      EXPECT_NE(headline.find('?'), Text::npos) << AnsiToUtf8(headline);
    } else {
      EXPECT_EQ(headline, kTickerFailed);
      EXPECT_EQ(app->window.TimerPeriod("广告时钟"), 0);
    }
    EXPECT_TRUE(Messages().empty());
    ExpectNothingLost(mails);
    PrintRow("ticker", FaultName(fault), "headline: " + AnsiToUtf8(headline), seconds);
  }

  // The QQ number chosen whose avatar is the fault: the avatar shown before stays.
  void AvatarRow(const std::string& label, const std::function<void()> makeFault, const Text& number) {
    app->window.AddItem(Text(kQqChoice), "10001");
    app->window.AddItem(Text(kQqChoice), number);
    app->window.SetSelected(Text(kQqChoice), 1);
    ASSERT_TRUE(app->window.Fire(Text(kQqChoice), Event::ItemSelected));
    const Bytes before = app->window.Snapshot(Text(kQqAvatarBox)).picture;
    ASSERT_FALSE(before.empty()) << "the first avatar shows";
    makeFault();
    app->window.SetSelected(Text(kQqChoice), 2);
    const auto mails = MailboxContents();
    const GuiRun run =
        RunOnGuiThread([&] { ASSERT_TRUE(app->window.Fire(Text(kQqChoice), Event::ItemSelected)); });
    EXPECT_EQ(app->window.Snapshot(Text(kQqAvatarBox)).picture, before) << "the last avatar stays";
    EXPECT_TRUE(Messages().empty());
    ExpectNothingLost(mails);
    PrintRow("avatar", label, "the last avatar stays, no message", run.seconds, run.longestGap);
  }

  // "刷新" against POP3 servers at fault: the message, and the page shown before stays.
  void RefreshRow(MailFault fault) {
    ASSERT_TRUE(app->window.Fire(Text(kRefreshButton), Event::Clicked));
    ASSERT_TRUE(WaitForWorkers(kBound));
    const Text pageBefore = BoardPage();
    ASSERT_FALSE(app->board.entries.empty());
    faults->SetPop3Mail(lab::SeedMail(AnsiToUtf8("甲-乙\\2013-01-01|"), lab->BoardMailbox()));
    faults->SetMailFault(fault);
    UseFaultMailServers(true, false);
    const auto mails = MailboxContents();
    const double seconds =
        RunWorkerHandler([&] { ASSERT_TRUE(app->window.Fire(Text(kRefreshButton), Event::Clicked)); });
    EXPECT_EQ(Messages(), std::vector<Text>{Text(kPop3Failed)});
    EXPECT_EQ(BoardPage(), pageBefore);
    if (fault == MailFault::Pop3RefusesTheMail) ExpectSessionsEndWithQuit("POP3");
    EXPECT_FALSE(app->window.IsDisabled(Text(kRefreshButton)));
    ExpectNothingLost(mails);
    PrintRow("board refresh", FaultName(fault), MessagesText(Messages()) + ", the page stays", seconds);
  }

  // Presses "提交" on the GUI thread: its first message, and the refresh that every post ends with (which
  // reads the same servers and may fail too) ended within the bound, nothing lost.
  GuiRun PressPost(const Text& firstMessage) {
    const auto mails = MailboxContents();
    const GuiRun run =
        RunOnGuiThread([&] { ASSERT_TRUE(app->window.Fire(Text(kPostButton), Event::Clicked)); });
    EXPECT_FALSE(Messages().empty());
    if (!Messages().empty()) EXPECT_EQ(Messages()[0], firstMessage);
    EXPECT_TRUE(WaitForWorkers(kBound));
    ExpectNothingLost(mails);
    return run;
  }

  // "提交" with the mail servers at fault: the message, no mail sent, posting still open.
  void PostRow(MailFault fault, const Text& expected) {
    const bool pop3 = fault == MailFault::Pop3Drips || fault == MailFault::Pop3DripsTheMail;
    faults->SetPop3Mail(lab::SeedMail(AnsiToUtf8("甲-乙\\2013-01-01|"), lab->BoardMailbox()));
    faults->SetMailFault(fault);
    UseFaultMailServers(pop3, !pop3);
    app->window.SetText(Text(kNicknameBox), "小张");
    app->window.SetText(Text(kMessageBox), "故障测试");
    const GuiRun run = PressPost(expected);
    EXPECT_TRUE(app->board.postAllowed);
    PrintRow("post", FaultName(fault), MessagesText(Messages()), run.seconds, run.longestGap);
  }

  // "提交" from a QQ number while the QQ time and nickname services stall: the post goes out with the local
  // time (to the fault server's SMTP, which takes it, so that the lab's board stays as it is).
  void PostQqRow(HttpFault fault) {
    app->board.qqMode = true;
    app->window.AddItem(Text(kQqChoice), "20002");
    app->window.SetSelected(Text(kQqChoice), 1);
    UseFaultsFor(&Endpoints::qqTimeHost);
    UseFaultsFor(&Endpoints::qqProfileHost);
    faults->SetHttpFault(fault, "/");
    UseFaultMailServers(false, true);
    app->window.SetText(Text(kMessageBox), "故障测试");
    const GuiRun run = PressPost(Text(kPostSucceeded));
    PrintRow("post (QQ number)", std::string("QQ time and nickname services: ") + FaultName(fault),
             MessagesText(Messages()) + ", sent with the local time", run.seconds, run.longestGap);
  }

  static lab::LabServer* lab;
  static lab::FaultServer* faults;
  std::string dir;
  std::string settingsBefore;
  std::shared_ptr<App> app;
  std::shared_ptr<HeadlessView> view;
};
lab::LabServer* FaultModes::lab = nullptr;
lab::FaultServer* FaultModes::faults = nullptr;

// --- the rows that end at once or within a few seconds ---

TEST_F(FaultModes, SearchFaults) {
  ForEachFault<HttpFault>({HttpFault::ResetInBody, HttpFault::RedirectLoop301, HttpFault::RedirectLoop302,
                           HttpFault::Garbage50MB, HttpFault::InvalidUtf8},
                          [&](HttpFault f) { SearchRow(f); });
}

TEST_F(FaultModes, DownloadFaults) {
  ForEachFault<HttpFault>({HttpFault::ResetInBody, HttpFault::RedirectLoop301, HttpFault::RedirectLoop302,
                           HttpFault::Garbage50MB, HttpFault::InvalidUtf8, HttpFault::ShareLinkUnended},
                          [&](HttpFault f) { DownloadRow(f); });
}

TEST_F(FaultModes, UserSharesFaults) {
  ForEachFault<HttpFault>(
      {HttpFault::ResetInBody, HttpFault::RedirectLoop302, HttpFault::Garbage50MB, HttpFault::InvalidUtf8},
      [&](HttpFault f) { UserSharesRow(f); });
}

TEST_F(FaultModes, TickerFaults) {
  ForEachFault<HttpFault>(
      {HttpFault::ResetInBody, HttpFault::RedirectLoop302, HttpFault::Garbage50MB, HttpFault::InvalidUtf8},
      [&](HttpFault f) { TickerRow(f); });
}

TEST_F(FaultModes, AvatarFaults) {
  struct Row {
    const char* label;
    HttpFault fault;  // None: the lab's own avatar service
    const char* number;
  } rows[] = {
      {"a picture cut off in the middle (the lab's 30003)", HttpFault::None, "30003"},
      {"50 MB of garbage", HttpFault::Garbage50MB, "50005"},
      {"resets the connection in the middle of the body", HttpFault::ResetInBody, "50006"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    AvatarRow(
        r.label,
        [&] {
          if (r.fault == HttpFault::None) return;
          UseFaultsFor(&Endpoints::qqAvatarHost);
          faults->SetHttpFault(r.fault, "/qzone/");
        },
        r.number);
    TearDown();
    SetUp();
  }
}

TEST_F(FaultModes, RefreshWithPop3AtFault) {
  ForEachFault<MailFault>({MailFault::Pop3Drips, MailFault::Pop3RefusesTheMail},
                          [&](MailFault f) { RefreshRow(f); });
}

TEST_F(FaultModes, PostWithSmtpRefusing) {
  ForEachFault<MailFault>({MailFault::SmtpRefusesLogin, MailFault::SmtpRefusesAtOnce, MailFault::SmtpDrips},
                          [&](MailFault f) { PostRow(f, Text(kPostFailed)); });
}

TEST_F(FaultModes, PostWithPop3AnsweringAByteASecond) {
  PostRow(MailFault::Pop3Drips, Text(kPostUnreadableBoard));
}

// Newest mails whose MIME is broken: the refresh ends, the board shows what the mail's text holds or
// invites the first post, and the mailbox keeps every mail.
TEST_F(FaultModes, MailsWithBrokenMime) {
  const std::string to = lab->BoardMailbox();
  const std::string entries = AnsiToUtf8("小张-内容\\2013-05-01|");
  const std::string gbk = Utf8ToAnsiText(entries);
  auto mail = [&](const std::string& headers, const std::string& body) {
    return "From: " + to + "\r\nTo: " + to + "\r\nSubject: x\r\n" + headers + "\r\n" + body + "\r\n";
  };
  std::string nested = "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b0\"\r\n";
  std::string nestedBody;
  for (int i = 0; i < 500; ++i)
    nestedBody += "--b" + std::to_string(i) + "\r\nContent-Type: multipart/mixed; boundary=\"b" +
                  std::to_string(i + 1) + "\"\r\n\r\n";
  nestedBody += "--b500\r\nContent-Type: text/plain; charset=GBK\r\n\r\n" + gbk + "\r\n";
  struct Row {
    const char* label;
    std::string mail;
  } rows[] = {
      {"multipart whose boundary never comes",
       mail("MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"nowhere\"\r\n", gbk)},
      {"base64 declared, the body is not base64", mail("MIME-Version: 1.0\r\nContent-Type: text/plain; "
                                                       "charset=GBK\r\nContent-Transfer-Encoding: base64\r\n",
                                                       "!!@@ " + gbk + " ##")},
      {"a charset nobody knows",
       mail("MIME-Version: 1.0\r\nContent-Type: text/plain; charset=x-no-such-charset\r\n", gbk)},
      {"quoted-printable with broken escapes",
       mail("MIME-Version: 1.0\r\nContent-Type: text/plain; charset=GBK\r\n"
            "Content-Transfer-Encoding: quoted-printable\r\n",
            "=G1=4" + gbk + "=\r\n=ZZ=")},
      {"no empty line between header and body", "From: " + to + "\r\nSubject: x\r\n" + gbk + "\r\n"},
      {"a Content-Type line without a value, a header line without a colon",
       mail("MIME-Version: 1.0\r\nContent-Type:\r\nthis line has no colon\r\n", gbk)},
      {"multipart nested 500 deep", nested + "\r\n" + nestedBody},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    ASSERT_TRUE(lab->AddMail(r.mail));
    const auto mails = MailboxContents();
    const double seconds =
        RunWorkerHandler([&] { ASSERT_TRUE(app->window.Fire(Text(kRefreshButton), Event::Clicked)); });
    EXPECT_FALSE(app->window.IsDisabled(Text(kRefreshButton)));
    // Each row starts with no entries: whatever the board holds now came from the broken mail, and the
    // page shows it, or the page invites the first post.
    const Text page = BoardPage();
    const bool invites = page == kNoEntriesPage;
    const bool read = !app->board.entries.empty() && TextContains(page, app->board.entries[0].content);
    EXPECT_TRUE(invites || read) << "the page: " << AnsiToUtf8(page.substr(0, 200));
    EXPECT_TRUE(Messages().empty());
    ExpectNothingLost(mails);
    const std::string outcome = read ? "an entry is read: " + AnsiToUtf8(app->board.entries[0].nickname +
                                                                         "-" + app->board.entries[0].content)
                                     : "the page invites the first post";
    PrintRow("board refresh", std::string("broken MIME: ") + r.label, outcome, seconds);
    TearDown();
    SetUp();
  }
  ASSERT_TRUE(lab->ReseedMailbox());
}

// A board of 20 MB: read and paged like any other, the first page shown.
TEST_F(FaultModes, ATwentyMegabyteBoard) {
  int count = 0;
  const Text board = LargeBoard(std::size_t{20} << 20, count);
  ASSERT_TRUE(lab->AddMail(lab::SeedMail(AnsiToUtf8(board), lab->BoardMailbox())));
  const auto mails = MailboxContents();
  const double seconds =
      RunWorkerHandler([&] { ASSERT_TRUE(app->window.Fire(Text(kRefreshButton), Event::Clicked)); });
  EXPECT_TRUE(Messages().empty());
  ASSERT_EQ(app->board.entries.size(), static_cast<std::size_t>(count));
  EXPECT_EQ(app->board.entries[0].nickname, "用户" + std::to_string(count)) << "the newest first";
  EXPECT_EQ(app->board.entries.back().nickname, "用户1");
  EXPECT_NE(BoardPage().find("第" + std::to_string(count) + "条留言"), Text::npos);
  EXPECT_FALSE(app->window.IsDisabled(Text(kRefreshButton)));
  ExpectNothingLost(mails);
  PrintRow("board refresh", "a 20 MB board",
           std::to_string(app->board.entries.size()) + " entries, page 1 shown, " + MessagesText(Messages()),
           seconds);
  ASSERT_TRUE(lab->ReseedMailbox());
}

// --- the rows that wait for the give-up times: one test each, label `faults` ---

enum class Handler { Search, Download, UserShares, SharesSite, Ticker, Avatar, Refresh, Post, PostQq };

struct SlowRow {
  const char* name;
  Handler handler;
  HttpFault httpFault = HttpFault::None;
  MailFault mailFault = MailFault::None;
};

// The row's name stands for it in the tests' names.
void PrintTo(const SlowRow& row, std::ostream* out) { *out << row.name; }

class FaultModesSlow : public FaultModes, public ::testing::WithParamInterface<SlowRow> {};

TEST_P(FaultModesSlow, EndsWithinTheBound) {
  const SlowRow& r = GetParam();
  switch (r.handler) {
    case Handler::Search:
      SearchRow(r.httpFault);
      break;
    case Handler::Download:
      DownloadRow(r.httpFault);
      break;
    case Handler::UserShares:
      UserSharesRow(r.httpFault);
      break;
    case Handler::SharesSite:
      UserSharesRow(r.httpFault, true);
      break;
    case Handler::Ticker:
      TickerRow(r.httpFault);
      break;
    case Handler::Avatar:
      AvatarRow(
          FaultName(r.httpFault),
          [&] {
            UseFaultsFor(&Endpoints::qqAvatarHost);
            faults->SetHttpFault(r.httpFault, "/qzone/");
          },
          "50007");
      break;
    case Handler::Refresh:
      RefreshRow(r.mailFault);
      break;
    case Handler::Post:
      PostRow(r.mailFault, Text(kPostUnreadableBoard));
      break;
    case Handler::PostQq:
      PostQqRow(r.httpFault);
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FaultModesSlow,
    ::testing::Values(
        SlowRow{"SearchStall", Handler::Search, HttpFault::Stall},
        SlowRow{"SearchStallInBody", Handler::Search, HttpFault::StallInBody},
        SlowRow{"DownloadStall", Handler::Download, HttpFault::Stall},
        SlowRow{"DownloadStallInBody", Handler::Download, HttpFault::StallInBody},
        SlowRow{"UserSharesStall", Handler::UserShares, HttpFault::Stall},
        SlowRow{"SharesSiteStall", Handler::SharesSite, HttpFault::Stall},
        SlowRow{"PostQqServicesStall", Handler::PostQq, HttpFault::Stall},
        SlowRow{"TickerStall", Handler::Ticker, HttpFault::Stall},
        SlowRow{"AvatarStall", Handler::Avatar, HttpFault::Stall},
        SlowRow{"SearchDrip", Handler::Search, HttpFault::DripOneByteASecond},
        SlowRow{"RefreshPop3DripsTheMail", Handler::Refresh, HttpFault::None, MailFault::Pop3DripsTheMail},
        SlowRow{"PostPop3DripsTheMail", Handler::Post, HttpFault::None, MailFault::Pop3DripsTheMail}),
    [](const ::testing::TestParamInfo<SlowRow>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sarvoke
