#include "lab_server.h"

#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "mailbox.h"
#include "publisher_home.h"
#include "qq_services.h"
#include "share_site.h"
#include "static_site.h"

namespace sarvoke::lab {
namespace {

// The catalogue and the board the lab was built with (their paths are fixed at build time).
const char* const kBuiltInCatalogue = SARVOKE_LAB_CATALOGUE;
const char* const kBuiltInBoard = SARVOKE_LAB_BOARD;

const char* const kBoardMailbox = "board@lab.sarvoke.test";
const char* const kBoardPassword = "k_720946.";

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(' ');
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

bool ContainsIgnoringCase(const std::string& haystack, const std::string& needle) {
  return needle.empty() || Lower(haystack).find(Lower(needle)) != std::string::npos;
}

// Wraps every occurrence of `word` (ASCII letters compared without case) in <em></em>, as the engine does.
std::string Emphasise(const std::string& text, const std::string& word) {
  if (word.empty()) return text;
  const std::string lower = Lower(text), w = Lower(word);
  std::string out;
  std::size_t from = 0;
  for (std::size_t at; (at = lower.find(w, from)) != std::string::npos; from = at + w.size()) {
    out += text.substr(from, at - from) + "<em>" + text.substr(at, w.size()) + "</em>";
  }
  return out + text.substr(from);
}

std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

std::vector<Share> LoadCatalogue(const std::string& path) {
  std::vector<Share> shares;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f;
    std::stringstream ss(line);
    for (std::string field; std::getline(ss, field, '\t');) f.push_back(field);
    if (f.size() < 7) continue;
    shares.push_back(
        {f[0], f[1], f[2], f[3], f[4], f[5], f[6], f.size() > 7 && !f[7].empty() ? f[7] : "public"});
  }
  return shares;
}

SearchQuery ParseSearchQuery(const std::string& q1, const std::string& shareSiteDomain) {
  SearchQuery q;
  std::string rest = q1;
  const std::string site = "site:(";
  if (rest.compare(0, site.size(), site) == 0) {
    const auto close = rest.find(')');
    if (close != std::string::npos) {
      q.siteMatches = Lower(rest.substr(site.size(), close - site.size())) == Lower(shareSiteDomain);
      rest = rest.substr(close + 1);
    }
  }
  // The exclusion group " -(a | b)" (or a bare " -") ends the query.
  const auto group = rest.rfind(" -");
  if (group != std::string::npos) {
    std::string words = rest.substr(group + 2);
    rest = rest.substr(0, group);
    if (words.size() >= 2 && words.front() == '(' && words.back() == ')') {
      words = words.substr(1, words.size() - 2);
      std::size_t from = 0;
      for (;;) {
        const auto bar = words.find('|', from);
        const std::string w =
            Trim(words.substr(from, bar == std::string::npos ? std::string::npos : bar - from));
        if (!w.empty()) q.blocked.push_back(w);
        if (bar == std::string::npos) break;
        from = bar + 1;
      }
    }
  }
  q.word = Trim(rest);
  return q;
}

std::string ResultsPage(const std::vector<Share>& catalogue, const SearchQuery& query, int offset, int count,
                        const std::string& shareSiteDomain, bool changedShape) {
  std::vector<const Share*> found;
  if (query.siteMatches) {
    for (const Share& s : catalogue) {
      if (!ContainsIgnoringCase(s.fileName, query.word) && !ContainsIgnoringCase(s.sharer, query.word))
        continue;
      const bool blocked = std::any_of(query.blocked.begin(), query.blocked.end(), [&](const std::string& b) {
        return ContainsIgnoringCase(s.fileName, b) || ContainsIgnoringCase(s.sharer, b);
      });
      if (!blocked) found.push_back(&s);
    }
  }
  std::string page =
      "<!DOCTYPE html>\n<html><head><meta http-equiv=\"content-type\" content=\"text/html;charset=utf-8\">\n"
      "<title>" +
      Escape(query.word) + "_百度搜索</title></head>\n<body>\n<div id=\"content_left\">\n";
  const int first = std::max(offset, 0);
  const int last = std::min<int>(static_cast<int>(found.size()), first + std::max(count, 0));
  for (int i = first; i < last; ++i) {
    const Share& s = *found[i];
    const std::string url =
        "http://" + shareSiteDomain + "/share/link?shareid=" + s.shareId + "&uk=" + s.userKey;
    const std::string name = Emphasise(s.fileName, query.word);
    const std::string sharer = Emphasise(s.sharer, query.word);
    if (changedShape) {
      page += "<div class=\"c-result\" data-url=\"" + url + "\"><h3>" + name +
              "_免费高速下载</h3><span class=\"meta\">名称:" + name + " | 大小:" + s.size +
              " | 分享者:" + sharer + " | 时间:" + s.shareTime + " | 下载:" + s.downloads + "</span></div>\n";
    } else {
      page += "<table class=\"result\" id=\"" + std::to_string(i + 1) +
              "\"><tr><td class=c-default><h3 class=\"t\"><a data-click=\"{'F':'778317EA','T':'" +
              std::to_string(i + 1) + "'}\"  href=\"" + url + "\"   target=\"_blank\" >" + name +
              "_免费高速下载|百度网盘-分享无限制</a></h3>     <font size=-1>文件名:" + name +
              " 文件大小:" + s.size + " 分享者:" + sharer + " 分享时间:" + s.shareTime +
              " 下载次数:" + s.downloads + "</font><br></td></tr></table>\n";
    }
  }
  if (found.empty())
    page += "<div class=\"nors\"><p>抱歉，没有找到与“" + Escape(query.word) + "”相关的网页。</p></div>\n";
  page += "</div>\n</body></html>\n";
  return page;
}

std::string PatternFile(bool changedShape) {
  if (changedShape) {
    return "data-url=\"(.+?)\"><h3>.+?</h3><span class=\"meta\">名称:(.+?) \\| 大小:(.+?) \\| 分享者:(.+?) "
           "\\| "
           "时间:(.+?) \\| 下载:(.+?)</span>";
  }
  return "}\"  href=\"(.+?)\"   target=\"_blank\" >.+?</a></h3>     <font size=-1>文件名:(.+?) "
         "文件大小:(.+?) "
         "分享者:(.+?) 分享时间:(.+?) 下载次数:(.+?)</font>";
}

struct LabServer::Impl {
  LabOptions options;
  std::vector<Share> catalogue;
  std::atomic<bool> changedShape{false}, noHits{false};
  std::atomic<bool> homeDeclaresCharset{true}, homeHasPosts{true};
  struct Service {
    std::string name;
    httplib::Server server;
    std::thread thread;
    int port = 0;
  };
  Service search{"search"}, publisher{"publisher"}, share{"share"}, staticSite{"static"}, qq{"qq"};
  QqServiceModes qqModes;
  std::unique_ptr<Mailbox> mailbox;
  mutable std::mutex mutex;
  std::vector<LabRequest> requests;

