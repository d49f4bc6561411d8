#include "platform/read_url.h"

#include <gtest/gtest.h>

#include "platform/http_client.h"
#include "support/raw_http_server.h"
#include "support/recording_http_server.h"
#include "support/short_http_timeouts.h"

namespace sarvoke {
namespace {

std::string AsString(const Bytes& b) { return std::string(b.begin(), b.end()); }

class ReadUrlTest : public ShortHttpTimeouts {};

TEST_F(ReadUrlTest, APlainGetWithNothingOfTheProgramsOwn) {
  RawHttpServer server([](const RawRequest&, int) {
    return CannedReply("HTTP/1.1 200 OK", {"Content-Type: text/html; charset=utf-8", "Set-Cookie: s=1"},
                       "\xE4\xB8\xAD dlink");
  });
  EXPECT_EQ(AsString(ReadUrl(server.Url("/share/link?shareid=1&uk=2"))),
            "\xE4\xB8\xAD dlink");  // no conversion
  EXPECT_EQ(AsString(ReadUrl(server.Url("/again"))), "\xE4\xB8\xAD dlink");
  const std::vector<RawRequest> rs = server.Requests();
  ASSERT_EQ(rs.size(), 2u);
  EXPECT_EQ(rs[0].requestLine, "GET /share/link?shareid=1&uk=2 HTTP/1.1");
  const std::vector<std::string> want = {"Host: 127.0.0.1:" + std::to_string(server.Port()),
                                         "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)",
                                         "Accept: */*"};
  EXPECT_EQ(rs[0].headerLines, want);
  EXPECT_EQ(rs[1].headerLines, want);  // the cookie was not kept
}

TEST_F(ReadUrlTest, DoesNotSendTheStoresCookies) {
  RecordingHttpServer server;
  server.Route("/set", HttpReply{200, {{"Set-Cookie", "sid=1; Path=/"}}, "set"});
  server.Route("/page", HttpReply{200, {}, "page"});
  // Someone else's request fills the store; ReadUrl leaves it alone.
  HttpRequestOptions options;
  options.url = server.Url("/set");
  HttpSendRequest(*HttpOpenRequest(options), "", nullptr);
  options.url = server.Url("/page");
  HttpSendRequest(*HttpOpenRequest(options), "", nullptr);
  EXPECT_EQ(AsString(ReadUrl(server.Url("/page"))), "page");
  const std::vector<RecordedRequest> rs = server.Requests();
  ASSERT_EQ(rs.size(), 3u);
  EXPECT_EQ(rs[1].Header("Cookie"), "sid=1");
  EXPECT_EQ(rs[2].HeaderCount("Cookie"), 0);
}

TEST_F(ReadUrlTest, FollowsRedirectsWithinTheBound) {
  RecordingHttpServer server;
  for (int i = 0; i < 12; ++i) {
    server.Route("/r" + std::to_string(i), HttpReply{301, {{"Location", "/r" + std::to_string(i + 1)}}, ""});
  }
  server.Route("/r12", HttpReply{200, {}, "end"});
  EXPECT_EQ(AsString(ReadUrl(server.Url("/r2"))), "end");  // 10 redirects
  EXPECT_TRUE(ReadUrl(server.Url("/r1")).empty());         // 11
}

TEST_F(ReadUrlTest, EmptyOnAnyFailure) {
  RecordingHttpServer server;
  server.Route("/gone", HttpReply{404, {}, "error page"});
  server.Route("/broken", HttpReply{500, {}, "error page"});
  server.Route("/empty", HttpReply{200, {}, ""});
  RawReply stall;
  stall.stall = true;
  RawHttpServer stalling([stall](const RawRequest&, int) { return stall; });
  const std::string rows[] = {
      server.Url("/gone"),
      server.Url("/broken"),
      server.Url("/empty"),
      stalling.Url("/"),
      "http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/",
      "http://no-such-host.invalid/",
      "ftp://127.0.0.1/x",
      "",
  };
  for (const std::string& url : rows) {
    SCOPED_TRACE(url);
    EXPECT_TRUE(ReadUrl(url).empty());
  }
}

TEST_F(ReadUrlTest, AssumesHttpWithoutAScheme) {
  RecordingHttpServer server;
  server.Route("/p", HttpReply{200, {}, "p"});
  EXPECT_EQ(AsString(ReadUrl("127.0.0.1:" + std::to_string(server.Port()) + "/p")), "p");
}

TEST_F(ReadUrlTest, ABodyWithZeroBytesComesWhole) {
  const std::string body("a\0b", 3);
  RecordingHttpServer server;
  server.Route("/z", HttpReply{200, {}, body});
  EXPECT_EQ(AsString(ReadUrl(server.Url("/z"))), body);
}

}  // namespace
}  // namespace sarvoke
