#include "qq_services.h"

#include <httplib.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <sstream>
#include <thread>

#include "mailbox.h"

namespace sarvoke::lab {

std::string QqNickname(const std::string& number) {
  if (number == "10001") return "小明";
  if (number == "12345") return "<b>粗体</b>&amp;";
  if (number == "20002") return "a-b\\c|d";
  if (number == "30003") return "Alice";
  return "";
}

namespace {

bool ReadFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream all;
  all << in.rdbuf();
  out = all.str();
  return true;
}

}  // namespace

void AddQqServiceRoutes(httplib::Server& server, const QqServiceModes& modes, std::string avatarFolder,
                        std::function<void(const httplib::Request&)> record) {
  server.Get(R"(/qzone/(\d*)/(\d*)/30)", [record, &modes, avatarFolder](const httplib::Request& req,
                                                                        httplib::Response& res) {
    record(req);
    const std::string n = req.matches[1];
    if (!n.empty() && n.size() < 19 && std::stoll(n) == modes.slowAvatarNumber && modes.slowAvatarMs > 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(modes.slowAvatarMs.load()));
    std::string body;
    if (!n.empty() && ReadFile(avatarFolder + "/" + n + ".jpg", body)) {
      res.set_content(body, "image/jpeg");
    } else if ((!n.empty() && ReadFile(avatarFolder + "/" + n + ".png", body)) ||
               ReadFile(avatarFolder + "/default.png", body)) {
      res.set_content(body, "image/png");
    } else {
      res.status = 404;
    }
  });
  server.Get("/fcg-bin/cgi_get_portrait.fcg", [record](const httplib::Request& req, httplib::Response& res) {
    record(req);
    const std::string n = req.get_param_value("uins");
    const std::string nick = QqNickname(n);
    if (nick.empty()) {
      res.set_content("portraitCallBack({})", "text/html");
      return;
    }
    // The real service's shape: the number's avatar address, some figures, then the nickname.
    const std::string body = "portraitCallBack({\"" + n + "\":[\"http://qlogo1.store.qq.com/qzone/" + n +
                             "/" + n + "/100\",1,-1,0,0,0,\"" + nick + "\",0]})";
    res.set_content(Utf8ToGbk(body), "text/html");
  });
  // The chat link of a QQ-form entry: a page that says whom it would open a chat with.
  server.Get("/msgrd", [record](const httplib::Request& req, httplib::Response& res) {
    record(req);
    std::string uin;
    for (const char c : req.get_param_value("uin"))
      if (c >= '0' && c <= '9') uin += c;
    res.set_content("<html><body>QQ chat with " + uin + "</body></html>", "text/html; charset=utf-8");
  });
  server.Get("/cgi-bin/cgi_svrtime", [record, &modes](const httplib::Request& req, httplib::Response& res) {
    record(req);
    if (modes.emptyTime) {
      res.set_content("", "text/plain");
      return;
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S\r\n", &local);
    res.set_content(text, "text/plain");
  });
}

}  // namespace sarvoke::lab
