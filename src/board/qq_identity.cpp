#include "board/qq_identity.h"

#include <unistd.h>

#include "board/board_controls.h"
#include "board/board_pages.h"
#include "net/endpoints.h"
#include "net/http_fetch.h"
#include "platform/event_pump.h"
#include "platform/files.h"
#include "platform/image_converter.h"
#include "platform/top_level_windows.h"
#include "text/simple_pattern.h"

namespace sarvoke {
namespace {

void ShowNicknamePair(WindowModel& w, bool nickname) {
  w.SetVisible(Text(kNicknameBox), nickname);
  w.SetVisible(Text(kNicknameLabel), nickname);
  w.SetVisible(Text(kQqChoice), !nickname);
  w.SetVisible(Text(kQqAvatarBox), !nickname);
}

// Holds the avatar run's lock. On the GUI thread the wait lets the window paint; a cancelled wait (Esc,
// the window closing) gives up.
bool LockAvatarRun(std::unique_lock<std::mutex>& lock) {
  while (!lock.try_lock()) {
    if (WaitCancelled()) return false;
    LetPendingEventsRun();
    ::usleep(10000);  // (<chrono> holds a literal that code page 936 lacks)
  }
  return true;
}

}  // namespace

int FindQqNumbers(bool keepList, std::vector<Text>* numbers) {
  const std::vector<Text> titles = TopLevelWindowTitles(kQqWindowClass);
  if (keepList && numbers) {
    SimplePattern pattern;
    CompileSimplePattern(pattern, "[1-9][0-9]{4,}");
    for (const Text& title : titles) {
      const auto m = FindFirstMatch(pattern, title, 1);
      numbers->push_back(m ? PatternMatchText(*m, title) : Text());
    }
  }
  return static_cast<int>(titles.size());
}

void FillQqChoice(App& app) {
  WindowModel& w = app.window;
  std::vector<Text> numbers;
  FindQqNumbers(true, &numbers);
  for (const Text& n : numbers) w.AddItem(Text(kQqChoice), n);
  w.SetSelected(Text(kQqChoice), 1);
  app.board.qqMode = true;
  if (app.workersAtStart) StartWorker(app.shared_from_this(), [](App& a) { RunQqAvatar(a, true); });
}

void ChooseQqIdentity(App& app) {
  if (FindQqNumbers(false) > 0) {
    FillQqChoice(app);
    ShowNicknamePair(app.window, false);
  } else {
    app.board.qqMode = false;
    ShowNicknamePair(app.window, true);
  }
}

void ShowQqAvatar(App& app) { RunQqAvatar(app, false); }

void RunQqAvatar(App& app, bool onWorker) {
  WindowModel& w = app.window;
  std::unique_lock<std::mutex> lock(app.avatarRun, std::defer_lock);
  if (!LockAvatarRun(lock) || app.exiting) return;
  const int chosen = w.GetSelected(Text(kQqChoice));
  if (chosen == 0) {
    // The user's own pick, handled on the GUI thread; the first run, which may start after it, leaves the
    // switch to that handler.
    if (onWorker) return;
    ShowNicknamePair(w, true);
    app.board.qqMode = false;
    return;
  }
  const std::vector<Text> items = w.Items(Text(kQqChoice));
  if (chosen < 0 || chosen >= static_cast<int>(items.size())) return;
  const Text& number = items[chosen];
  // The board's folder holds the avatar's files; it is found again here rather than read from the state
  // that the board's refresh fills on its own worker.
  const std::string folder = BoardCacheFolder();
  if (folder.empty()) return;
  const Bytes picture =
      HttpFetch("http://" + CurrentEndpoints().qqAvatarHost + "/qzone/" + number + "/" + number + "/30");
  WriteWholeFile(folder + "lyb.png", picture);
  ConvertToJpeg(folder + "lyb.png", folder + "lyb.jpg", kAvatarJpegQuality);
  Bytes shown;
  ReadSmallFile(folder + "lyb.jpg", kPictureFileLimit, shown);
  if (app.exiting) return;
  w.SetPicture(Text(kQqAvatarBox), shown);
}

void BindQqEvents(App& app) {
  App* a = &app;
  app.window.Bind(Text(kQqChoice), Event::ItemSelected, [a](int) { ShowQqAvatar(*a); });
}

}  // namespace sarvoke
