// The command line's later options as a process against the lab: search --check, --json and --export,
// and dlink --to aria2 against a real aria2 daemon. UTF-8 literals: what the terminal sees.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "aria2_daemon.h"
#include "lab_server.h"
#include "share_site.h"

namespace {

struct Outcome {
  int status = -1;
  std::string out, err;
};

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The lab with a few shares whose names hold what CSV and JSON must quote, beside a taken-down one.
class CommandLineExtras : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/sarvoke-cli-extras-XXXXXX";
    dir = mkdtemp(tmpl);
    sarvoke::lab::LabOptions options;
    options.catalogueFile = dir + "/catalogue.tsv";
    std::ofstream(options.catalogueFile)
        << "4001\t4100\t逗号,先生\t合集,第1部 \"精选\".mkv\t1.5G\t2013-05-01 10:00\t12\n"
           "4002\t4100\t逗号,先生\t=SUM(A1) 公式.txt\t1K\t2013-05-01 10:01\t3\n"
           "4003\t4100\t逗号,先生\t已删除 合集.mkv\t2G\t2013-05-01 10:02\t5\tdead\n";
    lab = std::make_unique<sarvoke::lab::LabServer>(options);
    ASSERT_TRUE(lab->Start());
    endpoints = dir + "/endpoints.ini";
    ASSERT_TRUE(lab->WriteEndpointsFile(endpoints));
  }
  void TearDown() override {
    lab->Stop();
    std::filesystem::remove_all(dir);
  }
  Outcome Sarvoke(const std::string& args) {
    const std::string err = dir + "/stderr";
    const std::string command =
        "SARVOKE_RUN_DIRECTORY='" + dir + "' '" SARVOKE_PROGRAM "' " + args + " 2>'" + err + "'";
    Outcome r;
    FILE* p = popen(command.c_str(), "r");
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;) r.out.append(buffer, n);
    const int s = pclose(p);
    r.status = WIFEXITED(s) ? WEXITSTATUS(s) : -1;
    r.err = FileText(err);
    return r;
  }
  std::string SharePage(const std::string& id) {
    return "http://" + lab->ShareSiteDomain() + "/share/link?shareid=" + id + "&uk=4100";
  }

  std::string dir, endpoints;
  std::unique_ptr<sarvoke::lab::LabServer> lab;
};

TEST_F(CommandLineExtras, CheckAddsASixthFieldBeforeTheAddress) {
  const Outcome r = Sarvoke("search --check --urls --endpoints " + endpoints + " 合集");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "合集,第1部 \"精选\".mkv\t1.5G\t逗号,先生\t2013-05-01 10:00\t12\talive\t" + SharePage("4001") +
                       "\n已删除 合集.mkv\t2G\t逗号,先生\t2013-05-01 10:02\t5\tdead\t" + SharePage("4003") + "\n");
}

TEST_F(CommandLineExtras, JsonIsValidUtf8JsonWithNamedFields) {
  const Outcome r = Sarvoke("search --json --check --endpoints " + endpoints + " .");
  ASSERT_EQ(r.status, 0) << r.err;
  // Read back by another JSON reader than the program's own.
  const std::string json = dir + "/out.json";
  std::ofstream(json) << r.out;
  FILE* p = popen(("python3 -c 'import json,sys; d=json.load(open(sys.argv[1], encoding=\"utf-8\"));"
                   "print(len(d)); [print(x[\"fileName\"], x[\"sharer\"], x[\"check\"], sep=\"|\") for x in d]' '" +
                   json + "'")
                      .c_str(),
                  "r");
  std::string read;
  char buffer[4096];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;) read.append(buffer, n);
  EXPECT_EQ(pclose(p), 0) << r.out;
  EXPECT_EQ(read,
            "3\n合集,第1部 \"精选\".mkv|逗号,先生|alive\n=SUM(A1) 公式.txt|逗号,先生|alive\n"
            "已删除 合集.mkv|逗号,先生|dead\n");
}

TEST_F(CommandLineExtras, ExportWritesTheWindowsCsv) {
  const std::string csv = dir + "/结果.csv";
  const Outcome r = Sarvoke("search --export '" + csv + "' --endpoints " + endpoints + " 合集");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "已将 2 条结果导出到“" + csv + "”。\n");
  EXPECT_EQ(FileText(csv), "\xEF\xBB\xBF文件名,文件大小,分享者,分享时间,下载次数,分享页地址,检查结果\r\n"
                           "\"合集,第1部 \"\"精选\"\".mkv\",1.5G,\"逗号,先生\",2013-05-01 10:00,12," +
                               SharePage("4001") +
                               ",\r\n"
                               "已删除 合集.mkv,2G,\"逗号,先生\",2013-05-01 10:02,5," +
                               SharePage("4003") + ",\r\n");

  const Outcome denied = Sarvoke("search --export /nonexistent/folder/x.csv --endpoints " + endpoints + " 合集");
  EXPECT_EQ(denied.status, 4);
  EXPECT_NE(denied.err.find("无法写入文件“/nonexistent/folder/x.csv”"), std::string::npos) << denied.err;
}

TEST_F(CommandLineExtras, DlinkToAria2PrintsTheDownloadIdOrWhyNot) {
  sarvoke::test::Aria2Daemon aria2(dir, "tok");
  ASSERT_TRUE(aria2.ready) << aria2.problem;
  const std::string address = "--aria2 " + aria2.RpcAddress() + " ";
  const Outcome ok = Sarvoke("dlink --to aria2 " + address + "--aria2-secret tok '" + SharePage("4001") + "'");
  EXPECT_EQ(ok.status, 0) << ok.err;
  EXPECT_EQ(ok.out.size(), 17u) << ok.out;  // 16 hex digits and the line end
  const sarvoke::lab::Share* share = sarvoke::lab::FindShare(lab->Catalogue(), "4001", "4100");
  ASSERT_TRUE(share);
  EXPECT_TRUE(aria2.FileArrives(sarvoke::lab::ShareFileContent(*share), 20000));

  struct Case {
    const char* label;
    std::string args, says;
    int status;
  } cases[] = {
      {"a wrong token", "dlink --to aria2 " + address + "--aria2-secret nope '" + SharePage("4002") + "'",
       "密钥不对", 1},
      {"no daemon", "dlink --to aria2 --aria2 http://127.0.0.1:" + std::to_string(sarvoke::test::FreeLoopbackPort()) +
                        "/jsonrpc '" + SharePage("4002") + "'",
       "没有连接上 aria2", 1},
      {"a share without a link", "dlink --to aria2 " + address + "--aria2-secret tok '" + SharePage("4003") + "'",
       "未能取得下载地址", 1},
      {"link cannot send", "link --to aria2 http://a/b", "dlink --to aria2 does", 2},
      {"JSON or CSV, not both", "search --json --export x.csv word", "cannot go together", 2},
      {"aria2 options without --to aria2", "dlink --aria2 http://a/ '" + SharePage("4002") + "'",
       "go with --to aria2", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const Outcome r = Sarvoke(c.args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
  }
}

}  // namespace
