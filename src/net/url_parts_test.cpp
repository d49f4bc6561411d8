#include "net/url_parts.h"

#include <gtest/gtest.h>

namespace sarvoke {
namespace {

// The address helpers in one table: each row reads one address in every way HttpFetch reads it.
TEST(UrlParts, Table) {
  struct Row {
    const char* label;
    Text address;
    Text host, registrable, hostWithPort;
    int port;
    Text objectPath;
  } rows[] = {
      {"upper case, port and path", "HTTP://A.B.C:81/x", "a.b.c", "b.c", "a.b.c:81", 81, "/x"},
      {"no path", "http://h", "h", "h", "h", 80, "/"},
      {"query directly behind the host belongs to the host", "http://h?q=1", "h?q=1", "h?q=1", "h?q=1", 80,
       "/"},
      {"https default port", "https://h/", "h", "h", "h", 443, "/"},
      {"no scheme", "h/x", "h", "h", "h", 80, "/x"},
      {"no scheme with port", "www.Example.com:8080/a/B?c=D", "www.example.com", "example.com",
       "www.example.com:8080", 8080, "/a/B?c=D"},
      {"path and query keep their case", "http://www.baidu.com/s?q1=ABC&pn=0", "www.baidu.com", "baidu.com",
       "www.baidu.com", 80, "/s?q1=ABC&pn=0"},
      {"https with explicit port", "HTTPS://x.y:8443/p", "x.y", "x.y", "x.y:8443", 8443, "/p"},
      {"port that is no number", "http://h:abc/x", "h", "h", "h:abc", 0, "/x"},
      {"empty port", "http://h:/x", "h", "h", "h:", 0, "/x"},
      {"last colon gives the port", "http://h:1:2/x", "h", "h", "h:1:2", 2, "/x"},
      {"registrable keeps the port until it is cut", "http://a.b.c:81/", "a.b.c", "b.c", "a.b.c:81", 81, "/"},
      {"scheme marker further in", "x?u=http://h/y", "h", "h", "h", 80, "/y"},
      {"host that also occurs in the scheme", "https://s/t?p", "s", "s", "s", 443, "/t?p"},
      {"relative address has an empty host", "/x/a/b?c", "", "", "", 80, "/x/a/b?c"},
      {"https prefix without scheme marker", "httpsx/y", "httpsx", "httpsx", "httpsx", 443, "/y"},
      {"empty address", "", "", "", "", 80, "/"},
      {"host found again later: the first occurrence counts", "http://a/b/a/c", "a", "a", "a", 80, "/b/a/c"},
      {"trailing slash only", "http://h/", "h", "h", "h", 80, "/"},
      {"ip and port", "http://127.0.0.1:18080/s?x", "127.0.0.1", "0.1", "127.0.0.1:18080", 18080, "/s?x"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    EXPECT_EQ(UrlHost(r.address), r.host);
    EXPECT_EQ(UrlHost(r.address, true), r.registrable);
    EXPECT_EQ(UrlHost(r.address, false, true), r.hostWithPort);
    EXPECT_EQ(UrlPort(r.address), r.port);
    EXPECT_EQ(UrlObjectPath(r.address), r.objectPath);
  }
}

TEST(UrlParts, HeaderValueTable) {
  const Text fw(kFullWidthSpace);
  struct Row {
    const char* label;
    Text line, want;
  } rows[] = {
      {"plain", "Location: http://h2", "http://h2"},
      {"first colon", "Location: http://h2:81/x", "http://h2:81/x"},
      {"trimmed both ends", "X:  a b  ", "a b"},
      {"full-width blanks trimmed", "X:" + fw + "v" + fw, "v"},
      {"tabs stay", "X:\tv", "\tv"},
      {"no colon", "HTTP/1.1 200 OK", ""},
      {"nothing behind the colon", "X:", ""},
      {"empty line", "", ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    EXPECT_EQ(HeaderValue(r.line), r.want);
  }
}

}  // namespace
}  // namespace sarvoke
