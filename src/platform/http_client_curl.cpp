// The HTTP stack on libcurl. curl stays inside this file.
#include <curl/curl.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <string_view>
#include <vector>

#include "platform/curl_pump.h"
#include "platform/event_pump.h"
#include "platform/http_client.h"

namespace sarvoke {
namespace {

constexpr int kMaxAutomaticRedirects = 10;

// The process-wide cookie store: a share handle with cookies shared, locked per kind of data so that
// requests on several threads can use it at once. It lives as long as the process; worker threads that
// are never joined may still be using it when the program ends.
struct CurlGlobals {
  CURLSH* share = nullptr;
  std::mutex locks[CURL_LOCK_DATA_LAST];
};

void LockShared(CURL*, curl_lock_data data, curl_lock_access, void* user) {
  static_cast<CurlGlobals*>(user)->locks[data].lock();
}
void UnlockShared(CURL*, curl_lock_data data, void* user) {
  static_cast<CurlGlobals*>(user)->locks[data].unlock();
}

CurlGlobals& Globals() {
  static CurlGlobals* globals = [] {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    auto* g = new CurlGlobals;
    g->share = curl_share_init();
    if (g->share) {
      curl_share_setopt(g->share, CURLSHOPT_LOCKFUNC, LockShared);
      curl_share_setopt(g->share, CURLSHOPT_UNLOCKFUNC, UnlockShared);
      curl_share_setopt(g->share, CURLSHOPT_USERDATA, g);
      curl_share_setopt(g->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    }
    return g;
  }();
  return *globals;
}

std::mutex timeoutsMutex;
HttpTimeouts timeouts;

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char a = s[i], b = prefix[i];
    if (a >= 'A' && a <= 'Z') a += 'a' - 'A';
    if (b >= 'A' && b <= 'Z') b += 'a' - 'A';
    if (a != b) return false;
  }
  return true;
}

bool IsSecure(std::string_view url) { return StartsWithNoCase(url, "https://"); }

// The address as it goes on the wire. The program's addresses may hold bytes that a request line cannot
// carry as they are, such as the two plain spaces of the search address or code page 936 bytes; they
// are sent percent-encoded, as a browser sends them. Everything else stays as the caller wrote it.
std::string WireAddress(std::string_view url) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(url.size());
  for (const unsigned char b : url) {
    if (b <= 0x20 || b >= 0x7F) {
      out += '%';
      out += hex[b >> 4];
      out += hex[b & 0x0F];
    } else {
      out += static_cast<char>(b);
    }
  }
  return out;
}

// Scheme, host and port of an absolute address, as curl reads it; false when it cannot be read.
struct Origin {
  std::string scheme, host, port;
  bool operator==(const Origin&) const = default;
};
bool ReadOrigin(const std::string& url, Origin& origin) {
  if (url.find('\0') != std::string::npos) return false;
  // curl reads "http:///x" as the host "x"; an address with an empty host names no host.
  const std::size_t marker = url.find("://");
  if (marker == std::string::npos || url.compare(marker + 3, 1, "/") == 0) return false;
  CURLU* u = curl_url();
  if (!u) return false;
  bool ok = curl_url_set(u, CURLUPART_URL, url.c_str(), CURLU_PATH_AS_IS | CURLU_ALLOW_SPACE) == CURLUE_OK;
  char* part = nullptr;
  auto take = [&](CURLUPart which, std::string& into, unsigned flags) {
    if (!ok) return;
    if (curl_url_get(u, which, &part, flags) != CURLUE_OK) {
      ok = false;
      return;
    }
    into = part;
    curl_free(part);
  };
  take(CURLUPART_SCHEME, origin.scheme, 0);
  take(CURLUPART_HOST, origin.host, 0);
  take(CURLUPART_PORT, origin.port, CURLU_DEFAULT_PORT);
  curl_url_cleanup(u);
  return ok && (origin.scheme == "http" || origin.scheme == "https") && !origin.host.empty();
}

long long NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

// What one transfer collects: the body and the header of the final response.
struct Collected {
  CURL* easy = nullptr;
  std::size_t maxBody = 0;
  Bytes body;
  Text rawHeaders;
  bool headerDone = false;   // the empty line ended the header; what follows the body (trailers) is no part
  long long stallMs = 0;     // the give-up time without any byte
  long long lastByteMs = 0;  // when the hop started or its last byte came
};

// Gives the transfer up once no byte has come for the give-up time. curl's own low-speed rule averages
// over several seconds, so after a burst (a header and the start of a body, then silence) it would wait
// that much longer than the give-up time.
int OnTransferProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto* c = static_cast<const Collected*>(user);
  return NowMs() - c->lastByteMs > c->stallMs ? 1 : 0;
}

