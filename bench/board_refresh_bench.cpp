// A refresh of a 10,000-entry board from the lab's mailbox (log in, STAT, RETR, decode the mail, parse
// the entries, build the pages, write page 1), in process, beside curl retrieving the same mail over the
// same loopback POP3 server, in the same run, round after round; the ratio of the medians is printed.
// Then the refresh's steps one by one, so that it shows where the time goes. Goal: at most 2.
//
//   build/bench/board_refresh_bench [rounds=15]
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app.h"
#include "board/board_format.h"
#include "board/board_pages.h"
#include "board/board_refresh.h"
#include "lab_server.h"
#include "mailbox.h"
#include "net/endpoints.h"
#include "platform/files.h"
#include "platform/mail_text.h"
#include "platform/pop3_client.h"
#include "text/code_page.h"

extern char** environ;

namespace {

constexpr int kEntries = 10000;

// <chrono> does not compile under the project's code page flag, so the clock is read directly.
double NowSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Runs the command with its standard output to `out`; false when it could not be run or failed.
bool Run(std::vector<std::string> args, const char* out = "/dev/null") {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return false;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The board as posters leave it, in UTF-8: the oldest entry carries the page size, the rest are
// Chinese posts of about 60 bytes each with a nickname and a time.
std::string BuildBoard() {
  const char* const nicknames[] = {"小红", "阿强", "路人甲", "老王", "小李", "游客", "网友", "管理员"};
  const char* const phrases[] = {"搜索很好用，",         "找到了想要的资料",     "下载链接有时候打不开",
                                 "希望增加排序功能",     "界面再简洁一点就好了", "谢谢作者的辛苦付出",
                                 "这个软件越来越好用了", "能不能支持批量下载"};
  std::string board =
      sarvoke::AnsiToUtf8("管理员-{条数}(20)留言板开放了，欢迎大家提意见\\2013-04-01 08:00:00|");
  for (int i = 1; i < kEntries; ++i) {
    char time[32];
    std::snprintf(time, sizeof time, "2013-%02d-%02d %02d:%02d:%02d", 4 + i / 2000, 1 + i % 28, i % 24,
                  i % 60, (i * 7) % 60);
    std::string entry = nicknames[i % 8];
    entry += std::to_string(i % 100);
    entry += "-";
    entry += phrases[i % 8];
    entry += phrases[(i / 8 + 3) % 8];
    entry += "第";
    entry += std::to_string(i);
    entry += "条";
    entry += "\\";
    entry += time;
    entry += "|";
    board += sarvoke::AnsiToUtf8(entry);
  }
  return board;
}

struct Steps {
  std::vector<double> retrieve, login, status, retr, decode, parse, settings, build, write;
};

// The refresh's steps, as RunBoardRefresh takes them, each timed; false when one of them failed.
bool TimeSteps(sarvoke::App& app, Steps& steps) {
  const sarvoke::MailboxAccount& a = app.mailbox;
  sarvoke::BoardState& b = app.board;
  // The last round's entries and pages go first, so that no step pays for releasing them.
  b.entries.clear();
  b.entries.shrink_to_fit();
  b.pages.clear();
  b.pages.shrink_to_fit();
  double t0 = NowSeconds();
  sarvoke::Bytes mail;
  {
    sarvoke::Pop3Session session;
    int count = 0;
    if (!sarvoke::Pop3Connect(session, a.pop3Host, a.pop3Port, a.address, a.password, a.pop3WaitMs))
      return false;
    const double c1 = NowSeconds();
    if (!sarvoke::Pop3Status(session, count)) return false;
    const double c2 = NowSeconds();
    mail = sarvoke::Pop3Retrieve(session, count);
    const double c3 = NowSeconds();
    sarvoke::Pop3Quit(session);
    steps.login.push_back(c1 - t0);
    steps.status.push_back(c2 - c1);
    steps.retr.push_back(c3 - c2);
  }
  double t1 = NowSeconds();
  b.boardText = sarvoke::MailBodyText(mail);
  double t2 = NowSeconds();
  b.entries = sarvoke::ParseBoardEntries(b.boardText);
  double t3 = NowSeconds();
  b.settings = sarvoke::ReadBoardSettings(b.boardText);
  b.entryCount = static_cast<std::int32_t>(b.entries.size());
  double t4 = NowSeconds();
  sarvoke::BuildBoardPages(app);
  double t5 = NowSeconds();
  b.currentPage = 1;
  sarvoke::RenderBoardPage(app);
  double t6 = NowSeconds();
  steps.retrieve.push_back(t1 - t0);
  steps.decode.push_back(t2 - t1);
  steps.parse.push_back(t3 - t2);
  steps.settings.push_back(t4 - t3);
  steps.build.push_back(t5 - t4);
  steps.write.push_back(t6 - t5);
  return b.entries.size() == kEntries && !mail.empty();
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  // The mail servers die with the thread that starts them: this one, which outlives them.
  sarvoke::lab::LabOptions options;
  options.mail = true;
  sarvoke::lab::LabServer lab(options);
  if (!lab.Start() || lab.MailPop3Host().empty()) {
    std::fprintf(stderr, "board_refresh_bench: the lab's mailbox did not start\n");
    return 1;
  }
  const std::string board = BuildBoard();
  const std::string raw = sarvoke::lab::SeedMail(board, lab.BoardMailbox());
  if (!lab.AddMail(raw)) {
    std::fprintf(stderr, "board_refresh_bench: the board could not be delivered\n");
    return 1;
  }
  const int number = lab.MailCount();

  sarvoke::Endpoints e = sarvoke::CurrentEndpoints();
  e.mailPop3Host = lab.MailPop3Host();
  e.mailSmtpHost = lab.MailSmtpHost();
  e.boardMailbox = lab.BoardMailbox();
  e.staticContentHost = lab.StaticContentHost();
  sarvoke::SetCurrentEndpoints(e);

  char tmpl[] = "/tmp/sarvoke-board-bench-XXXXXX";
  if (!mkdtemp(tmpl)) return 1;
  const std::string dir = tmpl;
  auto app = sarvoke::CreateApp(dir);
  app->boardFolder = dir + "/";
  app->mailbox = sarvoke::CurrentMailboxAccount();
  auto view = sarvoke::AttachHeadlessView(app->window);
  const std::string page = dir + "/lyb.html";

  // The address's "@" is written as %40, as the user part of a URL requires.
  std::string user = lab.BoardMailbox();
  user.replace(user.find('@'), 1, "%40");
  const std::string address = "pop3://" + user + ":" + sarvoke::lab::LabServer::BoardPassword() + "@" +
                              lab.MailPop3Host() + "/" + std::to_string(number);
  const std::vector<std::string> curl = {"curl", "-s", "-o", "/dev/null", address};

  // One unmeasured round each, so that both start with warm caches; the refresh must find every entry and
  // write page 1.
  sarvoke::RunBoardRefresh(*app);
  if (app->board.entries.size() != kEntries || !sarvoke::FileExists(page) ||
      !sarvoke::RecordedMessages(*view).empty()) {
    std::fprintf(stderr, "board_refresh_bench: the warm-up refresh found %zu entries, %s page 1\n",
                 app->board.entries.size(), sarvoke::FileExists(page) ? "wrote" : "did not write");
    return 1;
  }
  // curl must get the whole mail too (the server adds its own trace headers in front).
  const std::string copy = dir + "/curl.eml";
  std::error_code ec;
  if (!Run({"curl", "-s", address}, copy.c_str()) || std::filesystem::file_size(copy, ec) < raw.size()) {
    std::fprintf(stderr, "board_refresh_bench: curl could not retrieve %s\n", address.c_str());
    return 1;
  }
  std::filesystem::remove(copy);

  std::printf(
      "board of %d entries: %zu bytes of UTF-8, %zu in code page 936; mail %d of %zu bytes (base64); "
      "%zu pages; %d rounds\n",
      kEntries, board.size(), app->board.boardText.size(), number, raw.size(), app->board.pages.size(),
      rounds);
  std::printf("%5s %14s %10s\n", "round", "refresh ms", "curl ms");
  std::vector<double> ours, theirs;
  for (int r = 1; r <= rounds; ++r) {
    std::remove(page.c_str());
    app->board.entries.clear();
    double ta = 0, tb = 0;
    // The two take turns at going first, so that neither always follows the other.
    for (int turn = 0; turn < 2; ++turn) {
      if ((turn == 0) == (r % 2 == 1)) {
        const double t = NowSeconds();
        sarvoke::RunBoardRefresh(*app);
        ta = NowSeconds() - t;
      } else {
        const double t = NowSeconds();
        tb = Run(curl) ? NowSeconds() - t : -1;
      }
    }
    if (tb < 0 || app->board.entries.size() != kEntries || !sarvoke::FileExists(page)) {
      std::fprintf(stderr, "board_refresh_bench: round %d failed\n", r);
      return 1;
    }
    ours.push_back(ta);
    theirs.push_back(tb);
    std::printf("%5d %14.3f %10.3f\n", r, ta * 1e3, tb * 1e3);
  }
  const double ma = Median(ours), mb = Median(theirs);
  std::printf("median %12.3f %10.3f\n", ma * 1e3, mb * 1e3);

  // For context: what curl pays to start, and the refresh's steps one by one.
  std::vector<double> start;
  for (int r = 0; r < rounds; ++r) {
    const double t = NowSeconds();
    Run({"curl", "--version"});
    start.push_back(NowSeconds() - t);
  }
  Steps steps;
  for (int r = 0; r < rounds; ++r)
    if (!TimeSteps(*app, steps)) {
      std::fprintf(stderr, "board_refresh_bench: a timed step failed\n");
      return 1;
    }
  const double parts[] = {Median(steps.retrieve), Median(steps.decode), Median(steps.parse),
                          Median(steps.settings), Median(steps.build),  Median(steps.write)};
  const char* const names[] = {"retrieval (Pop3Connect, Pop3Status, Pop3Retrieve)",
                               "decoding (MailBodyText)",
                               "parsing (ParseBoardEntries)",
                               "reading the settings (ReadBoardSettings)",
                               "building the pages (BuildBoardPages)",
                               "writing page 1 (RenderBoardPage)"};
  double sum = 0;
  for (const double p : parts) sum += p;
  std::printf("curl --version (process start) %8.3f ms\n", Median(start) * 1e3);
  std::printf("the refresh's steps, medians of %d rounds:\n", rounds);
  for (int i = 0; i < 6; ++i) {
    std::printf("  %-50s %8.3f ms  %5.1f%%\n", names[i], parts[i] * 1e3, 100 * parts[i] / sum);
    if (i == 0)
      std::printf("    %-48s %8.3f ms\n    %-48s %8.3f ms\n    %-48s %8.3f ms\n", "connect and log in (NOOP)",
                  Median(steps.login) * 1e3, "STAT", Median(steps.status) * 1e3, "RETR",
                  Median(steps.retr) * 1e3);
  }
  std::printf("  %-50s %8.3f ms\n", "sum of the steps", sum * 1e3);
  // The refresh writes three files (lyb.css, zd.jpg, lyb.html), each synced to the disk before it replaces
  // the old one; what one such write costs here, with page 1 as its content.
  sarvoke::Bytes written;
  sarvoke::ReadWholeFile(page, written);
  std::vector<double> writes;
  for (int r = 0; r < rounds; ++r) {
    const double t = NowSeconds();
    sarvoke::WriteWholeFile(dir + "/scratch.html", written);
    writes.push_back(NowSeconds() - t);
  }
  std::printf("  %-50s %8.3f ms  (%zu bytes; 3 files a refresh)\n", "one file written (WriteWholeFile)",
              Median(writes) * 1e3, written.size());
  std::printf("ratio refresh / curl = %.2f: goal <= 2 %s\n", ma / mb, ma / mb <= 2 ? "met" : "NOT met");

  sarvoke::ProgramExit(*app);
  std::filesystem::remove_all(dir);
  lab.Stop();
  return 0;
}
