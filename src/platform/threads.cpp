#include "platform/threads.h"

#include <system_error>
#include <thread>

namespace sarvoke {

bool StartThread(std::function<void()> routine) {
  try {
    std::thread(std::move(routine)).detach();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

}  // namespace sarvoke
