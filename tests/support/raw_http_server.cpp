#include "support/raw_http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace sarvoke {
namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string Trim(std::string_view s) {
  const auto b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return "";
  const auto e = s.find_last_not_of(" \t");
  return std::string(s.substr(b, e - b + 1));
}

bool SendAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

int ListenOnLoopback(int& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 64) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    ::close(fd);
    return -1;
  }
  port = ntohs(addr.sin_port);
  return fd;
}

}  // namespace

std::string RawRequest::HeaderBlock() const {
  std::string out;
  for (std::size_t i = 0; i < headerLines.size(); ++i) {
    if (i) out += "\r\n";
    out += headerLines[i];
  }
  return out;
}

std::string RawRequest::Header(std::string_view name) const {
  for (const std::string& line : headerLines) {
    const auto colon = line.find(':');
    if (colon != std::string::npos && EqualNoCase(std::string_view(line).substr(0, colon), name)) {
      return Trim(std::string_view(line).substr(colon + 1));
    }
  }
  return "";
}

int RawRequest::HeaderCount(std::string_view name) const {
  int n = 0;
  for (const std::string& line : headerLines) {
    const auto colon = line.find(':');
    if (colon != std::string::npos && EqualNoCase(std::string_view(line).substr(0, colon), name)) ++n;
  }
  return n;
}

RawReply CannedReply(std::string_view statusLine, const std::vector<std::string>& headerLines,
                     std::string_view body) {
  RawReply reply;
  reply.bytes.append(statusLine).append("\r\n");
  for (const std::string& line : headerLines) reply.bytes.append(line).append("\r\n");
  reply.bytes.append("Content-Length: ").append(std::to_string(body.size())).append("\r\n");
  reply.bytes.append("Connection: close\r\n\r\n");
  reply.bytes.append(body);
  return reply;
}

RawHttpServer::RawHttpServer(Responder responder) : responder_(std::move(responder)) {
  listenFd_ = ListenOnLoopback(port_);
  if (listenFd_ < 0 || ::pipe2(wakeFds_, O_CLOEXEC) != 0) return;
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

RawHttpServer::~RawHttpServer() {
  stopping_ = true;
  if (wakeFds_[1] >= 0) {
    const char b = 1;
    (void)!::write(wakeFds_[1], &b, 1);
  }
  if (acceptor_.joinable()) acceptor_.join();
  {
    std::lock_guard lock(mutex_);
    for (int fd : openFds_) ::shutdown(fd, SHUT_RDWR);
  }
  for (std::thread& t : workers_) t.join();
  if (listenFd_ >= 0) ::close(listenFd_);
  for (int fd : wakeFds_) {
    if (fd >= 0) ::close(fd);
  }
}

std::string RawHttpServer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<RawRequest> RawHttpServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

int RawHttpServer::RequestCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(requests_.size());
}

void RawHttpServer::AcceptLoop() {
  for (;;) {
    pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) continue;
    if (stopping_ || (fds[1].revents & POLLIN)) return;
    if (!(fds[0].revents & POLLIN)) continue;
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++connections_;
    std::lock_guard lock(mutex_);
    openFds_.push_back(fd);
    workers_.emplace_back([this, fd] { Serve(fd); });
  }
}

void RawHttpServer::Serve(int fd) {
  // Waits for bytes until the server stops; false when the client left or the server stops.
  auto readable = [&](int timeoutMs) {
    for (int waited = 0; !stopping_ && (timeoutMs < 0 || waited < timeoutMs); waited += 100) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 100) > 0) return true;
    }
    return false;
  };
  RawRequest request;
  std::string& in = request.bytes;
  char buf[16384];
  std::size_t headEnd = std::string::npos;
  std::size_t bodyLength = 0;
  bool complete = false;
  while (!complete && readable(-1)) {
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    in.append(buf, static_cast<std::size_t>(n));
    if (headEnd == std::string::npos) {
      headEnd = in.find("\r\n\r\n");
      if (headEnd == std::string::npos) continue;
      std::size_t lineStart = 0;
      bool first = true;
      while (lineStart < headEnd) {
        std::size_t lineEnd = in.find("\r\n", lineStart);
        std::string line = in.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 2;
        if (first) {
          request.requestLine = line;
          first = false;
        } else {
          request.headerLines.push_back(line);
        }
      }
      const auto sp1 = request.requestLine.find(' ');
      const auto sp2 = request.requestLine.find(' ', sp1 + 1);
      request.method = request.requestLine.substr(0, sp1);
      if (sp1 != std::string::npos) request.target = request.requestLine.substr(sp1 + 1, sp2 - sp1 - 1);
      const std::string length = request.Header("Content-Length");
      bodyLength = length.empty() ? 0 : std::stoul(length);
    }
    complete = in.size() >= headEnd + 4 + bodyLength;
  }
  if (complete) {
    request.body = in.substr(headEnd + 4, bodyLength);
    int index;
    {
      std::lock_guard lock(mutex_);
      index = static_cast<int>(requests_.size());
      requests_.push_back(request);
    }
    const RawReply reply = responder_(request, index);
    if (reply.stall) {
      while (readable(-1) && ::recv(fd, buf, sizeof buf, 0) > 0) {
      }
    } else if (reply.dripMs > 0) {
      for (std::size_t i = 0; i < reply.bytes.size() && !stopping_; ++i) {
        if (!SendAll(fd, reply.bytes.data() + i, 1)) break;
        ::usleep(static_cast<useconds_t>(reply.dripMs) * 1000);
      }
    } else if (reply.endless) {
      const std::string filler(65536, 'x');
      if (SendAll(fd, reply.bytes.data(), reply.bytes.size()))
        while (!stopping_ && SendAll(fd, filler.data(), filler.size())) {
        }
    } else if (SendAll(fd, reply.bytes.data(), reply.bytes.size()) &&
               (!reply.tail || SendAll(fd, reply.tail->data(), reply.tail->size()))) {
      // Let the client read everything before the connection goes: close only once it has left or after
      // a while, so that no reset overtakes the reply.
      ::shutdown(fd, SHUT_WR);
      while (readable(2000) && ::recv(fd, buf, sizeof buf, 0) > 0) {
      }
    }
  }
  std::lock_guard lock(mutex_);
  openFds_.erase(std::remove(openFds_.begin(), openFds_.end(), fd), openFds_.end());
  ::close(fd);
}

int UnusedLoopbackPort() {
  int port = 0;
  const int fd = ListenOnLoopback(port);
  if (fd >= 0) ::close(fd);
  return port;
}

}  // namespace sarvoke
