// The news ticker's state: the publisher's posts and the one on show.
#pragma once

#include <mutex>
#include <vector>

#include "text/text.h"

namespace sarvoke {

struct TickerPost {
  Text views;
  Text link;
  Text title;
  Text comments;
};

struct TickerState {
  // Filled once by the fetch on its worker thread before the ticker's timer starts; read by the timer
  // and the click on the GUI thread. The mutex makes a click during the fetch safe.
  std::mutex mutex;
  std::vector<TickerPost> posts;
  Text pageText;
  int current = 0;  // 1-based; 0 until the first post is shown
};

}  // namespace sarvoke
