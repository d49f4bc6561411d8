#include "platform/reachability_probe.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/event_pump.h"

namespace sarvoke {
namespace {

std::string Icmp(std::uint8_t type, std::uint16_t id, std::uint16_t seq) {
  const char b[8] = {static_cast<char>(type),
                     0,
                     0,
                     0,
                     static_cast<char>(id >> 8),
                     static_cast<char>(id),
                     static_cast<char>(seq >> 8),
                     static_cast<char>(seq)};
  return std::string(b, 8);
}

std::string WithIpHeader(const std::string& icmp, int headerWords = 5) {
  std::string ip(headerWords * 4, '\0');
  ip[0] = static_cast<char>(0x40 | headerWords);
  return ip + icmp;
}

TEST(IsOurEchoReply, Table) {
  struct Row {
    const char* label;
    std::string packet;
    bool withIpHeader;
    bool want;
  } rows[] = {
      {"reply through a raw socket", WithIpHeader(Icmp(0, 7, 9)), true, true},
      {"reply with IP options", WithIpHeader(Icmp(0, 7, 9), 6), true, true},
      {"our own request, seen on loopback", WithIpHeader(Icmp(8, 7, 9)), true, false},
      {"another program's reply", WithIpHeader(Icmp(0, 8, 9)), true, false},
      {"an earlier sequence", WithIpHeader(Icmp(0, 7, 8)), true, false},
      {"other ICMP (unreachable)", WithIpHeader(Icmp(3, 7, 9)), true, false},
      {"truncated", WithIpHeader(Icmp(0, 7, 9)).substr(0, 25), true, false},
      {"not IPv4", "\x60" + WithIpHeader(Icmp(0, 7, 9)).substr(1), true, false},
      {"ping socket: the kernel sets the identifier", Icmp(0, 1234, 9), false, true},
      {"ping socket: sequence still counts", Icmp(0, 1234, 10), false, false},
      {"ping socket: request type", Icmp(8, 7, 9), false, false},
      {"empty", "", false, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    EXPECT_EQ(IsOurEchoReply(r.packet, r.withIpHeader, 7, 9), r.want);
  }
}

bool CanOpen(int type) {
  const int fd = socket(AF_INET, type, IPPROTO_ICMP);
  if (fd < 0) return false;
  close(fd);
  return true;
}

TEST(PingHost, LoopbackAnswersThroughWhicheverSocketCanBeHad) {
  const bool any = CanOpen(SOCK_RAW) || CanOpen(SOCK_DGRAM);
  EXPECT_EQ(PingHost("127.0.0.1", 1000), any);
  EXPECT_EQ(PingHost("localhost", 1000), any);
}

TEST(PingHost, EachSocketKindOrFalse) {
  EXPECT_EQ(PingHost("127.0.0.1", 1000, EchoSocket::RawOnly), CanOpen(SOCK_RAW));
  // Where the ping socket is refused (net.ipv4.ping_group_range), the answer is false, not a failure.
  EXPECT_EQ(PingHost("127.0.0.1", 1000, EchoSocket::DatagramOnly), CanOpen(SOCK_DGRAM));
}

TEST(PingHost, NamesThatDoNotResolveAndSilentHostsGiveFalse) {
  EXPECT_FALSE(PingHost("no-such-host.invalid", 500));
  EXPECT_FALSE(PingHost("", 500));
  // TEST-NET-2, a documentation range: nothing answers there.
  EXPECT_FALSE(PingHost("198.51.100.1", 300));
}

TEST(PingHost, AWaitOnTheWindowsThreadLetsItsEventsRun) {
  int pumped = 0;
  SetEventPump([&] { ++pumped; });
  PingHost("198.51.100.1", 300);
  SetEventPump(nullptr);
  EXPECT_GE(pumped, 2);
}

}  // namespace
}  // namespace sarvoke