// Room for a body of `size` bytes. A large body is held in huge pages where the system offers them:
// first touching 100 MB in 4 KB pages costs more than receiving it over loopback.
void ReserveBody(Bytes& body, size_t size) {
  body.reserve(size);
#ifdef MADV_HUGEPAGE
  constexpr size_t kLarge = 8u << 20;
  if (size < kLarge) return;
  const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t start = (reinterpret_cast<uintptr_t>(body.data()) + page - 1) & ~(page - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(body.data()) + body.capacity()) & ~(page - 1);
  if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#endif
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* c = static_cast<Collected*>(user);
  const size_t n = size * count;
  c->lastByteMs = NowMs();
  // A body over the cap ends the transfer there: nothing more is read or kept.
  if (n > c->maxBody - std::min(c->maxBody, c->body.size())) return 0;
  // No exception may pass through curl: a body that does not fit in memory ends the transfer.
  try {
    curl_off_t length = -1;
    if (c->body.empty() &&
        curl_easy_getinfo(c->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
        length > static_cast<curl_off_t>(c->body.capacity())) {
      if (length > static_cast<curl_off_t>(c->maxBody)) return 0;  // announced over the cap
      ReserveBody(c->body, static_cast<size_t>(length));
    }
    if (c->body.size() + n > c->body.capacity()) {
      ReserveBody(
          c->body,
          std::min(c->maxBody, std::max({c->body.capacity() * 2, c->body.size() + n, size_t{64} << 10})));
    }
    c->body.insert(c->body.end(), data, data + n);
  } catch (...) {
    return 0;
  }
  return n;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* c = static_cast<Collected*>(user);
  const size_t n = size * count;
  c->lastByteMs = NowMs();
  std::string_view line(data, n);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (line.substr(0, 5) == "HTTP/") {
    // A new status line: an informational answer (100) or the next answer starts over.
    c->rawHeaders.clear();
    c->headerDone = false;
  } else if (c->headerDone) {
    return n;
  }
  try {
    c->rawHeaders.append(line);
    c->rawHeaders.append("\r\n");
  } catch (...) {
    return 0;
  }
  if (line.empty()) c->headerDone = true;
  return n;
}

// The header block as curl's list. curl drops a line "Name:" with nothing behind it and would instead
// suppress its own line of that name; "Name;" makes it send "Name:" as WinInet does.
curl_slist* HeaderList(const Text& block, bool dropCredentials) {
  curl_slist* list = nullptr;
  bool hasExpect = false;
  std::size_t begin = 0;
  while (begin <= block.size()) {
    std::size_t end = block.find("\r\n", begin);
    if (end == Text::npos) end = block.size();
    std::string line = block.substr(begin, end - begin);
    begin = end + 2;
    if (line.empty() || line.find('\0') != std::string::npos) continue;
    if (dropCredentials && (StartsWithNoCase(line, "Cookie:") || StartsWithNoCase(line, "Authorization:"))) {
      continue;
    }
    if (StartsWithNoCase(line, "Expect:")) hasExpect = true;
    const std::size_t colon = line.find(':');
    if (colon != std::string::npos && colon > 0 &&
        line.find_first_not_of(" \t", colon + 1) == std::string::npos) {
      line = line.substr(0, colon) + ";";
    }
    list = curl_slist_append(list, line.c_str());
  }
  // No "Expect: 100-continue" round trip before a larger POST body: WinInet sends the body at once.
  if (!hasExpect) list = curl_slist_append(list, "Expect:");
  return list;
}

bool IsRedirect(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

void SetProxyFor(CURL* easy, const HttpRequestOptions& options, const std::string& url) {
  // The proxy list is "http=" + proxy: https goes direct. An empty proxy text also stops curl from reading
  // the proxy environment variables, as a direct WinInet handle ignores the system's proxy.
  const bool useProxy = options.proxy && !options.proxy->empty() && !IsSecure(url);
  curl_easy_setopt(easy, CURLOPT_PROXY, useProxy ? ("http://" + *options.proxy).c_str() : "");
}

}  // namespace

struct HttpRequestHandle {
  CURL* easy = nullptr;
  HttpRequestOptions options;
  Origin origin;
  ~HttpRequestHandle() {
    if (easy) curl_easy_cleanup(easy);
  }
};

void HttpRequestHandleDeleter::operator()(HttpRequestHandle* handle) const { delete handle; }

HttpRequest HttpOpenRequest(const HttpRequestOptions& options) {
  CurlGlobals& g = Globals();
  HttpRequest request(new HttpRequestHandle);
  request->options = options;
  request->options.url = WireAddress(options.url);
  if (!ReadOrigin(request->options.url, request->origin)) return nullptr;
  CURL* easy = request->easy = curl_easy_init();
  if (!easy) return nullptr;

  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_URL, request->options.url.c_str());
  curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);  // followed below, so that the proxy rule holds per hop
  curl_easy_setopt(easy, CURLOPT_HTTP_CONTENT_DECODING, 0L);
  curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, 256L * 1024);  // fewer, larger appends for large bodies
  // The agent goes into a header line: a line break in it would start a line of its own.
  const std::string agent = options.agent.substr(0, options.agent.find_first_of("\r\n", 0));
  curl_easy_setopt(easy, CURLOPT_USERAGENT, agent.c_str());
  if (options.verb != "GET" && options.verb != "POST")
    curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, options.verb.c_str());
  if (!options.noCookies && g.share) {
    curl_easy_setopt(easy, CURLOPT_SHARE, g.share);
    curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");  // switches the cookie engine on; reads no file
  }
  const HttpTimeouts t = CurrentHttpTimeouts();
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, t.connectMs);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, t.stallSeconds);
  return request;
}

