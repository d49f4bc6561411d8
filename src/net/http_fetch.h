// HttpFetch: the program's one general HTTP request. In one synchronous call it sends the request with the
// program's default header lines, reads the whole body and the raw response header, gathers the location
// and cookie lines, merges cookies when the caller keeps its own cookie text, follows a 301 answer itself,
// and converts a UTF-8 body to code page 936.
//
//   Bytes page = HttpFetch("http://www.baidu.com/s?q1=abc");      // what every caller does
//
//   Text cookies;                                                  // supplied, even empty: manual cookies
//   Text headers = "User-Agent: X";
//   Bytes r = HttpFetch(url, {.method = 1, .postText = "a=1", .sendCookies = &cookies,
//                             .extraHeaders = &headers});
//
// A null pointer is a parameter left out; an output left out is written to a scratch value and dropped.
// For `sendCookies` and `proxy` being supplied counts by itself, even with an empty value.
#pragma once

#include <optional>

#include "text/text.h"

namespace sarvoke {

inline constexpr std::string_view kDefaultUserAgent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; Q8VXN; .NET CLR 2.0.50727; .NET CLR 3.0.04506.648; "
    ".NET CLR 3.5.21022)";

struct HttpFetchArgs {
  int method = 0;                   // 1 = POST; anything else GET
  Text postText;                    // the POST body when `postBytes` is empty
  Text* sendCookies = nullptr;      // in/out: sent as a Cookie line; the response's cookies are merged in
  Text* returnedCookies = nullptr;  // out: the cookies the response sets, each "name=value; "
  Text* extraHeaders = nullptr;     // in/out: header lines joined by CR LF; on return the whole block sent
  Text* location = nullptr;         // in/out: the location line's value, else the raw header text
  bool noAutoRedirect = false;      // the platform follows no redirect by itself
  Bytes* postBytes = nullptr;       // in/out: the POST body; filled from `postText` when empty
  std::optional<Text> proxy;        // host:port, used for http addresses
  Text* rawHeaders = nullptr;       // out: the status line and the header lines, CR LF separated
  int* status = nullptr;            // out: the final response's status code; 0 when none was read whole
  bool keepBytes = false;           // no code-page conversion: the body as it came
  long deadlineMs = 0;              // a shorter deadline for the request; 0: the HTTP stack's 60 s
};

// The response body (code page 936 when it was found to be UTF-8), or empty Bytes on failure.
// Gives up after 15 s without a connection, 30 s without a byte or 60 s in all, on a body over 32 MB,
// and after following 10 answers "301 Moved" in a row. Safe to call from several threads at once.
Bytes HttpFetch(const Text& url, const HttpFetchArgs& args = {});

}  // namespace sarvoke
