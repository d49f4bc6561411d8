// A raw HTTP server on loopback for tests: it records every request byte for byte and answers with the
// bytes a test gives it, so that a test can check the exact header block a client sent and can answer
// with what no well-behaved server sends (oversized headers, an "HTTP/1.0 301" status line, a stall).
//
//   RawHttpServer server([](const RawRequest& r, int index) {
//     return CannedReply("HTTP/1.1 200 OK", {"Content-Type: text/plain"}, "hello");
//   });
//   Bytes body = HttpFetch(server.Url("/x"));
//   server.Requests()[0].headerLines   // the lines as sent, in order
//
// The server binds 127.0.0.1 on a port of the system's choice, serves each connection on a thread of its
// own, reads one request per connection (request line, header, a Content-Length body), sends the reply
// and closes. Requests are numbered from 0 in the order their heads were read.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace sarvoke {

struct RawRequest {
  std::string bytes;                     // everything read for this request, as received
  std::string requestLine;               // "GET /x HTTP/1.1"
  std::string method, target;            // "GET", "/x"
  std::vector<std::string> headerLines;  // the header lines in order, without their CR LF
  std::string body;

  // The header lines joined by CR LF (no line break behind the last).
  std::string HeaderBlock() const;
  // The value behind the first line of that name (letter case ignored), trimmed; "" when there is none.
  std::string Header(std::string_view name) const;
  // How many lines of that name the request carries.
  int HeaderCount(std::string_view name) const;
};

struct RawReply {
  std::string bytes;                        // sent as they are
  std::shared_ptr<const std::string> tail;  // sent behind `bytes` (a large body without a copy)
  bool stall = false;                       // send nothing, keep the connection open until the client leaves
  int dripMs = 0;                           // send `bytes` one byte at a time, this many milliseconds apart
  bool endless = false;                     // behind `bytes`, send filler for as long as the client reads
};

// A reply with the status line, the header lines, "Content-Length" and "Connection: close", then the body.
RawReply CannedReply(std::string_view statusLine, const std::vector<std::string>& headerLines,
                     std::string_view body = "");

class RawHttpServer {
 public:
  using Responder = std::function<RawReply(const RawRequest& request, int index)>;

  explicit RawHttpServer(Responder responder);
  ~RawHttpServer();
  RawHttpServer(const RawHttpServer&) = delete;
  RawHttpServer& operator=(const RawHttpServer&) = delete;

  int Port() const { return port_; }
  // "http://127.0.0.1:PORT" followed by `path`.
  std::string Url(std::string_view path = "/") const;
  // The requests read so far.
  std::vector<RawRequest> Requests() const;
  int RequestCount() const;
  // How many connections were accepted.
  int ConnectionCount() const { return connections_; }

 private:
  void AcceptLoop();
  void Serve(int fd);

  Responder responder_;
  int listenFd_ = -1;
  int wakeFds_[2] = {-1, -1};
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  mutable std::mutex mutex_;
  std::vector<RawRequest> requests_;
  std::vector<int> openFds_;
  std::vector<std::thread> workers_;
  std::thread acceptor_;
};

// A loopback port on which nothing listens (it was bound and released again).
int UnusedLoopbackPort();

}  // namespace sarvoke