  // The never-answering mode: one listening socket per service whose queue takes every connection; the
  // kernel completes the handshakes and nobody ever reads or writes.
  std::vector<int> silentSockets;

  bool ListenSilently(Service& s, int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return false;
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    socklen_t len = sizeof addr;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 1024) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
      close(fd);
      return false;
    }
    s.port = ntohs(addr.sin_port);
    silentSockets.push_back(fd);
    return true;
  }

  void Record(const std::string& service, const httplib::Request& req) {
    LabRequest r;
    r.service = service;
    r.method = req.method;
    r.target = req.target;
    r.path = req.path;
    for (const auto& p : req.params) r.params.insert(p);
    for (const auto& h : req.headers) r.headers.insert(h);
    std::lock_guard lock(mutex);
    requests.push_back(std::move(r));
  }

  std::string Host(int port) const { return "127.0.0.1:" + std::to_string(port); }

  void Routes() {
    search.server.Get("/s", [this](const httplib::Request& req, httplib::Response& res) {
      Record("search", req);
      SearchQuery q = ParseSearchQuery(req.get_param_value("q1"), Host(share.port));
      if (noHits) q.siteMatches = false;
      const std::string pn = req.get_param_value("pn"), rn = req.get_param_value("rn");
      const int offset = pn.empty() ? 0 : std::atoi(pn.c_str());
      const int count = rn.empty() ? 10 : std::atoi(rn.c_str());
      res.set_content(ResultsPage(catalogue, q, offset, count, Host(share.port), changedShape),
                      "text/html; charset=utf-8");
    });
    publisher.server.Get("/", [this](const httplib::Request& req, httplib::Response& res) {
      Record("publisher", req);
      // The same UTF-8 page with or without its charset in the header line.
      res.set_content(PublisherHomePage(Host(publisher.port), homeHasPosts),
                      homeDeclaresCharset ? "text/html; charset=utf-8" : "text/html");
    });
    publisher.server.Get("/rj/bd.txt", [this](const httplib::Request& req, httplib::Response& res) {
      Record("publisher", req);
      res.set_content(PatternFile(changedShape), "text/plain; charset=utf-8");
    });
    AddShareSiteRoutes(
        share.server, catalogue, [this] { return Host(share.port); },
        [this](const httplib::Request& req) { Record("share", req); });
    AddStaticSiteRoutes(staticSite.server, [this](const httplib::Request& req) { Record("static", req); });
    AddQqServiceRoutes(qq.server, qqModes, SARVOKE_LAB_AVATARS,
                       [this](const httplib::Request& req) { Record("qq", req); });
    for (Service* s : {&search, &publisher, &share, &staticSite, &qq}) {
      s->server.set_error_handler([this, s](const httplib::Request& req, httplib::Response& res) {
        if (res.status == 404) Record(s->name, req);
      });
    }
  }
};

