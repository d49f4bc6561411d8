// RunHttpBatch on libcurl's multi interface: one thread drives every transfer of the batch. curl stays
// inside this file.
#include <curl/curl.h>

#include <deque>
#include <memory>
#include <string>

#include "platform/event_pump.h"
#include "platform/http_batch.h"

namespace sarvoke {
namespace {

constexpr long kMaxRedirects = 10;
constexpr int kRoundMs = 50;  // how often the batch looks at its cancel and lets the window paint

// A byte a request line cannot carry as it is (a space, a control, code page 936) goes percent-encoded,
// as a browser sends it.
std::string EncodedForRequestLine(const Text& url) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char b : url) {
    if (b > 0x20 && b < 0x7F) {
      out += static_cast<char>(b);
      continue;
    }
    out += '%';
    out += hex[b >> 4];
    out += hex[b & 0x0F];
  }
  return out;
}

struct Transfer {
  std::size_t index = 0;
  CURL* easy = nullptr;
  curl_slist* headers = nullptr;
  std::string url, agent;
  Bytes body;
  std::size_t maxBody = 0;
  bool tooLong = false;
  ~Transfer() {
    if (easy) curl_easy_cleanup(easy);
    curl_slist_free_all(headers);
  }
};

size_t Collect(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t n = size * count;
  if (t->body.size() + n > t->maxBody) {
    t->tooLong = true;
    return 0;  // ends the transfer as failed
  }
  t->body.insert(t->body.end(), data, data + n);
  return n;
}

// A transfer ready to start, or null when curl could not make one.
std::unique_ptr<Transfer> MakeTransfer(const HttpBatchRequest& r, std::size_t index, const HttpBatchOptions& o) {
  auto t = std::make_unique<Transfer>();
  t->index = index;
  t->maxBody = o.maxBodyBytes;
  t->url = EncodedForRequestLine(r.url.find("://") == Text::npos ? "http://" + r.url : r.url);
  // Header values go into lines of their own: a line break inside one would start another.
  t->agent = r.agent.substr(0, r.agent.find_first_of("\r\n"));
  t->easy = curl_easy_init();
  if (!t->easy) return nullptr;
  CURL* e = t->easy;
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_URL, t->url.c_str());
  curl_easy_setopt(e, CURLOPT_PATH_AS_IS, 1L);
  curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, r.followRedirects ? 1L : 0L);
  curl_easy_setopt(e, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(e, CURLOPT_PROXY, "");  // direct, whatever the environment says, as ReadUrl goes
  curl_easy_setopt(e, CURLOPT_USERAGENT, t->agent.c_str());
  curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, o.timeoutMs);
  curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, o.timeoutMs);
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, t.get());
  for (const Text& line : r.headers) {
    if (line.find_first_of("\r\n") != Text::npos || line.find('\0') != Text::npos) continue;
    t->headers = curl_slist_append(t->headers, line.c_str());
  }
  t->headers = curl_slist_append(t->headers, "Expect:");
  curl_easy_setopt(e, CURLOPT_HTTPHEADER, t->headers);
  if (r.postBody) {
    curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(r.postBody->size()));
    curl_easy_setopt(e, CURLOPT_COPYPOSTFIELDS, reinterpret_cast<const char*>(r.postBody->data()));
  }
  return t;
}

HttpBatchAnswer AnswerOf(Transfer& t, CURLcode result) {
  HttpBatchAnswer a;
  if (result != CURLE_OK) {
    a.failure = t.tooLong ? "the answer is too long" : curl_easy_strerror(result);
    return a;
  }
  long status = 0;
  curl_easy_getinfo(t.easy, CURLINFO_RESPONSE_CODE, &status);
  a.answered = status > 0;
  a.status = static_cast<int>(status);
  a.body = std::move(t.body);
  if (!a.answered) a.failure = "no answer";
  return a;
}

struct MultiDeleter {
  void operator()(CURLM* m) const { curl_multi_cleanup(m); }
};

}  // namespace

void RunHttpBatch(const std::vector<HttpBatchRequest>& requests, const HttpBatchOptions& options,
                  const std::function<bool()>& cancelled,
                  const std::function<void(std::size_t, const HttpBatchAnswer&)>& done) {
  static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  (void)initialised;
  const int places = options.maxConnections > 0 ? options.maxConnections : 1;
  std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
  auto fail = [&](std::size_t i, const char* why) {
    HttpBatchAnswer a;
    a.failure = why;
    if (done) done(i, a);
  };
  if (!multi) {
    for (std::size_t i = 0; i < requests.size(); ++i) fail(i, "no transfer could be started");
    return;
  }
  // The cache of open connections is no larger than the places, so no more than that stay open either.
  curl_multi_setopt(multi.get(), CURLMOPT_MAX_TOTAL_CONNECTIONS, static_cast<long>(places));
  curl_multi_setopt(multi.get(), CURLMOPT_MAXCONNECTS, static_cast<long>(places));

  std::deque<std::unique_ptr<Transfer>> running;
  std::size_t next = 0;
  auto stop = [&] { return (cancelled && cancelled()) || WaitCancelled(); };
  while (next < requests.size() || !running.empty()) {
    if (stop()) break;
    while (next < requests.size() && static_cast<int>(running.size()) < places) {
      const std::size_t i = next++;
      auto t = MakeTransfer(requests[i], i, options);
      if (!t || curl_multi_add_handle(multi.get(), t->easy) != CURLM_OK) {
        fail(i, "no transfer could be started");
        continue;
      }
      running.push_back(std::move(t));
    }
    int still = 0;
    if (curl_multi_perform(multi.get(), &still) != CURLM_OK) break;
    int left = 0;
    while (CURLMsg* m = curl_multi_info_read(multi.get(), &left)) {
      if (m->msg != CURLMSG_DONE) continue;
      for (auto it = running.begin(); it != running.end(); ++it) {
        if ((*it)->easy != m->easy_handle) continue;
        std::unique_ptr<Transfer> t = std::move(*it);
        running.erase(it);
        const CURLcode result = m->data.result;
        curl_multi_remove_handle(multi.get(), t->easy);
        if (done) done(t->index, AnswerOf(*t, result));
        break;
      }
    }
    if (!running.empty() && curl_multi_poll(multi.get(), nullptr, 0, kRoundMs, nullptr) != CURLM_OK) break;
    LetPendingEventsRun();
  }
  for (auto& t : running) curl_multi_remove_handle(multi.get(), t->easy);
  if (stop()) return;
  // The transfer library failed as a whole: what is left ends as failed, so that no request goes unsaid.
  for (auto& t : running) fail(t->index, "the transfers broke off");
  for (; next < requests.size(); ++next) fail(next, "the transfers broke off");
}

}  // namespace sarvoke
