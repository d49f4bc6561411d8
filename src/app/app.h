// The program-wide state and its life: created before the window exists, released at exit.
//
//   auto app = CreateApp(ProgramDirectory());   // state with its start values, event table bound
//   ... front-end: fire (window, Created), run the loop, fire (window, Destroying) ...
//   ProgramExit(*app);
//
// The state is held through a shared pointer: a worker thread captures it, so that a routine still
// running at exit never touches released state.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "app/window_model.h"
#include "board/board_format.h"
#include "search/search_state.h"
#include "text/regex_object.h"
#include "ticker/ticker_state.h"

namespace sarvoke {

// The name under which the window's own events (created, about to be destroyed) are bound.
inline constexpr std::string_view kMainWindow = "";

struct App : std::enable_shared_from_this<App> {
  std::string runDirectory;  // the program file's directory (UTF-8 path, no trailing separator)
  WindowModel window;
  SearchState search;
  RegexObject resultsRegex;  // reads every results page (GUI thread only)
  MailboxAccount mailbox;
  BoardState board;
  std::string boardFolder;  // the board's files (UTF-8, trailing "/"); found at the first refresh
  TickerState ticker;
  // Whether the window's creation starts its worker threads (the ticker's fetch, the board's refresh);
  // tests that have no use for them, and no services for them to reach, switch them off.
  bool workersAtStart = true;
  // Set by ProgramExit; worker routines look at it before they touch the window again.
  std::atomic<bool> exiting{false};
  // Held by each display of the QQ avatar: the first runs on a worker, later ones on the GUI thread, and
  // all write the same files and picture.
  std::mutex avatarRun;
  // Worker routines started and not yet ended.
  std::atomic<int> workersRunning{0};
};

// The program-wide state with its start values and the event table bound. `runDirectory` is where the
// settings file lives; tests give their own.
std::shared_ptr<App> CreateApp(std::string runDirectory);

// Binds every event of the main window to its handler.
void BindEvents(const std::shared_ptr<App>& app);

// The whole program: creates the state, lets `showWindowAndRunLoop` create the window (whose creation
// event runs WindowCreated) and run the message loop, then runs ProgramExit. Returns 0.
int ProgramStart(const std::function<void(const std::shared_ptr<App>&)>& showWindowAndRunLoop,
                 std::string runDirectory);

// The window's creation and about-to-be-destroyed events.
void WindowCreated(App& app);
void WindowClosing(App& app);

// Releases the program-wide state: the view is detached first, so that worker threads that still run
// change only the model.
void ProgramExit(App& app);

// Shows the pop-up menu 右键 (the result list's right click).
void ResultListRightClicked(App& app);

// Starts `routine` on a worker thread that keeps the state alive while it runs.
bool StartWorker(const std::shared_ptr<App>& app, std::function<void(App&)> routine);

}  // namespace sarvoke
