// Whether the web search engine's host answers at all: one ICMP echo, run before the ticker's fetch.
#pragma once

namespace sarvoke {

// True when the search engine's host (the endpoint SearchEngineHost without its ":port") answers an echo
// within `timeoutMs` milliseconds. Lets the pending window events of the calling thread run first.
// Every failure reads as false.
bool IsSearchHostReachable(int timeoutMs = 2000);

}  // namespace sarvoke
