#include "net/http_fetch.h"

#include <algorithm>
#include <string>

#include "net/cookie_merge.h"
#include "net/url_parts.h"
#include "platform/http_client.h"
#include "text/code_page.h"
#include "text/text_between.h"

namespace sarvoke {
namespace {

constexpr int kMaxFollowed301 = 10;
constexpr std::size_t kRawHeaderBuffer = 5000;
constexpr std::size_t kUtf8Window = 499;  // "charset=utf-8" must start within the first 499 bytes
constexpr std::string_view kUtf8Mark = "charset=utf-8";

// A name the resolver could look up: letters, digits, "-", "." and "_". Anything else fails as an unknown
// name does, at the send.
bool IsHostName(std::string_view host) {
  return std::all_of(host.begin(), host.end(), [](char ch) {
    return (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == '-' || ch == '.' || ch == '_';
  });
}

bool BodyDeclaresUtf8(const Bytes& body) {
  const std::size_t limit = std::min(body.size(), kUtf8Window - 1 + kUtf8Mark.size());
  const auto end = body.begin() + static_cast<std::ptrdiff_t>(limit);
  return std::search(body.begin(), end, kUtf8Mark.begin(), kUtf8Mark.end()) != end;
}

Bytes Fetch(const Text& url, const HttpFetchArgs& a, int followed) {
  if (a.status) *a.status = 0;
  Text scratchReturned, scratchExtra, scratchLocation, scratchRaw;
  Bytes scratchPost;
  Text& returnedCookies = a.returnedCookies ? *a.returnedCookies : scratchReturned;
  Text& block = a.extraHeaders ? *a.extraHeaders : scratchExtra;
  Text& location = a.location ? *a.location : scratchLocation;
  Text& rawHeaders = a.rawHeaders ? *a.rawHeaders : scratchRaw;
  Bytes& postBytes = a.postBytes ? *a.postBytes : scratchPost;
  const bool post = a.method == 1;

  Text agent(kDefaultUserAgent);
  if (TextContains(block, "User-Agent:", true)) {
    agent = TrimBlanks(TextBetween(block, "User-Agent:", "\r\n"));
    if (agent.empty()) agent = HeaderValue(block);
  }

  // Opening: a host and a port to connect to, and an address the platform takes. Failing here changes
  // nothing of the caller's.
  const bool secure = AsciiLower(TextLeft(url, 5)) == "https";
  const Text host = UrlHost(url);
  int port = UrlPort(url);
  if (port == 0) port = secure ? 443 : 80;  // WinInet's "invalid port number" means the default one
  if (host.empty() || port < 0 || port > 65535) return {};
  HttpRequest request;
  if (IsHostName(host)) {
    HttpRequestOptions options;
    options.url = (secure ? "https://" : "http://") + host + ":" + std::to_string(port) + UrlObjectPath(url);
    options.verb = post ? "POST" : "GET";
    options.agent = agent;
    options.proxy = a.proxy;
    options.noCookies = a.sendCookies != nullptr;
    options.noAutoRedirect = a.noAutoRedirect;
    options.deadlineMs = a.deadlineMs;
    request = HttpOpenRequest(options);
    if (!request) return {};
  }

  if (!TextContains(block, "Referer:")) block += (block.empty() ? "Referer: " : "\r\nReferer: ") + url;
  if (!TextContains(block, "Accept:")) block += "\r\nAccept: */*";
  if (!TextContains(block, "Accept-Language:")) block += "\r\nAccept-Language: zh-cn";
  if (!TextContains(block, "Content-Type:")) block += "\r\nContent-Type: application/x-www-form-urlencoded";
  if (a.sendCookies && !a.sendCookies->empty()) block += "\r\nCookie: " + *a.sendCookies;

  if (post && postBytes.empty()) postBytes = BytesFromText(a.postText);
  HttpResponse response;
  if (request) response = HttpSendRequest(*request, block, post ? &postBytes : nullptr);
  request.reset();

  Bytes body;
  rawHeaders.assign(kRawHeaderBuffer, ' ');
  if (response.completed) {
    if (a.status) *a.status = response.status;
    body = std::move(response.body);
    // The header text and its terminating zero must fit the buffer; else the query fails.
    Text& text = response.rawHeaders;
    text.resize(std::min(text.size(), text.find('\0')));  // read back as a zero-terminated text
    if (text.size() + 1 <= kRawHeaderBuffer) rawHeaders = std::move(text);
  }

  returnedCookies.clear();
  for (const Text& line : TextSplit(rawHeaders, "\r\n")) {
    if (TextContains(line, "Location:")) location = HeaderValue(line);
    if (TextContains(line, "Set-Cookie")) {
      returnedCookies += TrimBlanks(TextBetween(line, "Set-Cookie:", ";"));
      returnedCookies += "; ";
    }
  }
  if (a.sendCookies) CookieMerge(*a.sendCookies, returnedCookies);
  if (location.empty()) location = rawHeaders;

  if (TextBetween(rawHeaders, "HTTP/1.1 ", " Moved") == "301") {
    if (followed == kMaxFollowed301) {
      if (a.status) *a.status = 0;
      return {};
    }
    const Text next = location + UrlObjectPath(url);
    location.clear();
    return Fetch(next, a, followed + 1);
  }

  if (!a.keepBytes && (BodyDeclaresUtf8(body) || TextContains(rawHeaders, kUtf8Mark)))
    body = Utf8BodyToAnsi(body);
  return body;
}

}  // namespace

Bytes HttpFetch(const Text& url, const HttpFetchArgs& args) {
  try {
    return Fetch(url, args, 0);
  } catch (...) {  // out of memory: the call fails as any other
    if (args.status) *args.status = 0;
    return {};
  }
}

}  // namespace sarvoke
