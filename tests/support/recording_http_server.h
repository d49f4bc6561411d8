// A recording HTTP server on loopback for tests, on cpp-httplib (the server library the lab uses too).
// Routes answer with canned or computed responses; every request is recorded.
//
//   RecordingHttpServer server;
//   server.Route("/page", {200, {{"Content-Type", "text/html"}}, "<html>"});
//   server.Route("/echo", [](const RecordedRequest& r) { return HttpReply{200, {}, r.body}; });
//   ... fetch server.Url("/page") ...
//   server.Requests()[0].Header("User-Agent")
//
// cpp-httplib keeps request headers in a map: their order and the spelling of their names are lost. A test
// that checks the exact header block uses RawHttpServer instead.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sarvoke {

struct RecordedRequest {
  std::string method;
  std::string path;                                          // without the query
  std::string target;                                        // path and query as sent
  std::vector<std::pair<std::string, std::string>> headers;  // names as the library gives them, sorted
  std::string body;

  // The first value of the named header (letter case ignored); "" when there is none.
  std::string Header(std::string_view name) const;
  int HeaderCount(std::string_view name) const;
};

struct HttpReply {
  int status = 200;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
};

class RecordingHttpServer {
 public:
  using Handler = std::function<HttpReply(const RecordedRequest&)>;

  RecordingHttpServer();
  ~RecordingHttpServer();
  RecordingHttpServer(const RecordingHttpServer&) = delete;
  RecordingHttpServer& operator=(const RecordingHttpServer&) = delete;

  // Answers GET and POST of exactly `path` (the query not counted). Unrouted paths get 404.
  void Route(const std::string& path, HttpReply reply);
  void Route(const std::string& path, Handler handler);

  int Port() const;
  std::string Url(std::string_view path = "/") const;  // "http://127.0.0.1:PORT" + path
  std::vector<RecordedRequest> Requests() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace sarvoke
