#include "platform/event_pump.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

namespace sarvoke {
namespace {
std::mutex pumpMutex;
std::shared_ptr<std::function<void()>> pump;
std::thread::id pumpThread;
thread_local bool pumping = false;  // a pump that itself waits must not re-enter
std::atomic<bool> cancelled{false};
}  // namespace

void CancelPendingWaits() { cancelled = true; }
void ClearWaitCancel() { cancelled = false; }

bool WaitCancelled() {
  if (!cancelled) return false;
  std::lock_guard lock(pumpMutex);
  return pump && pumpThread == std::this_thread::get_id();
}

void SetEventPump(std::function<void()> f) {
  std::lock_guard lock(pumpMutex);
  pump = f ? std::make_shared<std::function<void()>>(std::move(f)) : nullptr;
  pumpThread = std::this_thread::get_id();
}

void LetPendingEventsRun() {
  std::shared_ptr<std::function<void()>> p;
  {
    std::lock_guard lock(pumpMutex);
    if (pumpThread != std::this_thread::get_id()) return;
    p = pump;
  }
  if (!p || pumping) return;
  pumping = true;
  (*p)();
  pumping = false;
}

}  // namespace sarvoke
