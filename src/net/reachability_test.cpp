#include "net/reachability.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/endpoints.h"
#include "platform/event_pump.h"

namespace sarvoke {
namespace {

bool CanOpenAnEchoSocket() {
  for (int type : {SOCK_RAW, SOCK_DGRAM}) {
    const int fd = socket(AF_INET, type, IPPROTO_ICMP);
    if (fd >= 0) {
      close(fd);
      return true;
    }
  }
  return false;
}

class SearchHostReachable : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = CurrentEndpoints(); }
  void TearDown() override {
    SetCurrentEndpoints(saved_);
    SetEventPump(nullptr);
  }
  void UseSearchHost(const Text& host) {
    Endpoints e = saved_;
    e.searchEngineHost = host;
    SetCurrentEndpoints(e);
  }
  Endpoints saved_;
};

TEST_F(SearchHostReachable, ProbesTheHostWithoutItsPort) {
  UseSearchHost("127.0.0.1:18080");
  EXPECT_EQ(IsSearchHostReachable(1000), CanOpenAnEchoSocket());
  UseSearchHost("localhost");
  EXPECT_EQ(IsSearchHostReachable(), CanOpenAnEchoSocket());
}

TEST_F(SearchHostReachable, AnUnknownHostIsUnreachable) {
  UseSearchHost("no-such-host.invalid:80");
  EXPECT_FALSE(IsSearchHostReachable(500));
}

TEST_F(SearchHostReachable, LetsPendingEventsRunFirst) {
  UseSearchHost("no-such-host.invalid");
  int pumped = 0;
  SetEventPump([&] { ++pumped; });
  IsSearchHostReachable(100);
  EXPECT_EQ(pumped, 1);
}

}  // namespace
}  // namespace sarvoke
