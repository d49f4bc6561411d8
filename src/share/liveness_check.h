// The background check of the result list: once the rows of a search or of a sharer's shares are in the
// list, every row's share page is fetched on a worker, a few at a time, and the row is marked alive, dead
// or unknown in the window model (RowMark), which the window shows greyed for a dead row. Nothing else
// about the rows, the record lists or the actions changes, and the window never waits for the check.
//
//   StartRowCheck(app);             // after the list was filled; does nothing unless search.checkRows
//   CancelRowCheck(app);            // a new search, page or list: the running check stops
//   WaitForRowCheck(app, 30000);    // the command line waits for the marks before it prints them
//
// A row is alive when its page holds a direct link that the download actions would hand over (the same
// resolution as theirs), dead when the page holds none or the site answers that there is no such page
// (404, 410), unknown when no answer came within the time-out or the answer was another error.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string_view>

#include "app/app.h"
#include "platform/http_batch.h"

namespace sarvoke {

// One check of one list; the worker holds it as long as it runs.
struct RowCheck {
  std::atomic<bool> cancelled{false};
  std::mutex mutex;
  std::condition_variable endedSignal;
  bool ended = false;
};

// The mark an answer to a share page's fetch gives its row.
RowMark MarkOfSharePageAnswer(const HttpBatchAnswer& answer);

// "alive", "dead", "unknown", or "" for a row not checked.
std::string_view RowMarkName(RowMark mark);

// How many pages are fetched at once and how long one may take (5 and 5 s unless changed; tests
// shorten the time).
HttpBatchOptions CurrentRowCheckLimits();
void SetRowCheckLimits(const HttpBatchOptions& limits);

// Starts the check of every row of the result list on a worker, when search.checkRows asks for it;
// any check still running is cancelled first.
void StartRowCheck(App& app);
// Cancels the running check, if any: it fetches no further page and marks nothing more.
void CancelRowCheck(App& app);
// Waits until the last check started has ended; true when it has (or none was started), false when
// `timeoutMs` passed first.
bool WaitForRowCheck(App& app, int timeoutMs);

}  // namespace sarvoke