LabServer::LabServer(LabOptions options) : impl_(std::make_unique<Impl>()) {
  impl_->options = std::move(options);
  impl_->changedShape = impl_->options.changedShape;
  impl_->noHits = impl_->options.noHits;
  impl_->catalogue =
      LoadCatalogue(impl_->options.catalogueFile.empty() ? kBuiltInCatalogue : impl_->options.catalogueFile);
  impl_->Routes();
}

LabServer::~LabServer() { Stop(); }

bool LabServer::Start() {
  struct Want {
    Impl::Service* service;
    int port;
  } wants[] = {{&impl_->search, impl_->options.searchPort},
               {&impl_->publisher, impl_->options.publisherPort},
               {&impl_->share, impl_->options.shareSitePort},
               {&impl_->staticSite, impl_->options.staticPort},
               {&impl_->qq, 0}};
  if (impl_->options.neverAnswer) {
    for (const Want& w : wants)
      if (!impl_->ListenSilently(*w.service, w.port)) return false;
    return StartMailbox();
  }
  for (const Want& w : wants) {
    Impl::Service& s = *w.service;
    if (w.port > 0) {
      if (!s.server.bind_to_port("127.0.0.1", w.port)) return false;
      s.port = w.port;
    } else {
      s.port = s.server.bind_to_any_port("127.0.0.1");
      if (s.port <= 0) return false;
    }
    s.thread = std::thread([&s] { s.server.listen_after_bind(); });
  }
  // The sockets are bound and listening already; wait until the accept loops run, for a tidy Stop().
  for (const Want& w : wants)
    while (!w.service->server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return StartMailbox();
}

namespace {

// The board in the options' board file; false when it cannot be read.
bool ReadBoardFile(const std::string& path, std::string& board) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "sarvoke-lab: cannot read the board file %s\n", path.c_str());
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  board = text.str();
  // An editor's final line break is not part of the board.
  if (!board.empty() && board.back() == '\n') board.pop_back();
  if (!board.empty() && board.back() == '\r') board.pop_back();
  return true;
}

}  // namespace

bool LabServer::StartMailbox() {
  if (!impl_->options.mail || impl_->mailbox) return true;
  std::string board;
  if (!impl_->options.boardFile.empty() && !ReadBoardFile(impl_->options.boardFile, board)) return false;
  auto mailbox = std::make_unique<Mailbox>(kBoardMailbox, kBoardPassword);
  if (!mailbox->Start()) return false;
  if (!impl_->options.boardFile.empty() && !mailbox->Seed(board)) {
    std::fprintf(stderr, "sarvoke-lab: the board could not be delivered to the mailbox\n");
    return false;
  }
  impl_->mailbox = std::move(mailbox);
  return true;
}

void LabServer::Stop() {
  for (const int fd : impl_->silentSockets) close(fd);
  impl_->silentSockets.clear();
  for (Impl::Service* s :
       {&impl_->search, &impl_->publisher, &impl_->share, &impl_->staticSite, &impl_->qq}) {
    s->server.stop();
    if (s->thread.joinable()) s->thread.join();
  }
  impl_->mailbox.reset();
}

