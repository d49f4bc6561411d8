// The headless front-end as a process: its output lines, its messages and its exit statuses.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "lab_server.h"
#include "share_site.h"
#include "support/recording_http_server.h"

namespace {

struct ProcessResult {
  int status = -1;
  std::string out, err;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class CommandLine : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(lab.Start());
    char tmpl[] = "/tmp/sarvoke-cli-XXXXXX";
    dir = mkdtemp(tmpl);
    endpoints = dir + "/endpoints.ini";
    ASSERT_TRUE(lab.WriteEndpointsFile(endpoints));
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  ProcessResult Sarvoke(const std::string& args, const std::string& environment = "") {
    const std::string err = dir + "/stderr";
    const std::string command = environment + " SARVOKE_RUN_DIRECTORY='" + dir + "' '" SARVOKE_PROGRAM "' " +
                                args + " 2>'" + err + "'";
    ProcessResult r;
    FILE* p = popen(command.c_str(), "r");
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;) r.out.append(buffer, n);
    const int s = pclose(p);
    r.status = WIFEXITED(s) ? WEXITSTATUS(s) : -1;
    r.err = ReadFile(err);
    return r;
  }

  sarvoke::lab::LabServer lab{sarvoke::lab::LabOptions{}};
  std::string dir, endpoints;
};

TEST_F(CommandLine, PrintsOneLinePerRowInUtf8) {
  const ProcessResult r = Sarvoke("search --endpoints " + endpoints + " 高等数学");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "高等数学 第七版 上册.pdf\t12.5M\t学习资料分享\t2013-02-11 09:30\t902\n"
            "高等数学 第七版 下册.pdf\t12.5M\t学习资料分享\t2013-02-11 09:31\t877\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(CommandLine, NothingFoundIsStatusOneWithTheMessageOnStandardError) {
  const ProcessResult r = Sarvoke("search --endpoints " + endpoints + " nothing-here");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(
      r.err,
      "找不到相关文件，请重新输入搜索词，此问题也可能是您首次进行搜索才导致的，请再次点击搜索按钮尝试。\n");
}

TEST_F(CommandLine, UsageErrors) {
  for (const char* args :
       {"search", "search --size 7 x", "search --page 0 x", "search --bogus x", "search a b",
        "search --endpoints /nonexistent/file x", "frobnicate", "link", "link a b", "link --to zip http://a",
        "dlink", "dlink --to", "shares setup", "shares x setup", "shares 0 setup extra", "shares -1 setup"}) {
    SCOPED_TRACE(args);
    const ProcessResult r = Sarvoke(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("usage: sarvoke"), std::string::npos);
  }
  const ProcessResult help = Sarvoke("--help");
  EXPECT_EQ(help.status, 0);
  for (const char* command : {"sarvoke search", "sarvoke shares", "sarvoke link", "sarvoke dlink"})
    EXPECT_NE(help.out.find(command), std::string::npos) << command;
}

TEST_F(CommandLine, OptionsReachTheRequestAndPageNGoesStraightThere) {
  const ProcessResult r =
      Sarvoke("search --endpoints " + endpoints + " --size 20 --page 3 --blocked 'winrar ' setup");
  EXPECT_EQ(r.status, 1);  // three setup files are fewer than two pages of 20
  const auto requests = lab.Requests("search");
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].params.find("pn")->second, "40");
  EXPECT_EQ(requests[0].params.find("rn")->second, "20");
  EXPECT_EQ(requests[0].params.find("q1")->second, "site:(" + lab.ShareSiteDomain() + ") setup -(winrar)");
}

TEST_F(CommandLine, TakesTheSettingsFileValuesAndNeverWritesIt) {
  const std::string settings = dir + "/Sarvoke\xE9\x85\x8D\xE7\xBD\xAE.ini";
  // The file is in code page 936: [配置], 屏蔽词=winrar , 每页条数=1 (20 a page).
  const std::string content =
      "[\xC5\xE4\xD6\xC3]\r\n\xC6\xC1\xB1\xCE\xB4\xCA=\"winrar \"\r\n\xC3\xBF\xD2\xB3\xCC\xF5\xCA\xFD=1\r\n";
  std::ofstream(settings, std::ios::binary) << content;
  const ProcessResult r = Sarvoke("search --endpoints " + endpoints + " setup");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 3);
  EXPECT_EQ(lab.Requests("search").at(0).params.find("rn")->second, "20");
  EXPECT_EQ(ReadFile(settings), content);
}

TEST_F(CommandLine, LinkConvertsBetweenTheFormats) {
  struct Row {
    std::string args, out;
    int status;
  } rows[] = {
      {"link --to thunder http://a/b", "thunder://QUFodHRwOi8vYS9iWlo=\n", 0},
      {"link --to flashget http://a/b", "Flashget://W0ZMQVNIR0VUXWh0dHA6Ly9hL2JbRkxBU0hHRVRd&1926\n", 0},
      {"link --to qqdl http://a/b", "qqdl://aHR0cDovL2EvYg==\n", 0},
      {"link thunder://QUFodHRwOi8vYS9iWlo=", "http://a/b\n", 0},
      {"link --to plain 'http://h/文件 名.mp3'", "http://h/文件 名.mp3\n", 0},
      {"link xhttp://a", "", 1},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.args);
    const ProcessResult p = Sarvoke(r.args);
    EXPECT_EQ(p.status, r.status);
    EXPECT_EQ(p.out, r.out);
    EXPECT_EQ(p.err, r.status == 0 ? "" : "转换失败\n");
  }
}

