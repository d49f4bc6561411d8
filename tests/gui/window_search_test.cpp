// A search through the window against the lab: a word typed into 编辑框1 and Enter fill the result list.
// Needs the lab (sarvoke-lab) and the search's handlers bound by BindEvents; it skips without them.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wx/listctrl.h>
#include <wx/uiaction.h>
#include <wx/weakref.h>
#include <wx/webview.h>
#include <wx/wx.h>

#include <filesystem>
#include <thread>

#include "app/app.h"
#include "gui/main_frame.h"
#include "gui/wx_text.h"
#include "gui_test_support.h"
#include "net/endpoints.h"
#include "platform/files.h"
#include "platform/url_opener.h"
#include "text/code_page.h"

// Last: Xlib's macros (None, Status, Bool) would clash with the names of the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace sarvoke {
namespace {

using test::PumpFor;
using test::PumpUntil;

// The lab as a process of its own, with the program's endpoints pointed at it; stopped when it goes.
struct LabProcess {
  pid_t pid = -1;
  bool ready = false;
  // With `board`, the lab's mailbox too, seeded with that board file.
  explicit LabProcess(const std::string& dir, const std::string& board = "") {
    const std::string endpoints = dir + "/endpoints.ini";
    pid = fork();
    if (pid < 0) return;
    if (pid == 0) {
      if (board.empty()) {
        execl(SARVOKE_LAB_PROGRAM, SARVOKE_LAB_PROGRAM, "--endpoints-out", endpoints.c_str(),
              static_cast<char*>(nullptr));
      } else {
        execl(SARVOKE_LAB_PROGRAM, SARVOKE_LAB_PROGRAM, "--board", board.c_str(), "--endpoints-out",
              endpoints.c_str(), static_cast<char*>(nullptr));
      }
      _exit(127);
    }
    if (!PumpUntil([&] { return FileExists(endpoints); }, 20000)) return;
    PumpFor(100);  // the file is written whole, but give its writer the moment to close it
    SetCurrentEndpoints(LoadEndpointsFile(endpoints, &ready));
  }
  ~LabProcess() {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
  }
};

// Clicks into 编辑框1, types the word and presses Enter; true when rows came.
bool TypeSearch(wxTextCtrl* edit, wxListCtrl* list, const char* word) {
  wxUIActionSimulator sim;
  sim.MouseMove(edit->ClientToScreen(wxPoint(10, edit->GetClientSize().y / 2)));
  PumpFor(50);
  sim.MouseClick();
  edit->SetFocus();
  PumpFor(100);
  sim.Text(word);
  sim.Char(WXK_RETURN);
  if (!PumpUntil([&] { return list->GetItemCount() > 0; }, 30000)) return false;
  PumpFor(300);  // the last cells
  return true;
}

TEST(WindowSearch, AWordTypedIntoTheSearchBoxAndEnterFillTheResultList) {
  const std::string dir = test::MakeTempDirectory();
  LabProcess lab(dir);
  ASSERT_TRUE(lab.ready) << "the lab did not start";

  auto app = CreateApp(dir);

  app->workersAtStart = false;  // no mailbox here
  if (!app->window.IsBound("编辑框1", Event::KeyPressed))
    GTEST_SKIP() << "the search's handlers are not bound yet";
  wxWeakRef<wxFrame> frame = OpenMainWindow(app);
  ASSERT_TRUE(PumpUntil([&] { return frame->IsShownOnScreen(); }));
  PumpFor(200);

  auto* edit = dynamic_cast<wxTextCtrl*>(ControlWidget(frame, "编辑框1"));
  auto* list = dynamic_cast<wxListCtrl*>(ControlWidget(frame, "超级列表框1"));
  ASSERT_TRUE(edit && list);
  ASSERT_TRUE(TypeSearch(edit, list, "setup")) << "no rows";

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

// A double-click on a row hands its direct link over, a double-click below the rows nothing; the pop-up
// menu's last item lists the sharer's other shares in place of the hits.
TEST(WindowSearch, ADoubleClickDownloadsAndTheMenuListsTheSharersShares) {
  const std::string dir = test::MakeTempDirectory();
  LabProcess lab(dir);
  ASSERT_TRUE(lab.ready) << "the lab did not start";
  std::vector<std::string> handedOver;
  SetUrlHandler([&](const std::string& utf8) {
    handedOver.push_back(utf8);
    return true;
  });
  auto app = CreateApp(dir);
  app->workersAtStart = false;  // no mailbox here
  wxWeakRef<wxFrame> frame = OpenMainWindow(app);
  ASSERT_TRUE(PumpUntil([&] { return frame->IsShownOnScreen(); }));
  PumpFor(200);
  auto* edit = dynamic_cast<wxTextCtrl*>(ControlWidget(frame, "编辑框1"));
  auto* list = dynamic_cast<wxListCtrl*>(ControlWidget(frame, "超级列表框1"));
  ASSERT_TRUE(edit && list);
  ASSERT_TRUE(TypeSearch(edit, list, "mp3")) << "no rows";

  wxUIActionSimulator sim;
  wxRect row;
  ASSERT_TRUE(list->GetItemRect(1, row));
  sim.MouseMove(list->ClientToScreen(row.GetPosition() + wxPoint(40, row.height / 2)));
  PumpFor(50);
  sim.MouseDblClick();
  ASSERT_TRUE(PumpUntil([&] { return !handedOver.empty(); }, 30000));
  EXPECT_EQ(handedOver.size(), 1u);
  EXPECT_NE(handedOver[0].find("/file/1011?"), std::string::npos) << handedOver[0];

  // Below the last row, with row 1 still selected: nothing.
  sim.MouseMove(list->ClientToScreen(wxPoint(200, list->GetClientSize().y - 20)));
  PumpFor(50);
  sim.MouseDblClick();
  PumpFor(1000);
  EXPECT_EQ(handedOver.size(), 1u);

  // Right click on row 0, then the menu's sixth item (separators are not stepped on).
  ASSERT_TRUE(list->GetItemRect(0, row));
  sim.MouseMove(list->ClientToScreen(row.GetPosition() + wxPoint(40, row.height / 2)));
  PumpFor(50);
  sim.MouseClick();
  PumpFor(100);
  std::thread menuKeys([] {
    std::system("sleep 0.8; for i in 1 2 3 4 5 6; do xdotool key Down; sleep 0.1; done; xdotool key Return");
  });
  sim.MouseClick(wxMOUSE_BTN_RIGHT);
  const bool listed = PumpUntil(
      [&] {
        return app->search.listMode == ListMode::UserShares && list->GetItemText(0, 1).empty() &&
               list->GetItemCount() == 3;
      },
      30000);
  menuKeys.join();
  ASSERT_TRUE(listed);
  PumpFor(300);
  EXPECT_EQ(list->GetItemText(0, 0), test::U8(u8"周杰伦 - 青花瓷.mp3"));
  EXPECT_EQ(list->GetItemText(0, 2), test::U8(u8"音乐之声"));
  EXPECT_EQ(list->GetItemText(0, 3), "2013/01/20 18/40/00");
  EXPECT_FALSE(test::SaveScreenshot("window-shares.png").empty());

  frame->Close();
  PumpUntil([&] { return !frame; });
  ProgramExit(*app);
  SetUrlHandler(nullptr);
}

// Opens the window with its workers on the "建议反馈" tab, the board's files in `dir`.
void OpenOnBoardTab(const std::shared_ptr<App>& app, const std::string& dir, wxWeakRef<wxFrame>& frame) {
  app->boardFolder = dir + "/";
  frame = OpenMainWindow(app);
  ASSERT_TRUE(PumpUntil([&] { return frame->IsShownOnScreen(); }));
  app->window.SetSelected("高级选择夹1", 1);
}

// The "建议反馈" tab shows the board that the lab's mailbox holds, refreshed when the window opens.
TEST(WindowSearch, TheBoardTabShowsTheMailboxsBoard) {
  const std::string dir = test::MakeTempDirectory();
  LabProcess lab(dir, SARVOKE_SOURCE_DIR "/lab/board.txt");
  ASSERT_TRUE(lab.ready) << "the lab did not start";
  auto app = CreateApp(dir);
  wxWeakRef<wxFrame> frame;
  ASSERT_NO_FATAL_FAILURE(OpenOnBoardTab(app, dir, frame));
  ASSERT_TRUE(PumpUntil([&] { return ControlWidget(frame, "Velmora留言系统超文本浏览框1") != nullptr; }));
  auto* web = dynamic_cast<wxWebView*>(ControlWidget(frame, "Velmora留言系统超文本浏览框1"));
  ASSERT_TRUE(web) << "no web view on this machine";
  // The refresh wrote page 1 of the newest mail and pointed the view at it.
  ASSERT_TRUE(PumpUntil([&] { return web->GetCurrentURL().EndsWith("/lyb.html") && !web->IsBusy(); }, 20000))
      << web->GetCurrentURL().utf8_string();
  EXPECT_EQ(app->board.entries.size(), 12u);
  EXPECT_EQ(app->board.pages.size(), 3u);
  EXPECT_EQ(app->window.GetText("Velmora留言系统标签21"), "当前第1页");
  EXPECT_TRUE(app->window.IsDisabled("Velmora留言系统按钮15"));
  EXPECT_FALSE(app->window.IsDisabled("Velmora留言系统按钮16"));
  PumpFor(1500);  // the view paints after it has loaded
  EXPECT_FALSE(test::SaveScreenshot("window-board-lab.png").empty());

  // The ticker came up at the same time: the publisher's first post, moving left.
  wxWindow* headline = ControlWidget(frame, "滚动条");
  ASSERT_TRUE(headline);
  ASSERT_TRUE(PumpUntil([&] { return app->window.TimerPeriod("广告时钟") == 20; }, 20000))
      << AnsiToUtf8(app->window.GetText("滚动条"));
  EXPECT_EQ(app->window.GetText("滚动条"), "Sarvoke工具v2.1版发布 点击：1523 评论：12");
  const int x = LabelTextRect(headline).x;
  PumpFor(500);
  EXPECT_LT(LabelTextRect(headline).x, x - 5);
  frame->Close();
  PumpUntil([&] { return !frame; });
  ProgramExit(*app);
}

// A QQ account logged in on this desktop: the board tab offers its number instead of the nickname box
// and shows its avatar; "不使用QQ登录" brings the nickname box back.
TEST(WindowSearch, TheBoardTabOffersTheQqAccountOfThisDesktop) {
  Display* x = XOpenDisplay(nullptr);
  ASSERT_TRUE(x);
  const Window qqWindow = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, 30, 30, 0, 0, 0);
  XClassHint hint{const_cast<char*>("qq"), const_cast<char*>("5B3838F5-0C81-46D9-A4C0-6EA28CA3E942")};
  XSetClassHint(x, qqWindow, &hint);
  XStoreName(x, qqWindow, "QQ2013 10001");
  XSync(x, False);

  const std::string dir = test::MakeTempDirectory();
  LabProcess lab(dir, SARVOKE_SOURCE_DIR "/lab/board.txt");
  ASSERT_TRUE(lab.ready) << "the lab did not start";
  auto app = CreateApp(dir);
  wxWeakRef<wxFrame> frame;
  ASSERT_NO_FATAL_FAILURE(OpenOnBoardTab(app, dir, frame));
  ASSERT_TRUE(PumpUntil([&] { return ControlWidget(frame, "Velmora留言系统图片框1") != nullptr; }));
  auto* choice = dynamic_cast<wxChoice*>(ControlWidget(frame, "Velmora留言系统组合框1"));
  auto* avatar = dynamic_cast<wxStaticBitmap*>(ControlWidget(frame, "Velmora留言系统图片框1"));
  wxWindow* nickname = ControlWidget(frame, "Velmora留言系统编辑框14");
  ASSERT_TRUE(choice && avatar && nickname);
  ASSERT_TRUE(PumpUntil([&] { return avatar->GetBitmap().IsOk(); }, 20000))
      << "no avatar shown; the model has " << app->window.Snapshot("Velmora留言系统图片框1").picture.size()
      << " bytes";
  EXPECT_EQ(avatar->GetBitmap().GetWidth(), 30);
  EXPECT_TRUE(choice->IsShown());
  EXPECT_FALSE(nickname->IsShown());
  ASSERT_EQ(choice->GetCount(), 2u);
  EXPECT_EQ(choice->GetString(1), "10001");
  EXPECT_EQ(choice->GetSelection(), 1);
  EXPECT_TRUE(app->board.qqMode);
  PumpFor(500);
  EXPECT_FALSE(test::SaveScreenshot("window-board-qq.png").empty());

  choice->SetSelection(0);
  wxCommandEvent picked(wxEVT_CHOICE, choice->GetId());
  picked.SetInt(0);
  picked.SetEventObject(choice);
  choice->GetEventHandler()->ProcessEvent(picked);
  ASSERT_TRUE(PumpUntil([&] { return nickname->IsShown(); }));
  EXPECT_FALSE(choice->IsShown());
  EXPECT_FALSE(avatar->IsShown());
  EXPECT_FALSE(app->board.qqMode);
  frame->Close();
  PumpUntil([&] { return !frame; });
  ProgramExit(*app);
  XDestroyWindow(x, qqWindow);
  XCloseDisplay(x);
}

}  // namespace
}  // namespace sarvoke
