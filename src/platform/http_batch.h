// Several plain HTTP requests on one thread, a few at a time, each with a short time-out of its own: the
// background check of the result list's share pages, and small POSTs such as a JSON-RPC call.
//
//   HttpBatchOptions options;                   // 5 at once, 5 s each
//   RunHttpBatch(requests, options, [&] { return cancelled; },
//                [&](std::size_t i, const HttpBatchAnswer& a) { ... requests[i] answered ... });
//
// Unlike HttpSendRequest it sends no cookies and follows redirects (unless a request says not to; at most
// 10, http and https only) with its own limits. A request only starts when one of the `maxConnections` places is free, so its
// time-out counts from its own start and never from the time it waited for a place. On the thread of the
// window's event pump the window keeps painting meanwhile, and a cancelled wait (Esc) ends the batch.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

#include "text/text.h"

namespace sarvoke {

struct HttpBatchRequest {
  Text url;                       // "http://" is assumed when the address names no scheme
  Text agent;                     // the User-Agent line
  std::vector<Text> headers;      // further header lines, "Name: value"
  std::optional<Bytes> postBody;  // a POST with this body; absent: a GET
  bool followRedirects = true;    // at most 10, http and https only
};

struct HttpBatchOptions {
  int maxConnections = 5;                           // requests (and so connections) at once
  long timeoutMs = 5000;                            // for one request, connecting and redirects included
  std::size_t maxBodyBytes = std::size_t{4} << 20;  // a longer body fails the request
};

struct HttpBatchAnswer {
  bool answered = false;  // a final response was read to its end
  int status = 0;         // its status code
  Bytes body;
  Text failure;  // when not answered: the transfer library's short reason ("Connection refused", …)
};

// Runs every request and calls `done` on this thread as each ends, in the order they end. Stops early,
// leaving the rest without a call, once `cancelled` (asked between rounds, may be empty) returns true.
void RunHttpBatch(const std::vector<HttpBatchRequest>& requests, const HttpBatchOptions& options,
                  const std::function<bool()>& cancelled,
                  const std::function<void(std::size_t index, const HttpBatchAnswer& answer)>& done);

}  // namespace sarvoke
