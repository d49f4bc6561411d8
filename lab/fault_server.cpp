#include "fault_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "publisher_home.h"

namespace sarvoke::lab {
namespace {

constexpr std::size_t kGarbageBytes = std::size_t{50} << 20;
constexpr std::size_t kUnendedShareBytes = std::size_t{10} << 20;

int ListenOnLoopback(int& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 64) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    ::close(fd);
    return -1;
  }
  port = ntohs(addr.sin_port);
  return fd;
}

// 50 MB that are no page of any kind: the same pseudo-random bytes every time, made once.
std::shared_ptr<const std::string> Garbage() {
  static const auto bytes = [] {
    auto s = std::make_shared<std::string>(kGarbageBytes, '\0');
    std::uint64_t x = 0x9E3779B97F4A7C15ull;
    for (char& c : *s) {
      x ^= x << 13;
      x ^= x >> 7;
      x ^= x << 17;
      c = static_cast<char>(x >> 32);
    }
    return std::shared_ptr<const std::string>(std::move(s));
  }();
  return bytes;
}

// Breaks every second non-ASCII character of UTF-8 text: its first two bytes stay, followed by a byte
// that UTF-8 never uses and an overlong form of "/". Markup (ASCII) and the words in `keep` (the page's
// own labels, which a reader looks for) stay whole, so the page keeps its shape and only its texts break.
std::string BreakUtf8(const std::string& text, const std::vector<std::string>& keep) {
  std::string out;
  out.reserve(text.size() + text.size() / 2);
  int seen = 0;
  for (std::size_t i = 0; i < text.size();) {
    const auto kept = std::find_if(keep.begin(), keep.end(),
                                   [&](const std::string& k) { return text.compare(i, k.size(), k) == 0; });
    if (kept != keep.end()) {
      out += *kept;
      i += kept->size();
      continue;
    }
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    std::size_t len = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    len = std::min(len, text.size() - i);
    if (len >= 3 && ++seen % 2 == 0) {
      out.append(text, i, 2);
      out += "\xFF\xC0\xAF";
    } else {
      out.append(text, i, len);
    }
    i += len;
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecode(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '+') {
      out += ' ';
    } else if (s[i] == '%' && i + 2 < s.size() && HexDigit(s[i + 1]) >= 0 && HexDigit(s[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(s[i + 1]) * 16 + HexDigit(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

// The decoded value of `name` in a request target's query; "" when it has none.
std::string QueryValue(const std::string& target, const std::string& name) {
  std::size_t at = target.find('?');
  while (at != std::string::npos) {
    const std::size_t start = at + 1;
    const std::size_t end = target.find('&', start);
    const std::string pair = target.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (pair.compare(0, name.size() + 1, name + "=") == 0) return PercentDecode(pair.substr(name.size() + 1));
    at = end;
  }
  return "";
}

// One accepted connection: reads lines and request heads, and sends, at once or a byte a second, until
// the client leaves or the server stops.
class Connection {
 public:
  Connection(int fd, const std::atomic<bool>& stopping) : fd_(fd), stopping_(stopping) {}

  // Waits up to `ms` (-1: until the server stops) for bytes; false when none came or the client left.
  bool Readable(int ms) {
    for (int waited = 0; !stopping_ && (ms < 0 || waited < ms); waited += 100) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 100) > 0) return true;
    }
    return false;
  }
  // Reads until `end` is in the buffer; the text up to it is returned through `out`.
  bool ReadUntil(const std::string& end, std::string& out) {
    for (;;) {
      const std::size_t at = buffer_.find(end);
      if (at != std::string::npos) {
        out = buffer_.substr(0, at);
        buffer_.erase(0, at + end.size());
        return true;
      }
      if (buffer_.size() > (1u << 20) || !Readable(-1)) return false;
      char chunk[16384];
      const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
      if (n <= 0) return false;
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
  }
  bool ReadLine(std::string& line) { return ReadUntil("\r\n", line); }
  bool Send(std::string_view bytes, bool drip = false) {
    if (!drip) return SendAll(bytes);
    for (char c : bytes) {
      if (stopping_ || !SendAll(std::string_view(&c, 1))) return false;
      for (int slept = 0; slept < 1000 && !stopping_; slept += 50) ::usleep(50000);
    }
    return true;
  }
  // Keeps the connection open, sending nothing, until the client leaves or the server stops.
  void HoldOpen() {
    char chunk[4096];
    while (Readable(-1) && ::recv(fd_, chunk, sizeof chunk, 0) > 0) {
    }
  }
  // Ends the connection with a reset instead of an orderly close.
  void Reset() {
    const linger hard{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    ::shutdown(fd_, SHUT_RD);
  }
  // Lets the client read everything before the connection goes, so that no reset overtakes the answer.
  void FinishSending() {
    ::shutdown(fd_, SHUT_WR);
    char chunk[4096];
    while (Readable(2000) && ::recv(fd_, chunk, sizeof chunk, 0) > 0) {
    }
  }

 private:
  bool SendAll(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
  }

  int fd_;
  const std::atomic<bool>& stopping_;
  std::string buffer_;
};

// A listening socket whose connections each get a thread running `serve`.
class Listener {
 public:
  using Serve = std::function<void(Connection&)>;

  bool Start(Serve serve) {
    serve_ = std::move(serve);
    fd_ = ListenOnLoopback(port_);
    if (fd_ < 0) return false;
    acceptor_ = std::thread([this] { AcceptLoop(); });
    return true;
  }
  void Stop() {
    stopping_ = true;
    if (acceptor_.joinable()) acceptor_.join();
    {
      std::lock_guard lock(mutex_);
      for (int fd : open_) ::shutdown(fd, SHUT_RDWR);
    }
    for (std::thread& t : workers_) t.join();
    workers_.clear();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int Port() const { return port_; }
  int Connections() const { return connections_; }

 private:
  void AcceptLoop() {
    while (!stopping_) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      ++connections_;
      std::lock_guard lock(mutex_);
      open_.push_back(fd);
      workers_.emplace_back([this, fd] {
        Connection c(fd, stopping_);
        serve_(c);
        std::lock_guard lock(mutex_);
        open_.erase(std::remove(open_.begin(), open_.end(), fd), open_.end());
        ::close(fd);
      });
    }
  }

  Serve serve_;
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  std::mutex mutex_;
  std::vector<int> open_;
  std::vector<std::thread> workers_;
  std::thread acceptor_;
};

std::string Reply(const std::string& status, const std::string& contentType, const std::string& body) {
  return "HTTP/1.1 " + status + "\r\nContent-Type: " + contentType +
         "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

}  // namespace

const char* FaultName(HttpFault fault) {
  switch (fault) {
    case HttpFault::None:
      return "none";
    case HttpFault::Stall:
      return "accepts and never answers";
    case HttpFault::StallInBody:
      return "answers the header, then stalls in the body";
    case HttpFault::ResetInBody:
      return "resets the connection in the middle of the body";
    case HttpFault::RedirectLoop301:
      return "301 redirect loop";
    case HttpFault::RedirectLoop302:
      return "302 redirect loop";
    case HttpFault::Garbage50MB:
      return "50 MB of garbage";
    case HttpFault::InvalidUtf8:
      return "invalid UTF-8 declared as UTF-8";
    case HttpFault::ShareLinkUnended:
      return "10 MB share page without the link's end marker";
    case HttpFault::DripOneByteASecond:
      return "one byte a second";
  }
  return "?";
}

const char* FaultName(MailFault fault) {
  switch (fault) {
    case MailFault::None:
      return "none";
    case MailFault::Pop3Drips:
      return "POP3 answers one byte a second";
    case MailFault::Pop3DripsTheMail:
      return "POP3 sends the mail one byte a second";
    case MailFault::Pop3RefusesTheMail:
      return "POP3 counts the mail and refuses to send it";
    case MailFault::SmtpRefusesLogin:
      return "SMTP refuses the login";
    case MailFault::SmtpRefusesAtOnce:
      return "SMTP refuses the connection (554 greeting)";
    case MailFault::SmtpDrips:
      return "SMTP answers one byte a second";
  }
  return "?";
}

struct FaultServer::Impl {
  std::vector<Share> catalogue;
  Listener http, pop3, smtp;
  mutable std::mutex mutex;
  HttpFault httpFault = HttpFault::None;
  std::string faultPrefix = "/";
  MailFault mailFault = MailFault::None;
  std::string mail;
  std::vector<std::string> targets;
  std::vector<std::string> mailCommands;
  bool started = false;

  // The command's verb in capitals, recorded with the protocol's name.
  std::string Verb(const char* protocol, const std::string& line) {
    std::string verb = line.substr(0, line.find(' '));
    std::transform(verb.begin(), verb.end(), verb.begin(), [](unsigned char ch) { return std::toupper(ch); });
    std::lock_guard lock(mutex);
    mailCommands.push_back(std::string(protocol) + " " + verb);
    return verb;
  }

  std::string Host() const { return "127.0.0.1:" + std::to_string(http.Port()); }

  void ServeHttp(Connection& c) {
    std::string head;
    if (!c.ReadUntil("\r\n\r\n", head)) return;
    const std::size_t sp1 = head.find(' ');
    const std::size_t sp2 = head.find(' ', sp1 + 1);
    if (sp1 == std::string::npos || sp2 == std::string::npos) return;
    const std::string target = head.substr(sp1 + 1, sp2 - sp1 - 1);
    const std::string path = target.substr(0, target.find('?'));
    HttpFault fault;
    {
      std::lock_guard lock(mutex);
      targets.push_back(target);
      fault = path.compare(0, faultPrefix.size(), faultPrefix) == 0 ? httpFault : HttpFault::None;
    }
    switch (fault) {
      case HttpFault::None:
        c.Send(path == "/s" ? Reply("200 OK", "text/html; charset=utf-8", ResultsPageFor(target))
                            : Reply("404 Not Found", "text/plain", "no such page"));
        c.FinishSending();
        return;
      case HttpFault::Stall:
        c.HoldOpen();
        return;
      case HttpFault::StallInBody:
      case HttpFault::ResetInBody: {
        const std::string start = "<html><head><title>share</title></head><body>" + std::string(64000, 'x');
        if (!c.Send("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 1000000\r\n\r\n" + start))
          return;
        if (fault == HttpFault::StallInBody) {
          c.HoldOpen();
        } else {
          ::usleep(200000);  // the first part arrives before the reset
          c.Reset();
        }
        return;
      }
      case HttpFault::RedirectLoop301:
      case HttpFault::RedirectLoop302: {
        // 301: back to the very same address; 302: between it and one with "&hop" behind.
        std::string next = target;
        if (fault == HttpFault::RedirectLoop302) {
          const std::size_t hop = next.find("&hop");
          next = hop == std::string::npos ? next + (next.find('?') == std::string::npos ? "?" : "") + "&hop"
                                          : next.substr(0, hop);
        }
        c.Send(std::string(fault == HttpFault::RedirectLoop301 ? "HTTP/1.1 301 Moved Permanently"
                                                               : "HTTP/1.1 302 Found") +
               "\r\nLocation: http://" + Host() + next + "\r\nContent-Length: 0\r\n\r\n");
        c.FinishSending();
        return;
      }
      case HttpFault::Garbage50MB:
        if (c.Send("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n") &&
            c.Send(*Garbage()))
          c.FinishSending();
        return;
      case HttpFault::InvalidUtf8: {
        std::string page = path == "/s"  ? ResultsPageFor(target)
                           : path == "/" ? PublisherHomePage(Host())
                                         : "<html><body><p>分享的文件：周杰伦 - 青花瓷.mp3</p></body></html>";
        static const std::vector<std::string> labels = {"_免费高速下载|百度网盘-分享无限制",
                                                        "文件名:",
                                                        "文件大小:",
                                                        "分享者:",
                                                        "分享时间:",
                                                        "下载次数:",
                                                        " 上的评论",
                                                        " 条评论"};
        c.Send(Reply("200 OK", "text/html; charset=utf-8", BreakUtf8(page, labels)));
        c.FinishSending();
        return;
      }
      case HttpFault::ShareLinkUnended: {
        std::string page =
            "<html><body><script>yunData.setData({\"file_list\":\"[{\\\"dlink\\\":\\\"http:\\\\/\\\\/";
        const std::string filler = "d.pcs.example\\\\/file\\\\/0123456789abcdef?";
        while (page.size() < kUnendedShareBytes) page += filler;
        c.Send(Reply("200 OK", "text/html; charset=utf-8", page));
        c.FinishSending();
        return;
      }
      case HttpFault::DripOneByteASecond:
        c.Send(Reply("200 OK", "text/html", "<html><body>" + std::string(200, 'x') + "</body></html>"), true);
        c.FinishSending();
        return;
    }
  }

  // The search engine's answer to `target`, its hits linked to this server's share pages.
  std::string ResultsPageFor(const std::string& target) const {
    const SearchQuery query = ParseSearchQuery(QueryValue(target, "q1"), Host());
    const std::string rn = QueryValue(target, "rn"), pn = QueryValue(target, "pn");
    const int count = rn.empty() ? 10 : std::atoi(rn.c_str());
    return ResultsPage(catalogue, query, pn.empty() ? 0 : std::atoi(pn.c_str()), count, Host(), false);
  }

  void ServePop3(Connection& c) {
    MailFault fault;
    std::string held;
    {
      std::lock_guard lock(mutex);
      fault = mailFault;
      held = mail;
    }
    const bool drip = fault == MailFault::Pop3Drips;
    if (!c.Send("+OK fault POP3 ready\r\n", drip)) return;
    std::string line;
    while (c.ReadLine(line)) {
      const std::string verb = Verb("POP3", line);
      std::string answer;
      if (verb == "CAPA") {
        answer = "+OK\r\nUSER\r\nUIDL\r\n.\r\n";
      } else if (verb == "USER" || verb == "PASS" || verb == "NOOP") {
        answer = "+OK\r\n";
      } else if (verb == "STAT") {
        answer = held.empty() ? "+OK 0 0\r\n" : "+OK 1 " + std::to_string(held.size()) + "\r\n";
      } else if (verb == "LIST") {
        answer = held.empty() ? "+OK\r\n.\r\n" : "+OK\r\n1 " + std::to_string(held.size()) + "\r\n.\r\n";
      } else if (verb == "RETR" && !held.empty() && fault != MailFault::Pop3RefusesTheMail) {
        std::string stuffed;
        for (std::size_t i = 0; i < held.size(); ++i) {
          if (held[i] == '.' && (i == 0 || held[i - 1] == '\n')) stuffed += '.';
          stuffed += held[i];
        }
        if (!c.Send("+OK " + std::to_string(held.size()) + " octets\r\n", drip)) return;
        if (!c.Send(stuffed + "\r\n.\r\n", drip || fault == MailFault::Pop3DripsTheMail)) return;
        continue;
      } else if (verb == "QUIT") {
        c.Send("+OK bye\r\n", drip);
        return;
      } else {
        answer = "-ERR not here\r\n";
      }
      if (!c.Send(answer, drip)) return;
    }
  }

  void ServeSmtp(Connection& c) {
    MailFault fault;
    {
      std::lock_guard lock(mutex);
      fault = mailFault;
    }
    const bool drip = fault == MailFault::SmtpDrips;
    if (!c.Send(fault == MailFault::SmtpRefusesAtOnce ? "554 5.3.2 No mail service here\r\n"
                                                      : "220 fault ESMTP ready\r\n",
                drip))
      return;
    std::string line;
    while (c.ReadLine(line)) {
      const std::string verb = Verb("SMTP", line);
      std::string answer;
      if (verb == "QUIT") {
        c.Send("221 bye\r\n", drip);
        return;
      } else if (fault == MailFault::SmtpRefusesAtOnce) {
        answer = "503 5.5.1 No mail service here\r\n";
      } else if (verb == "EHLO") {
        answer = "250-fault\r\n250-AUTH PLAIN LOGIN\r\n250 8BITMIME\r\n";
      } else if (verb == "AUTH") {
        if (fault == MailFault::SmtpRefusesLogin) {
          answer = "535 5.7.8 Authentication credentials invalid\r\n";
        } else {
          // The credentials are whatever comes: one line for PLAIN without an initial response, two for
          // LOGIN.
          const bool plain = line.find("PLAIN") != std::string::npos;
          const bool initial = line.find(' ', line.find(' ') + 1) != std::string::npos;
          std::string credential;
          if (plain && !initial && !(c.Send("334 \r\n", drip) && c.ReadLine(credential))) return;
          if (!plain && !(c.Send("334 VXNlcm5hbWU6\r\n", drip) && c.ReadLine(credential) &&
                          c.Send("334 UGFzc3dvcmQ6\r\n", drip) && c.ReadLine(credential)))
            return;
          answer = "235 2.7.0 Accepted\r\n";
        }
      } else if (verb == "DATA") {
        std::string data;
        if (!c.Send("354 End data with <CR><LF>.<CR><LF>\r\n", drip) || !c.ReadUntil("\r\n.\r\n", data))
          return;
        answer = "250 2.0.0 Queued\r\n";
      } else if (verb == "HELO" || verb == "MAIL" || verb == "RCPT" || verb == "RSET" || verb == "NOOP") {
        answer = "250 2.0.0 Ok\r\n";
      } else {
        answer = "502 5.5.2 Not here\r\n";
      }
      if (!c.Send(answer, drip)) return;
    }
  }
};

FaultServer::FaultServer(std::vector<Share> catalogue) : impl_(std::make_unique<Impl>()) {
  impl_->catalogue = std::move(catalogue);
}

FaultServer::~FaultServer() { Stop(); }

bool FaultServer::Start() {
  Impl& i = *impl_;
  i.started = i.http.Start([&i](Connection& c) { i.ServeHttp(c); }) &&
              i.pop3.Start([&i](Connection& c) { i.ServePop3(c); }) &&
              i.smtp.Start([&i](Connection& c) { i.ServeSmtp(c); });
  return i.started;
}

void FaultServer::Stop() {
  impl_->http.Stop();
  impl_->pop3.Stop();
  impl_->smtp.Stop();
}

std::string FaultServer::HttpHost() const { return impl_->Host(); }
int FaultServer::Pop3Port() const { return impl_->pop3.Port(); }
int FaultServer::SmtpPort() const { return impl_->smtp.Port(); }

void FaultServer::SetHttpFault(HttpFault fault, const std::string& pathPrefix) {
  std::lock_guard lock(impl_->mutex);
  impl_->httpFault = fault;
  impl_->faultPrefix = pathPrefix.empty() ? "/" : pathPrefix;
}

void FaultServer::SetMailFault(MailFault fault) {
  std::lock_guard lock(impl_->mutex);
  impl_->mailFault = fault;
}

void FaultServer::SetPop3Mail(const std::string& rfc5322) {
  std::lock_guard lock(impl_->mutex);
  impl_->mail = rfc5322;
}

std::vector<std::string> FaultServer::HttpTargets() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->targets;
}

int FaultServer::MailConnections() const { return impl_->pop3.Connections() + impl_->smtp.Connections(); }

std::vector<std::string> FaultServer::MailCommands() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->mailCommands;
}

}  // namespace sarvoke::lab