HttpResponse HttpSendRequest(HttpRequestHandle& request, const Text& headerBlock, const Bytes* body) {
  CURL* easy = request.easy;
  const HttpRequestOptions& options = request.options;
  HttpResponse response;

  curl_slist* headers = HeaderList(headerBlock, false);
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
  static const char kNoBody[] = "";
  if (options.verb == "POST") {
    curl_easy_setopt(easy, CURLOPT_POST, 1L);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body ? body->size() : 0));
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS,
                     body && !body->empty() ? reinterpret_cast<const char*>(body->data()) : kNoBody);
  } else {
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
  }

  // One multi handle for all hops, so that a redirect to the same host may reuse the connection.
  CURLM* multi = curl_multi_init();
  Collected c;
  c.easy = easy;
  const HttpTimeouts limits = CurrentHttpTimeouts();
  c.maxBody = options.maxBodyBytes ? options.maxBodyBytes : limits.maxBodyBytes;
  // One deadline for the request: each hop gets what is left of it.
  const long overallMs =
      options.deadlineMs > 0 ? std::min(options.deadlineMs, limits.overallMs) : limits.overallMs;
  const long long deadline = NowMs() + overallMs;
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &c);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, OnHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &c);
  c.stallMs = limits.stallSeconds * 1000LL;
  curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, OnTransferProgress);
  curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &c);

  std::string url = options.url;
  Origin origin = request.origin;
  bool credentialsDropped = false;
  for (int hop = 0;; ++hop) {
    SetProxyFor(easy, options, url);
    const long long left = deadline - NowMs();
    if (left <= 0 || WaitCancelled()) break;
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(left));
    c.body.clear();
    c.rawHeaders.clear();
    c.headerDone = false;
    c.lastByteMs = NowMs();
    if (PerformPumping(multi, easy) != CURLE_OK) break;
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    char* next = nullptr;
    if (!options.noAutoRedirect && IsRedirect(status)) curl_easy_getinfo(easy, CURLINFO_REDIRECT_URL, &next);
    Origin nextOrigin;
    if (!next || !ReadOrigin(next, nextOrigin)) {
      // The final response: a redirect that leaves http and https behind is not followed either.
      response.completed = true;
      response.status = static_cast<int>(status);
      response.body = std::move(c.body);
      response.rawHeaders = std::move(c.rawHeaders);
      break;
    }
    // Too many redirects, or one from https down to http (which WinInet refuses without a flag that the
    // program never sets): the request fails.
    if (hop == kMaxAutomaticRedirects || (IsSecure(url) && !IsSecure(next))) break;
    url = next;
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    if (status == 301 || status == 302 || status == 303) curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    // The caller's cookie and credential lines are meant for the host the caller named.
    if (!credentialsDropped && !(nextOrigin == origin)) {
      curl_slist_free_all(headers);
      headers = HeaderList(headerBlock, true);
      curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
      credentialsDropped = true;
    }
  }
  if (multi) curl_multi_cleanup(multi);
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
  curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 1L);  // `c` goes now
  curl_slist_free_all(headers);
  return response;
}

void ClearHttpCookieStore() {
  CurlGlobals& g = Globals();
  if (!g.share) return;
  CURL* easy = curl_easy_init();
  if (!easy) return;
  curl_easy_setopt(easy, CURLOPT_SHARE, g.share);
  curl_easy_setopt(easy, CURLOPT_COOKIELIST, "ALL");
  curl_easy_cleanup(easy);
}

HttpTimeouts CurrentHttpTimeouts() {
  std::lock_guard lock(timeoutsMutex);
  return timeouts;
}

void SetHttpTimeouts(const HttpTimeouts& t) {
  std::lock_guard lock(timeoutsMutex);
  timeouts = t;
}

}  // namespace sarvoke
