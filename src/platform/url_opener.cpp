#include "platform/url_opener.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/event_pump.h"
#include "text/code_page.h"

extern char** environ;

namespace sarvoke {
namespace {

// How long xdg-open is given to say that nothing takes the address: it answers at once when no
// program is registered for the scheme, but when it starts a browser it may stay until that ends.
constexpr int kVerdictWaitMs = 3000;

void ReapLater(pid_t pid) {
  try {
    std::thread([pid] {
      int status = 0;
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  } catch (...) {  // no thread to be had: the handler runs all the same, and stays a zombie when done
  }
}

// Starts xdg-open with the address, its output kept off the terminal. True when it took the address:
// it ended successfully, or it is still running (a browser or download manager it started) after a short
// wait, during which the window keeps painting. False when it could not start or said that nothing
// takes the address.
bool StartXdgOpen(const std::string& utf8) {
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::string program = "xdg-open", argument = utf8;
  char* argv[] = {program.data(), argument.data(), nullptr};
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, "xdg-open", &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  for (int waited = 0; waited < kVerdictWaitMs; waited += 10) {
    int status = 0;
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (r < 0 && errno != EINTR) return true;  // not ours to wait for any more; it was started
    LetPendingEventsRun();
    if (WaitCancelled()) break;  // taken as handed over: it was started, and may still open
    usleep(10000);
  }
  ReapLater(pid);
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
