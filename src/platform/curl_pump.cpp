#include "platform/curl_pump.h"

#include <time.h>

#include "platform/event_pump.h"

namespace sarvoke {
namespace {

constexpr int kPumpIntervalMs = 50;  // how often a transfer on the GUI thread lets the window paint

long long MonotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

}  // namespace

CURLcode PerformPumping(CURLM* multi, CURL* easy) {
  if (!multi) return curl_easy_perform(easy);
  if (curl_multi_add_handle(multi, easy) != CURLM_OK) return CURLE_FAILED_INIT;
  CURLcode result = CURLE_GOT_NOTHING;
  long long lastPump = MonotonicMs();
  for (;;) {
    int running = 0;
    if (curl_multi_perform(multi, &running) != CURLM_OK) break;
    if (running == 0) {
      int left = 0;
      while (CURLMsg* m = curl_multi_info_read(multi, &left)) {
        if (m->msg == CURLMSG_DONE && m->easy_handle == easy) result = m->data.result;
      }
      break;
    }
    if (curl_multi_poll(multi, nullptr, 0, kPumpIntervalMs, nullptr) != CURLM_OK) break;
    const long long now = MonotonicMs();
    if (now - lastPump >= kPumpIntervalMs) {
      LetPendingEventsRun();
      lastPump = now;
    }
    // The user gave up waiting (Esc, or closing the window): the transfer ends as a failed one.
    if (WaitCancelled()) {
      result = CURLE_ABORTED_BY_CALLBACK;
      break;
    }
  }
  curl_multi_remove_handle(multi, easy);
  return result;
}

}  // namespace sarvoke
