#include "platform/url_opener.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <memory>
#include <mutex>
#include <thread>

#include "text/code_page.h"

extern char** environ;

namespace sarvoke {
namespace {

// Starts xdg-open with the address and does not wait for it: it may stay until the browser ends. A
// detached thread reaps it, so that no zombie is left behind.
bool StartXdgOpen(const std::string& utf8) {
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  std::string program = "xdg-open", argument = utf8;
  char* argv[] = {program.data(), argument.data(), nullptr};
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, "xdg-open", &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  try {
    std::thread([pid] {
      int status = 0;
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  } catch (...) {  // no thread to be had: the handler runs all the same, and stays a zombie when done
  }
  return true;
}

std::mutex handlerMutex;
std::shared_ptr<std::function<bool(const std::string&)>> handler;

}  // namespace

bool IsHandedOverAddress(std::string_view address) {
  // Exact spelling, letter case included: every text the program hands over is written with these
  // prefixes, and a refusal is safer than a scheme nobody meant.
  static constexpr std::string_view kPrefixes[] = {"http://", "https://", "thunder://", "Flashget://",
                                                   "qqdl://"};
  for (std::string_view p : kPrefixes) {
    if (address.substr(0, p.size()) == p) return true;
  }
  return false;
}

bool OpenUrl(const Text& address) try {
  if (!IsHandedOverAddress(address)) return false;
  const std::string utf8 = AnsiToUtf8(address);
  std::shared_ptr<std::function<bool(const std::string&)>> h;
  {
    std::lock_guard lock(handlerMutex);
    h = handler;
  }
  return h ? (*h)(utf8) : StartXdgOpen(utf8);
} catch (...) {
  return false;
}

void SetUrlHandler(std::function<bool(const std::string& utf8)> f) {
  std::lock_guard lock(handlerMutex);
  handler = f ? std::make_shared<std::function<bool(const std::string&)>>(std::move(f)) : nullptr;
}

}  // namespace sarvoke
