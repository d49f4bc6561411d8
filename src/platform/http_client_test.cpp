#include "platform/http_client.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/raw_http_server.h"
#include "support/short_http_timeouts.h"

namespace sarvoke {
namespace {

std::string AsString(const Bytes& b) { return std::string(b.begin(), b.end()); }

RawHttpServer::Responder Always(RawReply reply) {
  return [reply](const RawRequest&, int) { return reply; };
}

RawReply Raw(std::string bytes) {
  RawReply r;
  r.bytes = std::move(bytes);
  return r;
}

class HttpClientTest : public ShortHttpTimeouts {
 protected:
  HttpResponse Get(const std::string& url, const Text& block = "", bool noCookies = false) {
    HttpRequestOptions options;
    options.url = url;
    options.agent = "A";
    options.noCookies = noCookies;
    HttpRequest request = HttpOpenRequest(options);
    if (!request) return {};
    return HttpSendRequest(*request, block, nullptr);
  }
};

TEST_F(HttpClientTest, AddressesThatCannotBeUsedOpenNoRequest) {
  for (const char* url : {"", "ftp://h/x", "http://", "http:///x", "file:///etc/passwd", "h/x"}) {
    SCOPED_TRACE(url);
    HttpRequestOptions options;
    options.url = url;
    EXPECT_EQ(HttpOpenRequest(options), nullptr);
  }
}

TEST_F(HttpClientTest, TheRawHeaderIsTheFinalAnswersWithCrLfLines) {
  struct Row {
    const char* label;
    std::string reply;
    std::string wantRaw, wantBody;
  } rows[] = {
      {"as sent", "HTTP/1.1 200 OK\r\nX: 1\r\nContent-Length: 1\r\n\r\nb",
       "HTTP/1.1 200 OK\r\nX: 1\r\nContent-Length: 1\r\n\r\n", "b"},
      {"bare line feeds become CR LF", "HTTP/1.1 200 OK\nX: 1\nContent-Length: 1\n\nb",
       "HTTP/1.1 200 OK\r\nX: 1\r\nContent-Length: 1\r\n\r\n", "b"},
      {"an informational answer goes",
       "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nb",
       "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\n", "b"},
      {"trailers are no part of it",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nb\r\n0\r\nT: v\r\n\r\n",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", "b"},
      {"status line kept as sent", "HTTP/1.0 404 Nope\r\n\r\nmissing", "HTTP/1.0 404 Nope\r\n\r\n",
       "missing"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    RawHttpServer server(Always(Raw(row.reply)));
    const HttpResponse r = Get(server.Url("/"));
    EXPECT_TRUE(r.completed);
    EXPECT_EQ(r.rawHeaders, row.wantRaw);
    EXPECT_EQ(AsString(r.body), row.wantBody);
  }
}

TEST_F(HttpClientTest, HeaderLinesGoOutAsGiven) {
  RawHttpServer server(Always(CannedReply("HTTP/1.1 200 OK", {})));
  Get(server.Url("/"), "X-Empty:\r\nno colon here\r\n\r\nX-Two: a b\r\nUser-Agent: mine");
  const RawRequest r = server.Requests()[0];
  const std::vector<std::string> want = {"Host: 127.0.0.1:" + std::to_string(server.Port()), "Accept: */*",
                                         "X-Empty:", "X-Two: a b", "User-Agent: mine"};
  EXPECT_EQ(r.headerLines, want);
}

TEST_F(HttpClientTest, TheAgentCannotStartALineOfItsOwn) {
  RawHttpServer server(Always(CannedReply("HTTP/1.1 200 OK", {})));
  HttpRequestOptions options;
  options.url = server.Url("/");
  options.agent = "A\r\nX-Injected: 1";
  HttpSendRequest(*HttpOpenRequest(options), "", nullptr);
  EXPECT_EQ(server.Requests()[0].Header("User-Agent"), "A");
  EXPECT_EQ(server.Requests()[0].HeaderCount("X-Injected"), 0);
}

TEST_F(HttpClientTest, CookieLinesOfTheCallerStayWithTheirHost) {
  RawHttpServer b(Always(CannedReply("HTTP/1.1 200 OK", {}, "b")));
  RawHttpServer a(Always(CannedReply("HTTP/1.1 302 Found", {"Location: " + b.Url("/t")})));
  const HttpResponse r = Get(a.Url("/"), "Cookie: c=1\r\nX: 1", true);
  EXPECT_EQ(AsString(r.body), "b");
  EXPECT_EQ(a.Requests()[0].Header("Cookie"), "c=1");
  EXPECT_EQ(b.Requests()[0].HeaderCount("Cookie"), 0);
  EXPECT_EQ(b.Requests()[0].Header("X"), "1");
}

TEST_F(HttpClientTest, PostTurnsIntoGetOn302But307KeepsIt) {
  for (const char* status : {"HTTP/1.1 302 Found", "HTTP/1.1 307 Temporary Redirect"}) {
    SCOPED_TRACE(status);
    RawHttpServer b(
        [](const RawRequest& r, int) { return CannedReply("HTTP/1.1 200 OK", {}, r.method + r.body); });
    RawHttpServer a(Always(CannedReply(status, {"Location: " + b.Url("/t")})));
    HttpRequestOptions options;
    options.url = a.Url("/");
    options.verb = "POST";
    const Bytes body = {'x', '=', '1'};
    const HttpResponse r = HttpSendRequest(*HttpOpenRequest(options), "", &body);
    EXPECT_EQ(AsString(r.body), std::string(status).find("307") != std::string::npos ? "POSTx=1" : "GET");
  }
}

TEST_F(HttpClientTest, TheProxyServesHttpOnly) {
  RawHttpServer proxy(Always(CannedReply("HTTP/1.1 200 OK", {}, "proxied")));
  RawHttpServer target(Always(CannedReply("HTTP/1.1 200 OK", {}, "direct")));
  HttpRequestOptions options;
  options.proxy = "127.0.0.1:" + std::to_string(proxy.Port());
  options.url = "https://127.0.0.1:" + std::to_string(target.Port()) + "/";
  EXPECT_FALSE(HttpSendRequest(*HttpOpenRequest(options), "", nullptr).completed);
  EXPECT_EQ(proxy.ConnectionCount(), 0);
  EXPECT_EQ(target.ConnectionCount(), 1);  // a TLS handshake that this plain server does not answer

  options.url = target.Url("/x");
  EXPECT_EQ(AsString(HttpSendRequest(*HttpOpenRequest(options), "", nullptr).body), "proxied");
  EXPECT_EQ(proxy.Requests()[0].target, target.Url("/x"));
}

TEST_F(HttpClientTest, AListenerThatNeverAcceptsIsGivenUp) {
  // A listening socket whose queue is full: further connections are not completed, and where the system
  // completes them anyway nothing ever answers. Either way the request gives up.
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(listen(fd, 0), 0);
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  std::vector<int> fillers;
  for (int i = 0; i < 3; ++i) {
    const int c = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    connect(c, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    fillers.push_back(c);
  }
  SetHttpTimeouts({300, 1});
  const HttpResponse r = Get("http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/");
  EXPECT_FALSE(r.completed);
  EXPECT_TRUE(r.body.empty());
  EXPECT_TRUE(r.rawHeaders.empty());
  for (int c : fillers) close(c);
  close(fd);
}

TEST_F(HttpClientTest, LargeBodiesComeWholeWithOrWithoutALength) {
  auto big = std::make_shared<std::string>(20u << 20, '\0');
  for (std::size_t i = 0; i < big->size(); ++i) (*big)[i] = static_cast<char>(i * 7 % 251);
  RawReply withLength, untilClose;
  withLength.bytes = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(big->size()) + "\r\n\r\n";
  withLength.tail = big;
  untilClose.bytes = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n";
  untilClose.tail = big;
  for (const RawReply& reply : {withLength, untilClose}) {
    RawHttpServer server(Always(reply));
    const HttpResponse r = Get(server.Url("/"));
    EXPECT_TRUE(r.completed);
    EXPECT_TRUE(AsString(r.body) == *big);
  }
}

TEST_F(HttpClientTest, ABodyCutShortFailsTheRequest) {
  RawHttpServer server(Always(Raw("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc")));
  const HttpResponse r = Get(server.Url("/"));
  EXPECT_FALSE(r.completed);
  EXPECT_TRUE(r.body.empty());
}

// A server that sends a byte now and then never stalls long enough to be given up for silence: the
// request's one deadline ends it, redirects included.
TEST_F(HttpClientTest, ADrippingServerMeetsTheOverallDeadline) {
  HttpTimeouts t = CurrentHttpTimeouts();
  t.overallMs = 1500;
  SetHttpTimeouts(t);
  RawReply drip;
  drip.bytes = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n" + std::string(100, 'x');
  drip.dripMs = 100;
  RawHttpServer server(Always(drip));
  const HttpResponse r = Get(server.Url("/"));
  EXPECT_FALSE(r.completed);
  EXPECT_TRUE(r.body.empty());

  // Every hop of a redirect chain takes a little under the deadline; together they are over it.
  RawHttpServer chain([&](const RawRequest& req, int index) {
    RawReply slow;
    slow.bytes = index < 3 ? "HTTP/1.1 302 Found\r\nLocation: /next" + std::to_string(index) +
                                 "\r\nContent-Length: 0\r\n\r\n"
                           : "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
    slow.dripMs = 1000 / static_cast<int>(slow.bytes.size()) + 1;
    return slow;
  });
  EXPECT_FALSE(Get(chain.Url("/")).completed);
  EXPECT_LT(chain.RequestCount(), 4);
}

// A request may ask for a shorter deadline than the stack's: the same slow answer that is read to its end
// with the stack's deadline is given up with the request's own.
TEST_F(HttpClientTest, ARequestsOwnDeadlineEndsItSooner) {
  SetHttpTimeouts({2000, 30});  // the answer takes longer than the fixture's give-up time for silence
  RawReply slow;
  slow.bytes = "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc";
  slow.dripMs = 40;
  RawHttpServer server(Always(slow));
  EXPECT_TRUE(Get(server.Url("/")).completed);
  HttpRequestOptions options;
  options.url = server.Url("/");
  options.deadlineMs = 300;
  HttpRequest request = HttpOpenRequest(options);
  ASSERT_TRUE(request);
  EXPECT_FALSE(HttpSendRequest(*request, "", nullptr).completed);
}

TEST_F(HttpClientTest, ABodyOverTheCapFailsAndIsNotReadOn) {
  HttpTimeouts t = CurrentHttpTimeouts();
  t.maxBodyBytes = 1u << 20;
  SetHttpTimeouts(t);
  RawReply endless;
  endless.bytes = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n";
  endless.endless = true;
  RawHttpServer server(Always(endless));
  EXPECT_FALSE(Get(server.Url("/")).completed);

  RawHttpServer announced(Always(Raw("HTTP/1.1 200 OK\r\nContent-Length: 3000000000\r\n\r\nabc")));
  EXPECT_FALSE(Get(announced.Url("/")).completed);

  // Exactly at the cap is still a page.
  auto full = std::make_shared<std::string>(1u << 20, 'y');
  RawReply atCap;
  atCap.bytes = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(full->size()) + "\r\n\r\n";
  atCap.tail = full;
  RawHttpServer exact(Always(atCap));
  const HttpResponse r = Get(exact.Url("/"));
  EXPECT_TRUE(r.completed);
  EXPECT_EQ(r.body.size(), full->size());
}

}  // namespace
}  // namespace sarvoke
