#include "platform/event_pump.h"

#include <memory>
#include <mutex>

namespace sarvoke {
namespace {
std::mutex pumpMutex;
std::shared_ptr<std::function<void()>> pump;
}  // namespace

void SetEventPump(std::function<void()> f) {
  std::lock_guard lock(pumpMutex);
  pump = f ? std::make_shared<std::function<void()>>(std::move(f)) : nullptr;
}

void LetPendingEventsRun() {
  std::shared_ptr<std::function<void()>> p;
  {
    std::lock_guard lock(pumpMutex);
    p = pump;
  }
  if (p) (*p)();
}

}  // namespace sarvoke
