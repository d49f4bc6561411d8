#include "net/reachability.h"

#include "net/endpoints.h"
#include "platform/event_pump.h"
#include "platform/reachability_probe.h"

namespace sarvoke {

bool IsSearchHostReachable(int timeoutMs) {
  LetPendingEventsRun();
  Text host = CurrentEndpoints().searchEngineHost;
  const int colon = TextFind(host, ":");
  if (colon != -1) host.resize(colon - 1);
  // Any reply within the time-out counts: loopback and nearby hosts answer in well under a millisecond.
  return PingHost(host, timeoutMs);
}

}  // namespace sarvoke
