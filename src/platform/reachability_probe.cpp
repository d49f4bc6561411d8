#include "platform/reachability_probe.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>

#include "platform/event_pump.h"
#include "text/code_page.h"

namespace sarvoke {
namespace {

constexpr std::uint8_t kEchoReply = 0;
constexpr std::uint8_t kEchoRequest = 8;

std::uint16_t Checksum(const std::uint8_t* data, std::size_t size) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i + 1 < size; i += 2) sum += (data[i] << 8) | data[i + 1];
  if (size % 2) sum += data[size - 1] << 8;
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint16_t>(~sum);
}

long long NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

bool Resolve(const Text& host, sockaddr_in& to) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (host.empty() || getaddrinfo(AnsiToUtf8(host).c_str(), nullptr, &hints, &found) != 0 || !found)
    return false;
  to = *reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  freeaddrinfo(found);
  return true;
}

int OpenEchoSocket(EchoSocket kind, bool& raw) {
  if (kind != EchoSocket::DatagramOnly) {
    const int fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    raw = true;
    if (fd >= 0 || kind == EchoSocket::RawOnly) return fd;
  }
  raw = false;
  return socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
}

std::atomic<std::uint16_t> nextSequence{1};

}  // namespace

bool IsOurEchoReply(std::string_view packet, bool withIpHeader, std::uint16_t id, std::uint16_t sequence) {
  std::size_t at = 0;
  if (withIpHeader) {
    if (packet.size() < 20 || (static_cast<std::uint8_t>(packet[0]) >> 4) != 4) return false;
    at = (static_cast<std::uint8_t>(packet[0]) & 0x0F) * 4u;
    if (at < 20) return false;
  }
  if (packet.size() < at + 8) return false;
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(packet[at + i]); };
  if (byte(0) != kEchoReply || byte(1) != 0) return false;
  if (withIpHeader && ((byte(4) << 8) | byte(5)) != id) return false;
  return ((byte(6) << 8) | byte(7)) == sequence;
}

bool PingHost(const Text& host, int timeoutMs, EchoSocket kind) {
  sockaddr_in to{};
  if (!Resolve(host, to)) return false;
  bool raw = false;
  const int fd = OpenEchoSocket(kind, raw);
  if (fd < 0) return false;

  const std::uint16_t sequence = nextSequence.fetch_add(1);
  const std::uint16_t id = static_cast<std::uint16_t>(getpid() ^ (sequence << 7));
  std::uint8_t request[8] = {kEchoRequest,
                             0,
                             0,
                             0,
                             static_cast<std::uint8_t>(id >> 8),
                             static_cast<std::uint8_t>(id),
                             static_cast<std::uint8_t>(sequence >> 8),
                             static_cast<std::uint8_t>(sequence)};
  const std::uint16_t sum = Checksum(request, sizeof request);
  request[2] = static_cast<std::uint8_t>(sum >> 8);
  request[3] = static_cast<std::uint8_t>(sum);

  bool reached = false;
  if (sendto(fd, request, sizeof request, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) ==
      static_cast<ssize_t>(sizeof request)) {
    const long long deadline = NowMs() + (timeoutMs > 0 ? timeoutMs : 0);
    char buf[1500];
    for (;;) {
      const long long left = deadline - NowMs();
      pollfd p{fd, POLLIN, 0};
      // Waits in slices, letting window events run between them (only on a thread with a window).
      const int ready = poll(&p, 1, static_cast<int>(left > 0 ? std::min(left, 50LL) : 0));
      if (ready < 0) break;
      if (ready == 0) {
        if (left <= 0) break;
        LetPendingEventsRun();
        if (WaitCancelled()) break;
        continue;
      }
      sockaddr_in from{};
      socklen_t fromLen = sizeof from;
      const ssize_t n = recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
      if (n < 0) break;
      if (from.sin_addr.s_addr == to.sin_addr.s_addr &&
          IsOurEchoReply(std::string_view(buf, static_cast<std::size_t>(n)), raw, id, sequence)) {
        reached = true;
        break;
      }
      if (left <= 0) break;
    }
  }
  close(fd);
  return reached;
}

}  // namespace sarvoke
