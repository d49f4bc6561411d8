// Worker threads: start a thread that runs one routine once. Threads are detached, never joined; a
// routine that needs program state keeps it alive through the shared pointer it captured.
#pragma once

#include <functional>

namespace sarvoke {

// Starts `routine` on a new detached thread; false when no thread could be started.
bool StartThread(std::function<void()> routine);

}  // namespace sarvoke
