#include "net/http_fetch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/event_pump.h"
#include "platform/http_client.h"
#include "support/raw_http_server.h"
#include "support/short_http_timeouts.h"
#include "text/code_page.h"

// GCC 12 warns about designated initializers that leave members to their defaults, which is the point.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace sarvoke {
namespace {

const std::string kBlockOfPlainCall =
    "Referer: {url}\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: "
    "application/x-www-form-urlencoded";

std::string AsString(const Bytes& b) { return std::string(b.begin(), b.end()); }

std::string Replace(std::string s, std::string_view from, std::string_view to) {
  for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) {
    s.replace(at, from.size(), to);
  }
  return s;
}

// A server that answers every request with the same canned reply.
RawHttpServer::Responder Always(RawReply reply) {
  return [reply](const RawRequest&, int) { return reply; };
}

RawReply Ok(std::string_view body = "ok", const std::vector<std::string>& lines = {}) {
  return CannedReply("HTTP/1.1 200 OK", lines, body);
}

class HttpFetchTest : public ShortHttpTimeouts {};

TEST_F(HttpFetchTest, PlainCallSendsTheFourDefaultLinesBehindThePlatformsOwn) {
  RawHttpServer server(Always(Ok("hello")));
  const Text url = server.Url("/a/b?c=1");
  EXPECT_EQ(AsString(HttpFetch(url)), "hello");
  ASSERT_EQ(server.RequestCount(), 1);
  const RawRequest r = server.Requests()[0];
  EXPECT_EQ(r.requestLine, "GET /a/b?c=1 HTTP/1.1");
  const std::vector<std::string> want = {
      "Host: 127.0.0.1:" + std::to_string(server.Port()),
      "User-Agent: " + std::string(kDefaultUserAgent),
      "Referer: " + url,
      "Accept: */*",
      "Accept-Language: zh-cn",
      "Content-Type: application/x-www-form-urlencoded",
  };
  EXPECT_EQ(r.headerLines, want);
  EXPECT_EQ(r.HeaderCount("Cookie"), 0);
  EXPECT_EQ(r.body, "");
}

TEST_F(HttpFetchTest, ExtraHeadersComeBackAsTheWholeBlockSent) {
  RawHttpServer server(Always(Ok()));
  const Text url = server.Url("/x");
  Text extra;
  HttpFetch(url, {.extraHeaders = &extra});
  EXPECT_EQ(extra, Replace(kBlockOfPlainCall, "{url}", url));
  const RawRequest r = server.Requests()[0];
  EXPECT_EQ(r.HeaderBlock().substr(r.HeaderBlock().find("Referer:")), extra);
}

