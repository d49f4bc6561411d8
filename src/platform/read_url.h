// ReadUrl: a plain HTTP GET of an address, as a browser would download it.
//
//   Bytes page = ReadUrl("http://pan.baidu.com/share/link?shareid=1&uk=2");
//
// Unlike HttpFetch it sends none of the program's cookies and no header lines of its own beyond what the
// platform always sends (Host, User-Agent, Accept), and it converts nothing. Redirects are followed (at
// most 10); the limits are those of the HTTP stack (15 s without a connection, 30 s without a byte, 60 s
// in all, 32 MB of body).
#pragma once

#include "text/text.h"

namespace sarvoke {

// The body of the final response when its status is 2xx; empty Bytes on any failure, an answer with
// another status included. "http://" is assumed when the address names no scheme. `deadlineMs`, when
// given, is a shorter deadline for the whole request than the stack's.
Bytes ReadUrl(const Text& url, long deadlineMs = 0);

}  // namespace sarvoke
