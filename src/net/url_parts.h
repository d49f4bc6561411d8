// The parts of an address that HttpFetch connects with, and the value of a header line.
//
//   UrlHost("HTTP://A.B.C:81/x")            == "a.b.c"
//   UrlHost("HTTP://A.B.C:81/x", true)      == "b.c"
//   UrlPort("HTTP://A.B.C:81/x")            == 81
//   UrlObjectPath("HTTP://A.B.C:81/x?q=1")  == "/x?q=1"
//   HeaderValue("Location: http://h/ ")     == "http://h/"
// "http://" is assumed when an address names no scheme. These read addresses the way the program always
// has, which is not RFC 3986: a query directly behind the host ("http://h?q=1") belongs to the host.
#pragma once

#include "text/text.h"

namespace sarvoke {

// The host part of `address`, lower-cased; with `registrableOnly` only its last two labels; with
// `keepPort` including a ":port" behind it.
Text UrlHost(std::string_view address, bool registrableOnly = false, bool keepPort = false);

// The port to connect to: the number behind the host's last ":" (0 when that is no number), else 443
// for an address beginning with "https" and 80 for any other.
int UrlPort(std::string_view address);

// Path and query of `address` in its own letter case: from the first "/" behind its host to the end, "/"
// when there is none.
Text UrlObjectPath(std::string_view address);

// The text behind the first ":" of `line`, trimmed; "" when the line has no ":".
Text HeaderValue(std::string_view line);

}  // namespace sarvoke
