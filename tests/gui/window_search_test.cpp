// A search through the window against the lab: a word typed into 编辑框1 and Enter fill the result list.
// Needs the lab (sarvoke-lab) and the search's handlers bound by BindEvents; it skips without them.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wx/listctrl.h>
#include <wx/uiaction.h>
#include <wx/weakref.h>
#include <wx/wx.h>

#include <filesystem>
#include <thread>

#include "app/app.h"
#include "gui_test_support.h"
#include "net/endpoints.h"
#include "platform/files.h"
#include "gui/main_frame.h"
#include "gui/wx_text.h"

namespace sarvoke {
namespace {

using test::PumpFor;
using test::PumpUntil;

TEST(WindowSearch, AWordTypedIntoTheSearchBoxAndEnterFillTheResultList) {
  const std::string dir = test::MakeTempDirectory();
  const std::string endpoints = dir + "/endpoints.ini";
  const pid_t lab = fork();
  ASSERT_GE(lab, 0);
  if (lab == 0) {
    execl(SARVOKE_LAB_PROGRAM, SARVOKE_LAB_PROGRAM, "--endpoints-out", endpoints.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  struct StopLab {
    pid_t pid;
    ~StopLab() {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
  } stopLab{lab};
  ASSERT_TRUE(PumpUntil([&] { return FileExists(endpoints); }, 20000)) << "the lab did not start";
  PumpFor(100);  // the file is written whole, but give its writer the moment to close it
  bool ok = false;
  SetCurrentEndpoints(LoadEndpointsFile(endpoints, &ok));
  ASSERT_TRUE(ok);

  auto app = CreateApp(dir);
  if (!app->window.IsBound("编辑框1", Event::KeyPressed))
    GTEST_SKIP() << "the search's handlers are not bound yet";
  wxWeakRef<wxFrame> frame = OpenMainWindow(app);
  ASSERT_TRUE(PumpUntil([&] { return frame->IsShownOnScreen(); }));
  PumpFor(200);

  auto* edit = dynamic_cast<wxTextCtrl*>(ControlWidget(frame, "编辑框1"));
  auto* list = dynamic_cast<wxListCtrl*>(ControlWidget(frame, "超级列表框1"));
  ASSERT_TRUE(edit && list);
  wxUIActionSimulator sim;
  sim.MouseMove(edit->ClientToScreen(wxPoint(10, edit->GetClientSize().y / 2)));
  PumpFor(50);
  sim.MouseClick();
  edit->SetFocus();
  PumpFor(100);
  sim.Text("setup");
  sim.Char(WXK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return list->GetItemCount() > 0; }, 30000)) << "no rows";
  PumpFor(300);  // the last cells

  EXPECT_EQ(app->window.GetText("编辑框1"), "setup");
  const auto rows = app->window.Rows("超级列表框1");
  ASSERT_EQ(list->GetItemCount(), static_cast<int>(rows.size()));
  bool sawSetup = false;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    for (std::size_t c = 0; c < rows[r].size(); ++c) EXPECT_EQ(list->GetItemText(r, c), ToWx(rows[r][c]));
    sawSetup = sawSetup || list->GetItemText(r, 0).Contains("setup");
  }
  EXPECT_TRUE(sawSetup);
  EXPECT_FALSE(test::SaveScreenshot("window-search.png").empty());

  frame->Close();
  PumpUntil([&] { return !frame; });
  ProgramExit(*app);
}

}  // namespace
}  // namespace sarvoke