TEST_F(HttpFetchTest, AgentAndDefaultLineRules) {
  struct Row {
    const char* label;
    Text extra;
    std::string wantAgent;              // the User-Agent line the server sees
    std::vector<std::string> wantTail;  // the lines behind Host and User-Agent
  } rows[] = {
      {"agent line alone, no line end",
       "User-Agent: X",
       "X",
       {"User-Agent: X", "Referer: {url}", "Accept: */*", "Accept-Language: zh-cn",
        "Content-Type: application/x-www-form-urlencoded"}},
      {"agent line and an accept line",
       "User-Agent: X\r\nAccept: a",
       "X",
       {"User-Agent: X", "Accept: a", "Referer: {url}", "Accept-Language: zh-cn",
        "Content-Type: application/x-www-form-urlencoded"}},
      {"accept-language suppresses only the language line",
       "Accept-Language: en",
       kDefaultUserAgent.data(),
       {"Accept-Language: en", "Referer: {url}", "Accept: */*",
        "Content-Type: application/x-www-form-urlencoded"}},
      {"own referer",
       "Referer: r",
       kDefaultUserAgent.data(),
       {"Referer: r", "Accept: */*", "Accept-Language: zh-cn",
        "Content-Type: application/x-www-form-urlencoded"}},
      {"all four given",
       "Content-Type: t\r\nAccept-Language: l\r\nAccept: a\r\nReferer: r",
       kDefaultUserAgent.data(),
       {"Content-Type: t", "Accept-Language: l", "Accept: a", "Referer: r"}},
      {"names are searched with their letter case",
       "referer: r",
       kDefaultUserAgent.data(),
       {"referer: r", "Referer: {url}", "Accept: */*", "Accept-Language: zh-cn",
        "Content-Type: application/x-www-form-urlencoded"}},
      {"the agent is found anywhere and ignoring case",
       "X-user-agent: Q",
       "Q",
       {"X-user-agent: Q", "Referer: {url}", "Accept: */*", "Accept-Language: zh-cn",
        "Content-Type: application/x-www-form-urlencoded"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    RawHttpServer server(Always(Ok()));
    const Text url = server.Url("/p");
    Text extra = row.extra;
    HttpFetch(url, {.extraHeaders = &extra});
    ASSERT_EQ(server.RequestCount(), 1);
    const RawRequest r = server.Requests()[0];
    EXPECT_EQ(r.Header("User-Agent"), row.wantAgent);
    EXPECT_EQ(r.HeaderCount("User-Agent"), 1);
    std::vector<std::string> want = {"Host: 127.0.0.1:" + std::to_string(server.Port())};
    // The platform adds its own agent line only when the block has no line of that name.
    if (row.wantTail[0].rfind("User-Agent:", 0) != 0) want.push_back("User-Agent: " + row.wantAgent);
    for (const std::string& line : row.wantTail) want.push_back(Replace(line, "{url}", url));
    EXPECT_EQ(r.headerLines, want);
  }
}

TEST_F(HttpFetchTest, TheStoreKeepsCookiesAcrossCallsUnlessSendCookiesIsSupplied) {
  RawHttpServer server([](const RawRequest& r, int) {
    if (r.target == "/set") return Ok("set", {"Set-Cookie: sid=1; Path=/"});
    if (r.target == "/manual") return Ok("m", {"Set-Cookie: m=2; Path=/", "Set-Cookie: k = v w; Path=/"});
    return Ok("plain");
  });
  HttpFetch(server.Url("/set"));
  HttpFetch(server.Url("/next"));
  ASSERT_EQ(server.RequestCount(), 2);
  EXPECT_EQ(server.Requests()[0].HeaderCount("Cookie"), 0);
  EXPECT_EQ(server.Requests()[1].Header("Cookie"), "sid=1");

  // Supplied but empty: the store is neither sent nor filled, and no cookie line goes out.
  Text cookies, returned;
  HttpFetch(server.Url("/manual"), {.sendCookies = &cookies, .returnedCookies = &returned});
  EXPECT_EQ(server.Requests()[2].HeaderCount("Cookie"), 0);
  EXPECT_EQ(returned, "m=2;k=vw;");
  EXPECT_EQ(cookies, "m=2; k=vw");

  HttpFetch(server.Url("/again"));
  EXPECT_EQ(server.Requests()[3].Header("Cookie"), "sid=1");

  // The kept text goes out as the last line; the response's cookies are merged into it.
  Text extra;
  HttpFetch(server.Url("/set"), {.sendCookies = &cookies, .extraHeaders = &extra});
  const RawRequest r = server.Requests()[4];
  EXPECT_EQ(r.headerLines.back(), "Cookie: m=2; k=vw");
  EXPECT_EQ(r.HeaderCount("Cookie"), 1);
  EXPECT_TRUE(extra.ends_with("\r\nCookie: m=2; k=vw"));
  EXPECT_EQ(cookies, "sid=1; m=2; k=vw");
}

TEST_F(HttpFetchTest, ReturnedCookiesAreGatheredLineByLine) {
  struct Row {
    const char* label;
    std::vector<std::string> lines;
    Text want;
  } rows[] = {
      {"two cookies", {"Set-Cookie: a=1; Path=/", "Set-Cookie:b=2 ;HttpOnly"}, "a=1; b=2; "},
      {"a cookie line without a semicolon gives an empty item", {"Set-Cookie: x=1"}, "; "},
      {"no cookie lines", {"X-Other: 1"}, ""},
      {"the marker is searched with its letter case", {"set-cookie: a=1;"}, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    RawHttpServer server(Always(Ok("b", row.lines)));
    Text returned = "stale";
    HttpFetch(server.Url("/"), {.returnedCookies = &returned});
    EXPECT_EQ(returned, row.want);
  }
}

TEST_F(HttpFetchTest, Follows301ItselfWithTheOldPathAppended) {
  struct Row {
    const char* label;
    std::string location;  // {b} stands for the second server's address without a path
    std::string wantTarget;
  } rows[] = {
      {"location without a path", "{b}", "/a/b?c"},
      {"location with a path gets the old path behind it", "{b}/p", "/p/a/b?c"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    RawHttpServer b(Always(Ok("from b")));
    const std::string bAddress = b.Url("");
    RawHttpServer a(Always(CannedReply("HTTP/1.1 301 Moved Permanently",
                                       {"Location: " + Replace(row.location, "{b}", bAddress)})));
    Text location, extra;
    const Bytes body = HttpFetch(a.Url("/a/b?c"), {.location = &location, .noAutoRedirect = true});
    EXPECT_EQ(AsString(body), "from b");
    ASSERT_EQ(b.RequestCount(), 1);
    EXPECT_EQ(b.Requests()[0].target, row.wantTarget);
    // The second call starts from an emptied location and finds no location line: it holds the header.
    EXPECT_TRUE(location.starts_with("HTTP/1.1 200 OK\r\n")) << location;
  }
}

TEST_F(HttpFetchTest, The301KeepsTheCallersVariables) {
  RawHttpServer b(Always(Ok("from b", {"Set-Cookie: n=2"})));
  RawHttpServer a(
      Always(CannedReply("HTTP/1.1 301 Moved Permanently", {"Location: " + b.Url(""), "Set-Cookie: o=1;"})));
  Text cookies = "k=0", extra;
  HttpFetch(a.Url("/x"), {.sendCookies = &cookies, .extraHeaders = &extra, .noAutoRedirect = true});
  // The block of the first request is sent again, with the merged cookies appended once more.
  const RawRequest second = b.Requests()[0];
  EXPECT_EQ(second.Header("Referer"), a.Url("/x"));
  EXPECT_EQ(second.HeaderCount("Cookie"), 2);
  EXPECT_EQ(second.headerLines.back(), "Cookie: o=1; k=0");
  EXPECT_EQ(cookies, "; o=1; k=0");
}

TEST_F(HttpFetchTest, StatusesOtherThanHttp11_301AreNotFollowedByTheOperation) {
  struct Row {
    const char* label;
    std::string statusLine;
  } rows[] = {
      {"302", "HTTP/1.1 302 Found"},
      {"HTTP/1.0 301", "HTTP/1.0 301 Moved Permanently"},
      {"303", "HTTP/1.1 303 See Other"},
      {"307", "HTTP/1.1 307 Temporary Redirect"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    RawHttpServer b(Always(Ok("from b")));
    RawHttpServer a(Always(CannedReply(row.statusLine, {"Location: " + b.Url("/t")}, "from a")));
    Text location;
    EXPECT_EQ(AsString(HttpFetch(a.Url("/s"), {.location = &location, .noAutoRedirect = true})), "from a");
    EXPECT_EQ(b.RequestCount(), 0);
    EXPECT_EQ(location, b.Url("/t"));
  }
}

TEST_F(HttpFetchTest, HttpOnePointZero301IsReturnedAsItIs) {
  // No Content-Length: the body ends when the server closes.
  RawReply reply;
  reply.bytes = "HTTP/1.0 301 Moved Permanently\r\nLocation: http://127.0.0.1:1/\r\n\r\nmoved";
  RawHttpServer a(Always(reply));
  EXPECT_EQ(AsString(HttpFetch(a.Url("/"), {.noAutoRedirect = true})), "moved");
  EXPECT_EQ(a.RequestCount(), 1);
}

TEST_F(HttpFetchTest, ThePlatformFollowsRedirectsUnlessTold) {
  RawHttpServer b(Always(Ok("from b", {"Set-Cookie: hop=1"})));
  RawHttpServer a(
      Always(CannedReply("HTTP/1.1 302 Found", {"Location: " + b.Url("/t"), "Set-Cookie: first=1"})));
  Text raw;
  EXPECT_EQ(AsString(HttpFetch(a.Url("/s"), {.rawHeaders = &raw})), "from b");
  ASSERT_EQ(b.RequestCount(), 1);
  EXPECT_EQ(b.Requests()[0].target, "/t");
  // The store took the first answer's cookie on the way, and the raw header is the final answer's.
  EXPECT_EQ(b.Requests()[0].Header("Cookie"), "first=1");
  EXPECT_EQ(raw, "HTTP/1.1 200 OK\r\nSet-Cookie: hop=1\r\nContent-Length: 6\r\nConnection: close\r\n\r\n");
}

TEST_F(HttpFetchTest, A301WithARelativeLocationEndsEmpty) {
  RawHttpServer a(Always(CannedReply("HTTP/1.1 301 Moved Permanently", {"Location: /x"})));
  Text location = "before";
  EXPECT_TRUE(HttpFetch(a.Url("/a/b?c"), {.location = &location, .noAutoRedirect = true}).empty());
  EXPECT_EQ(a.RequestCount(), 1);
  // The next address "/x/a/b?c" has an empty host: that call fails before it changes anything.
  EXPECT_EQ(location, "");
}

TEST_F(HttpFetchTest, ContentLocationSetsLocation) {
  RawHttpServer server(Always(Ok("b", {"Content-Location: /x"})));
  Text location = "in";
  HttpFetch(server.Url("/"), {.location = &location});
  EXPECT_EQ(location, "/x");
}

TEST_F(HttpFetchTest, LocationKeepsItsValueOrTakesTheRawHeader) {
  RawHttpServer server(Always(Ok("b")));
  Text location = "kept", raw;
  HttpFetch(server.Url("/"), {.location = &location, .rawHeaders = &raw});
  EXPECT_EQ(location, "kept");
  location = "";
  HttpFetch(server.Url("/"), {.location = &location, .rawHeaders = &raw});
  EXPECT_EQ(location, raw);
  EXPECT_EQ(raw, "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nConnection: close\r\n\r\n");
}

TEST_F(HttpFetchTest, Utf8Detection) {
  const std::string utf8Zhong = "\xE4\xB8\xAD";  // 中 in UTF-8
  const std::string gbkZhong = "中";             // the same character in code page 936
  struct Row {
    const char* label;
    std::string body;
    std::vector<std::string> lines;
    bool converted;
  } rows[] = {
      {"mark at byte 1", "charset=utf-8" + utf8Zhong, {}, true},
      {"mark at byte 499", std::string(498, 'a') + "charset=utf-8" + utf8Zhong, {}, true},
      {"mark at byte 500", std::string(499, 'a') + "charset=utf-8" + utf8Zhong, {}, false},
      {"mark in upper case", "charset=UTF-8" + utf8Zhong, {}, false},
      {"mark in the header", utf8Zhong, {"Content-Type: text/html; charset=utf-8"}, true},
      {"header mark in upper case", utf8Zhong, {"Content-Type: text/html; charset=UTF-8"}, false},
      {"no mark", utf8Zhong, {}, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    RawHttpServer server(Always(Ok(row.body, row.lines)));
    const std::string got = AsString(HttpFetch(server.Url("/")));
    if (row.converted) {
      EXPECT_EQ(got, Replace(row.body, utf8Zhong, gbkZhong));
    } else {
      EXPECT_EQ(got, row.body);
    }
  }
}

// A reply whose header text (status line, lines, the empty line) is exactly `size` bytes.
RawReply ReplyWithHeaderOfSize(std::size_t size, std::string_view body) {
  const std::string head = "HTTP/1.1 200 OK\r\nLocation: /loc\r\nSet-Cookie: a=1;\r\nContent-Length: " +
                           std::to_string(body.size()) + "\r\nConnection: close\r\nX-Fill: ";
  const std::size_t fill = size - head.size() - 4;
  RawReply reply;
  reply.bytes = head + std::string(fill, 'f') + "\r\n\r\n" + std::string(body);
  return reply;
}

TEST_F(HttpFetchTest, TheRawHeaderMustFitIn5000Bytes) {
  {
    SCOPED_TRACE("4999 bytes fit");
    RawHttpServer server(Always(ReplyWithHeaderOfSize(4999, "b")));
    Text location, raw, returned;
    EXPECT_EQ(AsString(HttpFetch(server.Url("/"),
                                 {.returnedCookies = &returned, .location = &location, .rawHeaders = &raw})),
              "b");
    EXPECT_EQ(raw.size(), 4999u);
    EXPECT_EQ(location, "/loc");
    EXPECT_EQ(returned, "a=1; ");
  }
  {
    SCOPED_TRACE("5000 bytes do not");
    RawHttpServer server(Always(ReplyWithHeaderOfSize(5000, "b")));
    Text location, raw, returned;
    EXPECT_EQ(AsString(HttpFetch(server.Url("/"),
                                 {.returnedCookies = &returned, .location = &location, .rawHeaders = &raw})),
              "b");
    EXPECT_EQ(raw, std::string(5000, ' '));
    EXPECT_EQ(location, std::string(5000, ' '));
    EXPECT_EQ(returned, "");
  }
}

TEST_F(HttpFetchTest, The301FollowingIsBoundedAt10InARow) {
  struct Row {
    const char* label;
    int moves;
    std::string wantBody;
    int wantRequests;
  } rows[] = {
      {"10 answers 301 are followed", 10, "end", 11},
      {"the 11th is not", 11, "", 11},
      {"a loop ends", 1000, "", 11},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    std::string self;
    RawHttpServer server([&](const RawRequest&, int index) {
      if (index < row.moves) return CannedReply("HTTP/1.1 301 Moved Permanently", {"Location: " + self});
      return Ok("end");
    });
    self = server.Url("");
    EXPECT_EQ(AsString(HttpFetch(server.Url("/r"), {.noAutoRedirect = true})), row.wantBody);
    EXPECT_EQ(server.RequestCount(), row.wantRequests);
    for (const RawRequest& r : server.Requests()) EXPECT_EQ(r.target, "/r");
  }
}

TEST_F(HttpFetchTest, ThePlatformsOwnRedirectsAreBoundedToo) {
  std::string self;
  RawHttpServer server(
      [&](const RawRequest&, int) { return CannedReply("HTTP/1.1 302 Found", {"Location: " + self}); });
  self = server.Url("/loop");
  Text raw;
  EXPECT_TRUE(HttpFetch(server.Url("/loop"), {.rawHeaders = &raw}).empty());
  EXPECT_EQ(server.RequestCount(), 11);
  EXPECT_EQ(raw, std::string(5000, ' '));
}

TEST_F(HttpFetchTest, AServerThatNeverAnswersIsGivenUp) {
  RawReply stall;
  stall.stall = true;
  RawHttpServer server(Always(stall));
  Text raw, location, extra;
  EXPECT_TRUE(HttpFetch(server.Url("/"), {.extraHeaders = &extra, .location = &location, .rawHeaders = &raw})
                  .empty());
  EXPECT_EQ(server.RequestCount(), 1);
  // A failed exchange reads as a failed send did: the header query failed as well.
  EXPECT_EQ(raw, std::string(5000, ' '));
  EXPECT_EQ(location, raw);
  EXPECT_EQ(extra, Replace(kBlockOfPlainCall, "{url}", server.Url("/")));
}

TEST_F(HttpFetchTest, AWaitOnTheWindowsThreadLetsItsEventsRun) {
  RawReply stall;
  stall.stall = true;
  RawHttpServer server(Always(stall));
  int pumped = 0;
  SetEventPump([&] { ++pumped; });
  HttpFetch(server.Url("/"));
  SetEventPump(nullptr);
  EXPECT_GE(pumped, 2);
}

TEST_F(HttpFetchTest, AClosedPortOrAnUnknownHostGiveEmptyBytes) {
  const Text urls[] = {"http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/x",
                       "http://no-such-host.invalid/x", "http://bad\xB0\xA1host/x"};
  for (const Text& url : urls) {
    SCOPED_TRACE(url);
    Text cookies = "a = 1", raw, extra;
    EXPECT_TRUE(
        HttpFetch(url, {.sendCookies = &cookies, .extraHeaders = &extra, .rawHeaders = &raw}).empty());
    EXPECT_EQ(raw, std::string(5000, ' '));
    EXPECT_EQ(extra, Replace(kBlockOfPlainCall, "{url}", url) + "\r\nCookie: a = 1");
    EXPECT_EQ(cookies, "a=1");
  }
}

TEST_F(HttpFetchTest, FailingToOpenChangesNothing) {
  const Text urls[] = {"/relative", "http://h:70000/", "http://h:-1/"};
  for (const Text& url : urls) {
    SCOPED_TRACE(url);
    Text cookies = "c = 1", returned = "r", extra = "X: 1", location = "l", raw = "raw";
    Bytes post = {'p'};
    EXPECT_TRUE(HttpFetch(url, {.method = 1,
                                .postText = "t",
                                .sendCookies = &cookies,
                                .returnedCookies = &returned,
                                .extraHeaders = &extra,
                                .location = &location,
                                .postBytes = &post,
                                .rawHeaders = &raw})
                    .empty());
    EXPECT_EQ(cookies, "c = 1");
    EXPECT_EQ(returned, "r");
    EXPECT_EQ(extra, "X: 1");
    EXPECT_EQ(location, "l");
    EXPECT_EQ(post, Bytes{'p'});
    EXPECT_EQ(raw, "raw");
  }
}

TEST_F(HttpFetchTest, PostSendsPostTextOrPostBytes) {
  RawHttpServer server([](const RawRequest& r, int) { return Ok("got " + r.body); });
  Bytes post;
  EXPECT_EQ(AsString(HttpFetch(server.Url("/f"), {.method = 1, .postText = "a=1&b=2", .postBytes = &post})),
            "got a=1&b=2");
  EXPECT_EQ(AsString(post), "a=1&b=2");
  Bytes own = BytesFromText("x=9");
  EXPECT_EQ(AsString(HttpFetch(server.Url("/f"), {.method = 1, .postText = "ignored", .postBytes = &own})),
            "got x=9");
  // A body larger than curl's threshold for "Expect: 100-continue" goes at once.
  const std::string big(5000, 'z');
  EXPECT_EQ(AsString(HttpFetch(server.Url("/f"), {.method = 1, .postText = big})), "got " + big);

  const std::vector<RawRequest> rs = server.Requests();
  ASSERT_EQ(rs.size(), 3u);
  EXPECT_EQ(rs[0].requestLine, "POST /f HTTP/1.1");
  EXPECT_EQ(rs[0].Header("Content-Length"), "7");
  EXPECT_EQ(rs[0].HeaderCount("Content-Type"), 1);
  EXPECT_EQ(rs[0].Header("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(rs[2].HeaderCount("Expect"), 0);
  // Any method other than 1 is a GET.
  HttpFetch(server.Url("/g"), {.method = 2, .postText = "t"});
  EXPECT_EQ(server.Requests()[3].requestLine, "GET /g HTTP/1.1");
  EXPECT_EQ(server.Requests()[3].body, "");
}

TEST_F(HttpFetchTest, AProxyIsUsedForHttpAddresses) {
  RawHttpServer proxy(Always(Ok("via proxy")));
  const Text address = "127.0.0.1:" + std::to_string(proxy.Port());
  EXPECT_EQ(AsString(HttpFetch("http://example.invalid/p?q", {.proxy = address})), "via proxy");
  ASSERT_EQ(proxy.RequestCount(), 1);
  EXPECT_EQ(proxy.Requests()[0].requestLine, "GET http://example.invalid/p?q HTTP/1.1");
  EXPECT_EQ(proxy.Requests()[0].Header("Referer"), "http://example.invalid/p?q");

  // Supplied but empty: the connection goes direct.
  RawHttpServer direct(Always(Ok("direct")));
  EXPECT_EQ(AsString(HttpFetch(direct.Url("/d"), {.proxy = Text()})), "direct");
  EXPECT_EQ(direct.Requests()[0].target, "/d");
}

TEST_F(HttpFetchTest, TheBodyComesWithoutTransferCodingAndIsNotDecompressed) {
  RawReply chunked;
  chunked.bytes =
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: "
      "close\r\n\r\n3\r\nabc\r\n2\r\nde\r\n0\r\n\r\n";
  RawHttpServer a(Always(chunked));
  EXPECT_EQ(AsString(HttpFetch(a.Url("/"))), "abcde");
  EXPECT_EQ(a.Requests()[0].HeaderCount("Accept-Encoding"), 0);

  const std::string notReallyGzip = "\x1f\x8b not gzip";
  RawHttpServer b(Always(Ok(notReallyGzip, {"Content-Encoding: gzip"})));
  EXPECT_EQ(AsString(HttpFetch(b.Url("/"))), notReallyGzip);
}

TEST_F(HttpFetchTest, HttpsAddressesAreSpokenToWithTls) {
  RawHttpServer server(Always(Ok()));
  const Text url = "https://127.0.0.1:" + std::to_string(server.Port()) + "/";
  EXPECT_TRUE(HttpFetch(url).empty());
  EXPECT_EQ(server.ConnectionCount(), 1);
  EXPECT_EQ(server.RequestCount(), 0);  // what came was a TLS handshake, no plain request
}

TEST_F(HttpFetchTest, ABodyWithZeroBytesComesWhole) {
  const std::string body("a\0b\0c", 5);
  RawHttpServer server(Always(Ok(body)));
  EXPECT_EQ(AsString(HttpFetch(server.Url("/"))), body);
}

TEST_F(HttpFetchTest, SeveralThreadsAtOnce) {
  RawHttpServer server(
      [](const RawRequest& r, int) { return Ok("body of " + r.target, {"Set-Cookie: t=1"}); });
  std::atomic<int> right{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&, i] {
      for (int j = 0; j < 5; ++j) {
        const std::string path = "/t" + std::to_string(i) + "_" + std::to_string(j);
        if (AsString(HttpFetch(server.Url(path))) == "body of " + path) ++right;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(right, 40);
}

}  // namespace
}  // namespace sarvoke
