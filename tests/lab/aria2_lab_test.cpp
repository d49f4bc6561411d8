// Downloads through a real aria2 daemon (aria2c --enable-rpc on loopback): the pop-up menu's "aria2下载"
// hands the lab's direct link over and the file arrives whole; a wrong token, no daemon and a server that
// is no aria2 give messages that say so.
#include <gtest/gtest.h>

#include <stdexcept>

#include "app/main_window.h"
#include "app/settings.h"
#include "aria2_daemon.h"
#include "lab_app_fixture.h"
#include "platform/ini_file.h"
#include "share/aria2_download.h"
#include "share/direct_link.h"
#include "share/share_actions.h"
#include "share_site.h"
#include "support/recording_http_server.h"
#include "text/code_page.h"

namespace sarvoke {
namespace {

constexpr const char* kSecret = "s3cret-token";

class Aria2Lab : public LabAppTest {
 protected:
  void UseAria2(const std::string& address, const std::string& secret) {
    const std::string settings = SettingsFilePath(runDir);
    ASSERT_TRUE(WriteIniValue(settings, kAria2Section, kAria2KeyAddress, address));
    ASSERT_TRUE(WriteIniValue(settings, kAria2Section, kAria2KeySecret, secret));
  }
  // Searches for `word`, selects the first row and picks "aria2下载"; the one message shown.
  Text DownloadFirstRow(const Text& word) {
    Search(word);
    EXPECT_FALSE(Rows().empty());
    app->window.SetSelected("超级列表框1", 0);
    view->messages.clear();
    EXPECT_TRUE(app->window.Fire(Text(kMenuAria2), Event::MenuSelected));
    const auto messages = Messages();
    EXPECT_EQ(messages.size(), 1u);
    return messages.empty() ? Text() : messages.back();
  }
  const lab::Share& ShareById(const std::string& id) {
    for (const auto& s : lab.Catalogue())
      if (s.shareId == id) return s;
    throw std::runtime_error("no share " + id);
  }
};

TEST_F(Aria2Lab, TheMenuItemHandsTheLinkToAria2AndTheFileArrives) {
  test::Aria2Daemon aria2(runDir, kSecret);
  ASSERT_TRUE(aria2.ready) << aria2.problem;
  UseAria2(aria2.RpcAddress(), kSecret);
  const Text message = DownloadFirstRow("office2010");
  const Text accepted = "aria2 已接受下载任务，任务编号：";
  ASSERT_EQ(message.substr(0, accepted.size()), accepted) << AnsiToUtf8(message);
  EXPECT_EQ(message.size(), accepted.size() + 16);  // aria2's download ids are 16 hex digits

  std::string name;
  EXPECT_TRUE(aria2.FileArrives(lab::ShareFileContent(ShareById("1006")), 20000, &name));
  EXPECT_EQ(name, "office2010_setup.exe");  // from the site's Content-Disposition
  // aria2 asked with the header lines the site expects of a download from its share page.
  bool sawFile = false;
  for (const auto& r : lab.Requests("share")) {
    if (r.path != "/file/1006") continue;
    sawFile = true;
    const auto agent = r.headers.find("User-Agent"), referer = r.headers.find("Referer");
    ASSERT_NE(agent, r.headers.end());
    ASSERT_NE(referer, r.headers.end());
    EXPECT_EQ(agent->second, "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
    EXPECT_EQ(referer->second, AnsiToUtf8(ShareUrlOfRow(*app, 0)));
  }
  EXPECT_TRUE(sawFile);
}

TEST_F(Aria2Lab, EveryRefusalSaysWhy) {
  test::Aria2Daemon aria2(runDir, kSecret);
  ASSERT_TRUE(aria2.ready) << aria2.problem;
  const std::string nobody = "http://127.0.0.1:" + std::to_string(test::FreeLoopbackPort()) + "/jsonrpc";
  struct Case {
    const char* label;
    std::string address, secret;
    Text says;
  } cases[] = {
      {"a wrong token", aria2.RpcAddress(), "not-the-token", "拒绝了请求：密钥不对"},
      {"no token where the daemon wants one", aria2.RpcAddress(), "", "拒绝了请求：密钥不对"},
      {"no daemon at the address", nobody, kSecret, "没有连接上 aria2（" + Utf8ToAnsiText(nobody) + "）"},
      {"a web server that is no aria2", "http://" + lab.SearchEngineHost() + "/jsonrpc", kSecret,
       "的回答不是 aria2 的 JSON-RPC 回答（HTTP 状态 404）"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    UseAria2(c.address, c.secret);
    const Text message = DownloadFirstRow("office2010");
    EXPECT_NE(message.find(c.says), Text::npos) << AnsiToUtf8(message);
  }
  EXPECT_TRUE(aria2.NothingDownloaded());
}

TEST_F(Aria2Lab, ARowWithoutADirectLinkIsNotSent) {
  // The taken-down share: the message of a missing link, and no request to the daemon's address at all.
  UseAria2("http://" + lab.SearchEngineHost() + "/jsonrpc", kSecret);
  Search("流浪地球");
  app->window.SetSelected("超级列表框1", 1);
  lab.ClearRequests();
  ASSERT_TRUE(app->window.Fire(Text(kMenuAria2), Event::MenuSelected));
  EXPECT_EQ(Messages(), std::vector<Text>{Text(kNoDirectLink)});
  EXPECT_TRUE(lab.Requests("search").empty());
}

TEST(Aria2Request, TheRequestCarriesTheTokenTheLinkAndTheHeaderLines) {
  Aria2Endpoint e;
  e.secret = "t\"k";
  const std::string json =
      Aria2AddUriRequest(e, "http://h/f?a=1&b=\"2\"", DownloadHeaderLines("http://h/s?x=中"), "id-1");
  EXPECT_EQ(json,
            "{\"jsonrpc\":\"2.0\",\"id\":\"id-1\",\"method\":\"aria2.addUri\",\"params\":[\"token:t\\\"k\","
            "[\"http://h/f?a=1&b=\\\"2\\\"\"],{\"header\":[\"User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; "
            "Windows NT 6.1)\",\"Referer: http://h/s?x=" +
                AnsiToUtf8("中") + "\"]}]}");
  e.secret.clear();
  EXPECT_EQ(Aria2AddUriRequest(e, "l", {}, "2").find("token:"), std::string::npos);
  // A line break in a share page's address cannot add a header line of its own.
  EXPECT_EQ(DownloadHeaderLines("http://h/s\r\nCookie: x=1")[1], "Referer: http://h/sCookie: x=1");
}

TEST(Aria2Request, ARedirectIsNotFollowedWithTheToken) {
  // An address that sends the request on (307 would have it posted again, token and all): the answer is
  // read as no aria2's, and nothing reaches the other server.
  RecordingHttpServer elsewhere, redirecting;
  elsewhere.Route("/jsonrpc", HttpReply{200, {}, R"({"id":"x","jsonrpc":"2.0","result":"0000000000000001"})"});
  redirecting.Route("/jsonrpc", HttpReply{307, {{"Location", elsewhere.Url("/jsonrpc")}}, ""});
  Aria2Endpoint e;
  e.address = redirecting.Url("/jsonrpc");
  e.secret = "s3cret";
  const Aria2Outcome out = SendToAria2(e, "http://h/f", {});
  EXPECT_FALSE(out.accepted);
  EXPECT_NE(out.message.find("HTTP 状态 307"), Text::npos) << AnsiToUtf8(out.message);
  EXPECT_EQ(redirecting.Requests().size(), 1u);
  EXPECT_TRUE(elsewhere.Requests().empty());
}

}  // namespace
}  // namespace sarvoke
