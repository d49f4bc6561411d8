#include "support/recording_http_server.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

namespace sarvoke {
namespace {
bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}
}  // namespace

std::string RecordedRequest::Header(std::string_view name) const {
  for (const auto& [k, v] : headers) {
    if (EqualNoCase(k, name)) return v;
  }
  return "";
}

int RecordedRequest::HeaderCount(std::string_view name) const {
  return static_cast<int>(std::count_if(headers.begin(), headers.end(),
                                        [&](const auto& h) { return EqualNoCase(h.first, name); }));
}

struct RecordingHttpServer::State {
  httplib::Server server;
  int port = -1;
  std::thread thread;
  mutable std::mutex mutex;
  std::vector<RecordedRequest> requests;
  std::map<std::string, Handler> routes;
};

RecordingHttpServer::RecordingHttpServer() : state_(std::make_unique<State>()) {
  State* s = state_.get();
  auto handle = [s](const httplib::Request& req, httplib::Response& res) {
    RecordedRequest r;
    r.method = req.method;
    r.path = req.path;
    r.target = req.target;
    for (const auto& [k, v] : req.headers) {
      // The library adds these itself; they were not sent.
      if (k == "REMOTE_ADDR" || k == "REMOTE_PORT" || k == "LOCAL_ADDR" || k == "LOCAL_PORT") continue;
      r.headers.emplace_back(k, v);
    }
    r.body = req.body;
    Handler handler;
    {
      std::lock_guard lock(s->mutex);
      s->requests.push_back(r);
      const auto it = s->routes.find(req.path);
      if (it != s->routes.end()) handler = it->second;
    }
    HttpReply reply = handler ? handler(r) : HttpReply{404, {}, "not found"};
    res.status = reply.status;
    std::string contentType = "text/plain";
    for (const auto& [k, v] : reply.headers) {
      if (EqualNoCase(k, "Content-Type")) {
        contentType = v;
      } else {
        res.set_header(k, v);
      }
    }
    res.set_content(reply.body, contentType.c_str());
  };
  s->server.Get(".*", handle);
  s->server.Post(".*", handle);
  s->port = s->server.bind_to_any_port("127.0.0.1");
  if (s->port <= 0) return;
  s->thread = std::thread([s] { s->server.listen_after_bind(); });
  // Requests wait in the listen queue meanwhile; stopping before the loop runs would miss it.
  for (int i = 0; i < 5000 && !s->server.is_running(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

RecordingHttpServer::~RecordingHttpServer() {
  state_->server.stop();
  if (state_->thread.joinable()) state_->thread.join();
}

void RecordingHttpServer::Route(const std::string& path, HttpReply reply) {
  Route(path, [reply](const RecordedRequest&) { return reply; });
}

void RecordingHttpServer::Route(const std::string& path, Handler handler) {
  std::lock_guard lock(state_->mutex);
  state_->routes[path] = std::move(handler);
}

int RecordingHttpServer::Port() const { return state_->port; }

std::string RecordingHttpServer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(state_->port) + std::string(path);
}

std::vector<RecordedRequest> RecordingHttpServer::Requests() const {
  std::lock_guard lock(state_->mutex);
  return state_->requests;
}

}  // namespace sarvoke
