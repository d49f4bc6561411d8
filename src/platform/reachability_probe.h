// An ICMP echo to a named host: the platform's stand-in for IcmpSendEcho.
//
//   PingHost("www.baidu.com", 2000)   // true when an echo reply came back within 2 s
//
// A raw ICMP socket is used when the process may open one, the unprivileged ping socket otherwise; when
// neither can be had the answer is false. IPv4 only, as IcmpSendEcho is.
#pragma once

#include <cstdint>
#include <string_view>

#include "text/text.h"

namespace sarvoke {

enum class EchoSocket { Any, RawOnly, DatagramOnly };

// True when an echo reply from `host` (resolved first) arrives within `timeoutMs` milliseconds; an
// unresolved name, a socket that cannot be opened, a failed send or the time-out give false.
bool PingHost(const Text& host, int timeoutMs, EchoSocket socket = EchoSocket::Any);

// Whether `packet`, as a socket delivers it, is the echo reply to the request with `id` and `sequence`.
// A raw socket delivers the IP header too, and on loopback also the request itself. The ping socket
// delivers the ICMP message alone and sets the identifier itself, so only the sequence is compared.
bool IsOurEchoReply(std::string_view packet, bool withIpHeader, std::uint16_t id, std::uint16_t sequence);

}  // namespace sarvoke
