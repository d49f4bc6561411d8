// One HTTP request on the platform's HTTP stack (libcurl), standing in for what the program took from
// WinInet: redirects followed unless switched off, one cookie store for the whole process that is kept
// and sent unless switched off, a proxy for http addresses only, a body with its transfer coding removed
// (compression is never asked for), and the raw header text of the final response.
//
//   HttpRequestOptions options;
//   options.url = "http://127.0.0.1:8080/s?q=1";
//   options.agent = "Mozilla/4.0 (...)";
//   HttpRequest request = HttpOpenRequest(options);            // null when the address cannot be used
//   HttpResponse r = HttpSendRequest(*request, "Accept: */*\r\nX: 1", nullptr);
//   if (r.completed) { ... r.body, r.rawHeaders ... }
//
// Limits: 15 s without a connection, 30 s without any byte received, 60 s for the whole request with its
// redirects, and 32 MB of body (unless the request asks for another cap); a transfer that hits one
// counts as not completed and reads no further. Safe to use from several threads at once (one request
// per thread).
#pragma once

#include <memory>
#include <optional>

#include "text/text.h"

namespace sarvoke {

struct HttpRequestOptions {
  Text url;                   // absolute "http://" or "https://" address; the bytes go out as they are
  Text verb = "GET";          // "GET" or "POST"
  Text agent;                 // the User-Agent line, unless the header block carries one
  std::optional<Text> proxy;  // host:port used for http addresses (never for https); absent or empty: direct
  bool noCookies = false;     // neither send nor store cookies of the process-wide store
  bool noAutoRedirect = false;
  std::size_t maxBodyBytes = 0;  // 0: the limit of CurrentHttpTimeouts()
  long deadlineMs = 0;           // a shorter deadline for the whole request; 0: that of CurrentHttpTimeouts()
};

struct HttpResponse {
  bool completed = false;  // a final response was read to its end
  int status = 0;          // the final response's status code
  Bytes body;              // the final response's body, transfer coding removed
  // The final response's status line and header lines as received, each ended by CR LF, then the empty
  // line (CR LF) that ends the header: the text HTTP_QUERY_RAW_HEADERS_CRLF gives.
  Text rawHeaders;
};

struct HttpRequestHandle;
struct HttpRequestHandleDeleter {
  void operator()(HttpRequestHandle* handle) const;
};
using HttpRequest = std::unique_ptr<HttpRequestHandle, HttpRequestHandleDeleter>;

// A request ready to be sent, or null when the address has no usable scheme or host or cannot be parsed.
HttpRequest HttpOpenRequest(const HttpRequestOptions& options);

// Sends `headerBlock` (lines separated by CR LF; the platform adds Host, User-Agent when the block has
// none, Content-Length and the stored cookies) with `body` (POST; may be null) and reads the response,
// following redirects (at most 10, never from https down to http) unless the options say not to. When no
// final response could be read to its end, `completed` is false and nothing else is filled in.
HttpResponse HttpSendRequest(HttpRequestHandle& request, const Text& headerBlock, const Bytes* body);

// Empties the process-wide cookie store (for tests).
void ClearHttpCookieStore();

// The give-up times and the cap on a body; tests shorten them.
struct HttpTimeouts {
  long connectMs = 15000;                            // without a connection (name lookup included)
  long stallSeconds = 30;                            // without any byte received
  long overallMs = 60000;                            // the whole request, every redirect included
  std::size_t maxBodyBytes = std::size_t{32} << 20;  // a longer body fails the request
};
HttpTimeouts CurrentHttpTimeouts();
void SetHttpTimeouts(const HttpTimeouts& timeouts);

}  // namespace sarvoke
