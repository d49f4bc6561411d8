#include "platform/read_url.h"

#include "platform/http_client.h"

namespace sarvoke {
namespace {
// The agent of the system's own URL reader on the platform the program was written for.
constexpr const char* kReadUrlAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
}  // namespace

Bytes ReadUrl(const Text& url, long deadlineMs) try {
  HttpRequestOptions options;
  options.url = url.find("://") == Text::npos ? "http://" + url : url;
  options.agent = kReadUrlAgent;
  options.noCookies = true;
  options.deadlineMs = deadlineMs;
  HttpRequest request = HttpOpenRequest(options);
  if (!request) return {};
  HttpResponse response = HttpSendRequest(*request, Text(), nullptr);
  // An error page is not the resource asked for: like a download, a non-2xx answer yields nothing, so
  // that no caller searches a 404 page for what the real page would carry.
  if (!response.completed || response.status < 200 || response.status > 299) return {};
  return std::move(response.body);
} catch (...) {  // out of memory: the call fails as any other
  return {};
}

}  // namespace sarvoke