TEST_F(CommandLine, SearchWithUrlsThenDlinkThenTheFile) {
  const ProcessResult search = Sarvoke("search --urls --endpoints " + endpoints + " office2010");
  ASSERT_EQ(search.status, 0);
  const std::string page = "http://" + lab.ShareSiteDomain() + "/share/link?shareid=1006&uk=2003";
  EXPECT_EQ(search.out.substr(search.out.rfind('\t') + 1), page + "\n");

  const ProcessResult plain = Sarvoke("dlink '" + page + "'");
  ASSERT_EQ(plain.status, 0) << plain.err;
  const std::string link = plain.out.substr(0, plain.out.size() - 1);
  EXPECT_EQ(link.rfind("http://" + lab.ShareSiteDomain() + "/file/1006?", 0), 0u) << link;
  const ProcessResult thunder = Sarvoke("dlink --to thunder '" + page + "'");
  EXPECT_EQ(thunder.status, 0);
  EXPECT_EQ(Sarvoke("link '" + thunder.out.substr(0, thunder.out.size() - 1) + "'").out, plain.out);

  // The link downloads the file's bytes, as a browser or download manager would get them.
  const std::string file = dir + "/download";
  ASSERT_EQ(std::system(("curl -sf -o '" + file + "' '" + link + "'").c_str()), 0);
  const sarvoke::lab::Share* share = sarvoke::lab::FindShare(lab.Catalogue(), "1006", "2003");
  ASSERT_NE(share, nullptr);
  EXPECT_EQ(ReadFile(file), sarvoke::lab::ShareFileContent(*share));

  // A page that was taken down has no link; a page that cannot be fetched neither.
  const ProcessResult dead =
      Sarvoke("dlink 'http://" + lab.ShareSiteDomain() + "/share/link?shareid=1002&uk=2001'");
  EXPECT_EQ(dead.status, 1);
  EXPECT_EQ(dead.out, "");
  EXPECT_EQ(dead.err, "未能取得下载地址，请稍后再试。\n");
  EXPECT_EQ(Sarvoke("dlink http://127.0.0.1:1/share/link").status, 1);
}

TEST_F(CommandLine, SharesListsTheSharersOtherFiles) {
  const ProcessResult r = Sarvoke("shares --urls --endpoints " + endpoints + " 0 高等数学");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "高等数学 第七版 上册.pdf\t\t学习资料分享\t2013/02/11 09/30/00\t902\thttp://" +
                       lab.ShareSiteDomain() + "/share/link?shareid=1003&uk=2002\n");
  const ProcessResult none = Sarvoke("shares --endpoints " + endpoints + " 1 流浪地球");
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(none.err, "没有找到该用户的分享文件。\n");
  const ProcessResult noRow = Sarvoke("shares --endpoints " + endpoints + " 9 流浪地球");
  EXPECT_EQ(noRow.status, 1);
  EXPECT_EQ(noRow.err, "请先选择一个文件。\n");
}

// A bad endpoints file stops the command before anything is fetched, naming the file and the fault.
TEST_F(CommandLine, ABadEndpointsFileIsRefused) {
  const std::string empty = dir + "/empty.ini";
  std::ofstream(empty).close();
  for (const std::string& args :
       {"search --endpoints " + empty + " setup", "search --endpoints " + dir + "/none x"}) {
    SCOPED_TRACE(args);
    const ProcessResult r = Sarvoke(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("服务地址文件"), std::string::npos) << r.err;
  }
  const ProcessResult env = Sarvoke("search setup", "SARVOKE_ENDPOINTS='" + empty + "'");
  EXPECT_EQ(env.status, 2);
  EXPECT_EQ(env.err, "sarvoke: 服务地址文件“" + empty + "”中没有 [endpoints] 一节的服务地址。\n");
  EXPECT_TRUE(lab.Requests().empty());
}

// A field of a results page may hold anything: a tab, a CR or an escape sequence would break the columns
// or reach the terminal. They come out as spaces.
TEST_F(CommandLine, ControlCharactersInFieldsArePrintedAsSpaces) {
  sarvoke::RecordingHttpServer engine;
  const std::string line =
      "<a data-click=\"{'F':'1'}\"  href=\"http://pan/share/link?shareid=1&uk=2\"   target=\"_blank\" "
      ">x</a></h3>"
      "     <font size=-1>文件名:a\tb\x1b]0;owned\x07\x1b[2J.txt 文件大小:1K 分享者:s\r\x9bx 分享时间:t "
      "下载次数:9"
      "</font>\n";
  engine.Route("/s", {200, {{"Content-Type", "text/html; charset=utf-8"}}, line});
  const std::string ini = dir + "/engine.ini";
  std::ofstream(ini) << "[endpoints]\nSearchEngineHost=127.0.0.1:" << engine.Port()
                     << "\nPublisherHost=127.0.0.1:1\n";
  const ProcessResult r = Sarvoke("search --endpoints " + ini + " x");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "a b ]0;owned  [2J.txt\t1K\ts ?x\tt\t9\n");  // a byte that is no UTF-8 reads as "?"
}

// No page at all is not "nothing found": another message and status 3, and no pattern file asked for.
TEST_F(CommandLine, AnUnreachableSearchEngineIsStatusThree) {
  const std::string ini = dir + "/down.ini";
  std::ofstream(ini) << "[endpoints]\nSearchEngineHost=127.0.0.1:1\nPublisherHost=" << lab.PublisherHost()
                     << "\n";
  const ProcessResult r = Sarvoke("search --endpoints " + ini + " setup");
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "连接搜索服务器失败，请检查网络后再试。\n");
  EXPECT_TRUE(lab.Requests("publisher").empty());
  EXPECT_NE(Sarvoke("--help").out.find("3 the results page"), std::string::npos);
}

}  // namespace
