#include <clocale>

#include "app/app.h"
#include "app/main_window.h"
#include "app/settings.h"
#include "app/skin.h"
#include "board/board_post.h"
#include "board/board_refresh.h"
#include "board/qq_identity.h"
#include "platform/threads.h"
#include "search/search_events.h"
#include "share/share_actions.h"
#include "ticker/ticker.h"

namespace sarvoke {

std::shared_ptr<App> CreateApp(std::string runDirectory) {
  auto app = std::make_shared<App>();
  app->runDirectory = std::move(runDirectory);
  BindEvents(app);
  return app;
}

void BindEvents(const std::shared_ptr<App>& shared) {
  // Handlers live inside the state they act on, so they hold a plain pointer to it.
  App* app = shared.get();
  WindowModel& w = app->window;
  w.Bind(Text(kMainWindow), Event::Created, [app](int) { WindowCreated(*app); });
  w.Bind(Text(kMainWindow), Event::Destroying, [app](int) { WindowClosing(*app); });
  w.Bind("超级列表框1", Event::RightClicked, [app](int) { ResultListRightClicked(*app); });
  BindSearchEvents(*app);
  BindShareEvents(*app);
  BindBoardEvents(*app);
  BindPostEvents(*app);
  BindQqEvents(*app);
  BindTickerEvents(*app);
}

int ProgramStart(const std::function<void(const std::shared_ptr<App>&)>& showWindowAndRunLoop,
                 std::string runDirectory) {
  std::setlocale(LC_ALL, "");
  auto app = CreateApp(std::move(runDirectory));
  showWindowAndRunLoop(app);
  ProgramExit(*app);
  return 0;
}

void WindowCreated(App& app) {
  WindowModel& w = app.window;
  AttachSkin(w, kWindowSkin);
  for (const char* b : {"按钮2", "按钮3", "按钮4", "按钮5", "按钮6", "按钮7"}) w.SetDisabled(b, true);
  const Text problem = LoadSettings(w, app.runDirectory);
  if (!problem.empty()) w.MessageBox(problem);
  if (app.workersAtStart) StartTicker(app);
  app.mailbox = CurrentMailboxAccount();
  ChooseQqIdentity(app);
  // The board's start values; a refresh that finds entries reads them all anew.
  app.board.settings = BoardSettings{};
  app.board.postAllowed = true;
  if (app.workersAtStart) RefreshBoard(app);
}

void WindowClosing(App& app) { SaveSettings(app.window, app.runDirectory); }

void ProgramExit(App& app) {
  app.exiting = true;
  app.window.SetView(WindowView{});
  app.search = SearchState{};
  app.resultsRegex = RegexObject();
  // A refresh still running holds the state through its own reference; it is not waited for.
}

void ResultListRightClicked(App& app) { app.window.ShowPopupMenu(Text(kResultMenu)); }

bool StartWorker(const std::shared_ptr<App>& app, std::function<void(App&)> routine) {
  ++app->workersRunning;
  const bool started = StartThread([app, routine = std::move(routine)] {
    routine(*app);
    --app->workersRunning;
  });
  if (!started) --app->workersRunning;
  return started;
}

}  // namespace sarvoke