int LabServer::SearchPort() const { return impl_->search.port; }
int LabServer::PublisherPort() const { return impl_->publisher.port; }
int LabServer::ShareSitePort() const { return impl_->share.port; }
std::string LabServer::SearchEngineHost() const { return impl_->Host(impl_->search.port); }
std::string LabServer::PublisherHost() const { return impl_->Host(impl_->publisher.port); }
std::string LabServer::ShareSiteDomain() const { return impl_->Host(impl_->share.port); }
std::string LabServer::StaticContentHost() const { return impl_->Host(impl_->staticSite.port); }
std::string LabServer::QqServiceHost() const { return impl_->Host(impl_->qq.port); }
void LabServer::SetQqTimeEmpty(bool on) { impl_->qqModes.emptyTime = on; }
void LabServer::SetQqAvatarDelay(long long number, int ms) {
  impl_->qqModes.slowAvatarNumber = number;
  impl_->qqModes.slowAvatarMs = ms;
}
std::string LabServer::MailPop3Host() const {
  return impl_->mailbox ? impl_->Host(impl_->mailbox->Pop3Port()) : "";
}
std::string LabServer::MailSmtpHost() const {
  return impl_->mailbox ? impl_->Host(impl_->mailbox->SmtpPort()) : "";
}
std::string LabServer::BoardMailbox() const { return kBoardMailbox; }
std::string LabServer::BoardPassword() { return kBoardPassword; }
std::string LabServer::BuiltInBoardFile() { return kBuiltInBoard; }

bool LabServer::AddMail(const std::string& rfc5322) {
  return impl_->mailbox && impl_->mailbox->AddMail(rfc5322);
}
bool LabServer::ClearMailbox() { return impl_->mailbox && impl_->mailbox->Clear(); }
bool LabServer::ReseedMailbox() {
  std::string board;
  if (!impl_->mailbox || !impl_->mailbox->Clear()) return false;
  if (impl_->options.boardFile.empty()) return true;
  return ReadBoardFile(impl_->options.boardFile, board) && impl_->mailbox->Seed(board);
}
int LabServer::MailCount() const { return impl_->mailbox ? impl_->mailbox->Count() : 0; }
void LabServer::StopPop3() {
  if (impl_->mailbox) impl_->mailbox->StopPop3();
}
bool LabServer::StartPop3() { return impl_->mailbox && impl_->mailbox->StartPop3(); }
std::string LabServer::MaildirPath() const { return impl_->mailbox ? impl_->mailbox->MaildirPath() : ""; }
const std::vector<Share>& LabServer::Catalogue() const { return impl_->catalogue; }

std::string LabServer::EndpointsFileText() const {
  std::string text = "[endpoints]\r\nSearchEngineHost=" + SearchEngineHost() +
                     "\r\nShareSiteDomain=" + ShareSiteDomain() + "\r\nPublisherHost=" + PublisherHost() +
                     "\r\nStaticContentHost=" + StaticContentHost() + "\r\nQqProfileHost=" + QqServiceHost() +
                     "\r\nQqTimeHost=" + QqServiceHost() + "\r\nQqAvatarHost=" + QqServiceHost() +
                     "\r\nQqChatHost=" + QqServiceHost() + "\r\n";
  if (impl_->mailbox) {
    text += "MailPop3Host=" + MailPop3Host() + "\r\nMailSmtpHost=" + MailSmtpHost() +
            "\r\nBoardMailbox=" + BoardMailbox() + "\r\n";
  }
  return text;
}

bool LabServer::WriteEndpointsFile(const std::string& path) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << EndpointsFileText();
  return static_cast<bool>(out.flush());
}

std::vector<LabRequest> LabServer::Requests(const std::string& service) const {
  std::lock_guard lock(impl_->mutex);
  if (service.empty()) return impl_->requests;
  std::vector<LabRequest> out;
  for (const auto& r : impl_->requests)
    if (r.service == service) out.push_back(r);
  return out;
}

void LabServer::ClearRequests() {
  std::lock_guard lock(impl_->mutex);
  impl_->requests.clear();
}

void LabServer::SetChangedShape(bool on) { impl_->changedShape = on; }
void LabServer::SetNoHits(bool on) { impl_->noHits = on; }
void LabServer::SetHomePageDeclaresCharset(bool on) { impl_->homeDeclaresCharset = on; }
void LabServer::SetHomePageHasPosts(bool on) { impl_->homeHasPosts = on; }

}  // namespace sarvoke::lab
