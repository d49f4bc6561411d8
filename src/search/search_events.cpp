#include "search/search_events.h"

#include <cstdint>

#include "search/search_request.h"

namespace sarvoke {

void SearchClicked(App& app) {
  app.search.listMode = ListMode::Hits;
  app.search.page = 1;
  for (const char* b : {"按钮2", "按钮4", "按钮5", "按钮6", "按钮7"}) app.window.SetDisabled(b, false);
  RunSearch(app);
}

void SearchWordKeyPressed(App& app, int keyCode) {
  if (keyCode == 13) SearchClicked(app);
}

// A page change refills the list with hits, so the list shows hits again: the row actions take their
// record from the list that listMode names.
void PreviousPageClicked(App& app) {
  app.search.listMode = ListMode::Hits;
  app.search.page -= 1;
  RunSearch(app);
}

void NextPageClicked(App& app) {
  app.search.listMode = ListMode::Hits;
  if (app.search.page < INT32_MAX) app.search.page += 1;
  RunSearch(app);
}

void BindSearchEvents(App& app) {
  App* a = &app;
  WindowModel& w = app.window;
  w.Bind("按钮1", Event::Clicked, [a](int) { SearchClicked(*a); });
  w.Bind("编辑框1", Event::KeyPressed, [a](int key) { SearchWordKeyPressed(*a, key); });
  w.Bind("按钮3", Event::Clicked, [a](int) { PreviousPageClicked(*a); });
  w.Bind("按钮2", Event::Clicked, [a](int) { NextPageClicked(*a); });
}

}  // namespace sarvoke
