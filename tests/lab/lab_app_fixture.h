// The program's state against the lab: endpoints pointed at the lab's services, a headless view that
// records message boxes, and the window's creation event run, as the window would at start.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "lab_server.h"
#include "net/endpoints.h"

namespace sarvoke {

// Points the program's endpoints at the lab's services.
inline void UseLab(const lab::LabServer& lab) {
  Endpoints e = DefaultEndpoints();
  e.searchEngineHost = lab.SearchEngineHost();
  e.publisherHost = lab.PublisherHost();
  e.shareSiteDomain = lab.ShareSiteDomain();
  SetCurrentEndpoints(e);
}

class LabAppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(lab.Start());
    UseLab(lab);
    char tmpl[] = "/tmp/sarvoke-lab-app-XXXXXX";
    runDir = mkdtemp(tmpl);
    app = CreateApp(runDir);
    app->workersAtStart = false;  // no mailbox here
    view = AttachHeadlessView(app->window);
    app->window.Fire(Text(kMainWindow), Event::Created);
  }
  void TearDown() override {
    ProgramExit(*app);
    std::filesystem::remove_all(runDir);
  }

  // Types the word and the blocked words, chooses the page size and presses Enter.
  void Search(const Text& word, const Text& blocked = "", int sizeIndex = 3) {
    app->window.SetText("编辑框1", word);
    app->window.SetText("编辑框2", blocked);
    app->window.SetSelected("组合框1", sizeIndex);
    ASSERT_TRUE(app->window.Fire("编辑框1", Event::KeyPressed, 13));
  }
  std::vector<std::vector<Text>> Rows() { return app->window.Rows("超级列表框1"); }
  std::vector<Text> Messages() { return RecordedMessages(*view); }

  lab::LabServer lab{lab::LabOptions{}};
  std::string runDir;
  std::shared_ptr<App> app;
  std::shared_ptr<HeadlessView> view;
};

}  // namespace sarvoke
