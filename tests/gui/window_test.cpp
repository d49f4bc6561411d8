// The real window under a private X server: controls where the model puts them, model changes from
// worker threads, user input reaching the handlers, busy handlers, message boxes from workers, closing.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wx/listctrl.h>
#include <wx/mstream.h>
#include <wx/notebook.h>
#include <wx/uiaction.h>
#include <wx/weakref.h>
#include <wx/webview.h>
#include <wx/wx.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "app/app.h"
#include "app/main_window.h"
#include "app/settings.h"
#include "close_button.h"
#include "gui/main_frame.h"
#include "gui/wx_text.h"
#include "gui_test_support.h"
#include "net/http_fetch.h"
#include "platform/event_pump.h"
#include "platform/files.h"
#include "platform/http_client.h"
#include "platform/url_opener.h"

namespace sarvoke {
namespace {

using test::OffsetOnScreen;
using test::PumpFor;
using test::PumpUntil;
using test::U8;

class WindowTest : public testing::Test {
 protected:
  void SetUp() override {
    runDirectory = test::MakeTempDirectory();
    ASSERT_FALSE(runDirectory.empty());
    app = CreateApp(runDirectory);
    app->workersAtStart = false;  // no mailbox here
    frame = OpenMainWindow(app);
    ASSERT_TRUE(frame);
    ASSERT_TRUE(PumpUntil([&] { return frame->IsShownOnScreen(); }));
    // The pages not shown at start are built after the first paint: wait for every control, however
    // slowly the machine runs.
    ASSERT_TRUE(PumpUntil([&] {
      for (const Text& name : app->window.ControlNames()) {
        if (app->window.Snapshot(name).kind != ControlKind::Timer && !ControlWidget(frame, name))
          return false;
      }
      return true;
    }));
    PumpFor(200);  // the first layout
  }
  void TearDown() override {
    if (frame) frame->Close();
    PumpUntil([&] { return !frame; });
    ProgramExit(*app);
  }
  template <typename T>
  T* Widget(const char* name) {
    wxWindow* w = ControlWidget(frame, name);
    EXPECT_TRUE(w) << name;
    return dynamic_cast<T*>(w);
  }
  wxPoint Centre(wxWindow* w) {
    return w->ClientToScreen(wxPoint(w->GetClientSize().x / 2, w->GetClientSize().y / 2));
  }
  void Click(wxWindow* w, int button = wxMOUSE_BTN_LEFT) {
    wxUIActionSimulator sim;
    sim.MouseMove(Centre(w));
    PumpFor(50);
    sim.MouseClick(button);
    PumpFor(100);
  }

  std::string runDirectory;
  std::shared_ptr<App> app;
  wxWeakRef<wxFrame> frame;
};

TEST_F(WindowTest, EveryControlStandsWhereTheModelPutsItWithItsText) {
  EXPECT_EQ(frame->GetTitle(), U8(u8"Sarvoke工具v2.1"));
  EXPECT_EQ(frame->GetPosition(), wxPoint(50, 50));
  EXPECT_EQ(frame->GetSize(), wxSize(614, 467));

  auto* tabs = Widget<wxNotebook>("高级选择夹1");
  ASSERT_TRUE(tabs);
  ASSERT_EQ(tabs->GetPageCount(), 4u);
  EXPECT_EQ(tabs->GetPageText(0), U8(u8"文件搜索"));
  EXPECT_EQ(tabs->GetPageText(3), U8(u8"更新详情"));
  wxWindow* root = tabs->GetParent();

  // Fixed texts spelled out in UTF-8, so that a wrong conversion of the program's code page shows.
  EXPECT_EQ(Widget<wxWindow>("标签1")->GetLabel(), U8(u8"欲搜索的文件名:"));
  EXPECT_EQ(Widget<wxButton>("按钮1")->GetLabelText(), U8(u8"搜索"));
  EXPECT_EQ(Widget<wxChoice>("组合框1")->GetStringSelection(), "100");  // no settings file yet
  auto* list = Widget<wxListCtrl>("超级列表框1");
  ASSERT_TRUE(list);
  ASSERT_EQ(list->GetColumnCount(), 5);
  wxListItem column;
  column.SetMask(wxLIST_MASK_TEXT | wxLIST_MASK_WIDTH);
  list->GetColumn(0, column);
  EXPECT_EQ(column.GetText(), U8(u8"文件名"));
  EXPECT_EQ(column.GetWidth(), 238);
  list->GetColumn(4, column);
  EXPECT_EQ(column.GetText(), U8(u8"下载次数"));
  EXPECT_EQ(column.GetWidth(), 58);
  for (const char* b : {"按钮2", "按钮3", "按钮4", "按钮5", "按钮6", "按钮7"})
    EXPECT_FALSE(Widget<wxWindow>(b)->IsEnabled()) << b;
  EXPECT_TRUE(Widget<wxWindow>("按钮1")->IsEnabled());
  auto* help = Widget<wxTextCtrl>("编辑框3");
  ASSERT_TRUE(help);
  EXPECT_TRUE(help->IsMultiLine());
  EXPECT_FALSE(help->IsEditable());
  EXPECT_TRUE(help->GetValue().StartsWith(U8(u8"    Sarvoke工具是一款")));

  const std::vector<Text> pages = {Text(kSearchPage), Text(kBoardPage), Text(kHelpPage), Text(kNotesPage)};
  for (std::size_t p = 0; p < pages.size(); ++p) {
    tabs->SetSelection(p);
    wxWindow* page = tabs->GetPage(p);
    ASSERT_TRUE(PumpUntil([&] { return page->IsShownOnScreen(); }));
    PumpFor(100);
    const wxPoint pageTop = OffsetOnScreen(page, tabs);
    for (const Text& name : app->window.ControlNames()) {
      const Control c = app->window.Snapshot(name);
      if (c.kind == ControlKind::Timer) {
        EXPECT_FALSE(ControlWidget(frame, name)) << ToWx(name);
        continue;
      }
      const bool topLevel = c.parent.empty();
      if (!topLevel && c.parent != pages[p]) continue;
      if (topLevel && p > 0) continue;
      SCOPED_TRACE(ToWx(name).utf8_string());
      wxWindow* w = ControlWidget(frame, name);
      ASSERT_TRUE(w);
      EXPECT_EQ(w->IsShown(), c.visible);
      EXPECT_EQ(w->IsEnabled(), !c.disabled);
      if (name == "滚动条") {
        // The headline spans its row; its text stands where the model puts the label.
        EXPECT_EQ(LabelTextRect(w), wxRect(c.left, 0, c.width, c.height));
        EXPECT_EQ(OffsetOnScreen(w, root), wxPoint(0, c.top));
        continue;
      }
      EXPECT_EQ(w->GetSize(), wxSize(c.width, c.height));
      if (!c.visible) continue;
      if (topLevel) {
        EXPECT_EQ(OffsetOnScreen(w, root), wxPoint(c.left, c.top));
      } else {
        // Relative to the tab control, as the model counts; nothing starts above the page's own area.
        EXPECT_EQ(OffsetOnScreen(w, tabs), wxPoint(std::max(c.left, pageTop.x), std::max(c.top, pageTop.y)));
      }
      switch (c.kind) {
        case ControlKind::Label:
          EXPECT_EQ(w->GetLabel(), ToWx(c.text));
          break;
        case ControlKind::Button:
          EXPECT_EQ(static_cast<wxButton*>(w)->GetLabelText(), ToWx(c.text));
          break;
        case ControlKind::EditBox:
          EXPECT_EQ(static_cast<wxTextCtrl*>(w)->GetValue(), ToWx(c.text));
          break;
        case ControlKind::ComboBox: {
          auto* choice = static_cast<wxChoice*>(w);
          ASSERT_EQ(choice->GetCount(), c.items.size());
          for (std::size_t i = 0; i < c.items.size(); ++i) EXPECT_EQ(choice->GetString(i), ToWx(c.items[i]));
          EXPECT_EQ(choice->GetSelection(), c.selected);
          break;
        }
        case ControlKind::HtmlBox: {
          wxString captions;
          for (std::size_t i = 0; i < c.links.size(); ++i)
            captions += (i > 0 ? "|" : "") + ToWx(c.links[i].caption);
          EXPECT_EQ(w->GetLabel(), captions);
          EXPECT_EQ(w->GetLabel(), U8(u8"访问官网|空间"));
          break;
        }
        default:
          break;
      }
    }
  }
  tabs->SetSelection(0);
  EXPECT_FALSE(test::SaveScreenshot("window-start.png").empty());
}

TEST_F(WindowTest, ModelChangesFromWorkerThreadsShowInTheWidgets) {
  std::atomic<int> loopedBack{0};
  app->window.Bind("组合框1", Event::ItemSelected, [&](int) { ++loopedBack; });
  app->window.Bind("Velmora留言系统组合框1", Event::ItemSelected, [&](int) { ++loopedBack; });
  app->window.Bind("编辑框1", Event::KeyPressed, [&](int) { ++loopedBack; });

  // A picture and a board page written as the program writes them: code page 936, no charset named.
  wxImage red(40, 40);
  red.SetRGB(wxRect(0, 0, 40, 40), 220, 0, 0);
  wxMemoryOutputStream jpeg;
  ASSERT_TRUE(red.SaveFile(jpeg, wxBITMAP_TYPE_JPEG));
  Bytes picture(jpeg.GetLength());
  jpeg.CopyTo(picture.data(), picture.size());
  const std::string page = runDirectory + "/lyb.html";
  ASSERT_TRUE(WriteWholeFile(
      page, std::string_view("<html><head><title>留言板 第1页</title></head><body>你好</body></html>")));

  std::thread worker([&] {
    WindowModel& w = app->window;
    w.SetText("标签5", "当前第1页");
    w.SetDisabled("按钮1", true);
    w.SetVisible("标签1", false);
    w.SetText("编辑框1", "三体");
    w.SetSelected("组合框1", 1);
    for (int r = 0; r < 3; ++r) {
      const int row = w.AppendRow("超级列表框1");
      w.SetCell("超级列表框1", row, 0, "文件" + std::to_string(r));
      w.SetCell("超级列表框1", row, 1, "1.2M");
    }
    w.SetSelected("超级列表框1", 2);
    w.AddItem("Velmora留言系统组合框1", "123456");
    w.SetSelected("Velmora留言系统组合框1", 1);
    w.SetLeft("滚动条", 100);
    w.SetPicture("Velmora留言系统图片框1", picture);
    w.SetSelected("高级选择夹1", 1);
    w.SetBrowserAddress("Velmora留言系统超文本浏览框1", page);
  });
  worker.join();

  auto* list = Widget<wxListCtrl>("超级列表框1");
  ASSERT_TRUE(PumpUntil([&] { return list->GetItemCount() == 3; }));
  EXPECT_EQ(list->GetItemText(1, 0), U8(u8"文件1"));
  EXPECT_EQ(list->GetItemText(2, 1), "1.2M");
  EXPECT_EQ(list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED), 2);
  EXPECT_EQ(Widget<wxWindow>("标签5")->GetLabel(), U8(u8"当前第1页"));
  EXPECT_FALSE(Widget<wxWindow>("按钮1")->IsEnabled());
  EXPECT_FALSE(Widget<wxWindow>("标签1")->IsShown());
  EXPECT_EQ(Widget<wxTextCtrl>("编辑框1")->GetValue(), U8(u8"三体"));
  EXPECT_EQ(Widget<wxChoice>("组合框1")->GetStringSelection(), "20");
  auto* qq = Widget<wxChoice>("Velmora留言系统组合框1");
  EXPECT_EQ(qq->GetCount(), 2u);
  EXPECT_EQ(qq->GetStringSelection(), "123456");
  EXPECT_EQ(LabelTextRect(Widget<wxWindow>("滚动条")).x, 100);  // the headline's text moves along its row
  EXPECT_EQ(Widget<wxNotebook>("高级选择夹1")->GetSelection(), 1);

  auto* bitmap = Widget<wxStaticBitmap>("Velmora留言系统图片框1");
  ASSERT_TRUE(PumpUntil([&] { return bitmap->GetBitmap().IsOk(); }));
  const wxImage shown = bitmap->GetBitmap().ConvertToImage();
  EXPECT_EQ(shown.GetSize(), wxSize(30, 30));
  EXPECT_GT(shown.GetRed(15, 15), 180);
  EXPECT_LT(shown.GetGreen(15, 15), 60);

  // The page carries no charset: it reads as code page 936 only when the view was told so.
  ASSERT_TRUE(PumpUntil([&] { return ControlWidget(frame, "Velmora留言系统超文本浏览框1") != nullptr; }));
  auto* web = dynamic_cast<wxWebView*>(ControlWidget(frame, "Velmora留言系统超文本浏览框1"));
  ASSERT_TRUE(web) << "no web view on this machine";
  EXPECT_EQ(web->GetParent(), Widget<wxNotebook>("高级选择夹1")->GetPage(1));
  EXPECT_TRUE(PumpUntil([&] { return web->GetCurrentTitle() == U8(u8"留言板 第1页"); }, 20000))
      << web->GetCurrentTitle().utf8_string();
  EXPECT_FALSE(test::SaveScreenshot("window-board.png").empty());

  // Showing the model's values is not user input: no handler ran.
  PumpFor(100);
  EXPECT_EQ(loopedBack.load(), 0);
  EXPECT_EQ(app->window.GetText("编辑框1"), "三体");

  // Timers tick through the model's event table, and a period of 0 stops them.
  std::atomic<int> ticks{0};
  app->window.Bind("广告时钟", Event::Tick, [&](int) { ++ticks; });
  std::thread([&] { app->window.SetTimerPeriod("广告时钟", 20); }).join();
  EXPECT_TRUE(PumpUntil([&] { return ticks >= 3; }));
  std::thread([&] { app->window.SetTimerPeriod("广告时钟", 0); }).join();
  PumpFor(100);
  const int stoppedAt = ticks;
  PumpFor(300);
  EXPECT_EQ(ticks.load(), stoppedAt);
}

TEST_F(WindowTest, UserInputReachesTheHandlersWithTheModelUpToDate) {
  WindowModel& w = app->window;
  Text textAtEnter;
  int keys = 0, enters = 0, clicks = 0, rightClicks = 0, doubleClicks = 0, tickerDowns = 0, menuChoices = 0;
  int selectedAtDoubleClick = -2;
  w.Bind("编辑框1", Event::KeyPressed, [&](int key) {
    ++keys;
    if (key == 13) {
      ++enters;
      textAtEnter = w.GetText("编辑框1");
    }
  });
  w.Bind("按钮1", Event::Clicked, [&](int) { ++clicks; });
  w.Bind("超级列表框1", Event::DoubleClicked, [&](int) {
    ++doubleClicks;
    selectedAtDoubleClick = w.GetSelected("超级列表框1");
  });
  w.Bind("超级列表框1", Event::RightClicked, [&](int) {
    ++rightClicks;
    ResultListRightClicked(*app);
  });
  w.Bind(Text(kMenuDownloadSelected), Event::MenuSelected, [&](int) { ++menuChoices; });
  w.Bind("滚动条", Event::LeftButtonDown, [&](int) { ++tickerDowns; });
  for (int r = 0; r < 2; ++r)
    w.SetCell("超级列表框1", w.AppendRow("超级列表框1"), 0, "行" + std::to_string(r));

  wxUIActionSimulator sim;
  auto* edit = Widget<wxTextCtrl>("编辑框1");
  Click(edit);
  edit->SetFocus();
  PumpFor(100);
  sim.Text("abc");
  sim.Char(WXK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return enters == 1; })) << "keys seen: " << keys;
  EXPECT_EQ(textAtEnter, "abc");
  EXPECT_GE(keys, 4);

  Click(Widget<wxWindow>("按钮1"));
  EXPECT_TRUE(PumpUntil([&] { return clicks == 1; }));

  auto* list = Widget<wxListCtrl>("超级列表框1");
  ASSERT_TRUE(PumpUntil([&] { return list->GetItemCount() == 2; }));
  wxRect rowRect;
  ASSERT_TRUE(list->GetItemRect(1, rowRect));
  sim.MouseMove(list->ClientToScreen(rowRect.GetPosition() + wxPoint(40, rowRect.height / 2)));
  PumpFor(50);
  sim.MouseDblClick();
  EXPECT_TRUE(PumpUntil([&] { return doubleClicks == 1; }));
  EXPECT_EQ(selectedAtDoubleClick, 1);

  // A right click below the rows opens the menu; the keyboard picks its first item.
  sim.MouseMove(list->ClientToScreen(wxPoint(200, 250)));
  PumpFor(50);
  // The menu runs a loop of its own until it is closed, so the keys come from outside.
  std::thread menuKeys([] { std::system("sleep 0.6; xdotool key Down; sleep 0.1; xdotool key Return"); });
  sim.MouseClick(wxMOUSE_BTN_RIGHT);
  EXPECT_TRUE(PumpUntil([&] { return menuChoices == 1; }));
  EXPECT_EQ(rightClicks, 1);
  menuKeys.join();

  // The small HTML box opens its links itself.
  std::vector<std::string> opened;
  SetUrlHandler([&](const std::string& utf8) {
    opened.push_back(utf8);
    return true;
  });
  auto* links = Widget<wxWindow>("简单超文本框2");
  sim.MouseMove(links->ClientToScreen(wxPoint(8, links->GetClientSize().y / 2)));
  PumpFor(50);
  sim.MouseClick();
  EXPECT_TRUE(PumpUntil([&] { return !opened.empty(); }));
  SetUrlHandler({});
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], std::string(kPublisherSiteLink));

  wxWindow* ticker = Widget<wxWindow>("滚动条");
  sim.MouseMove(ticker->ClientToScreen(LabelTextRect(ticker).GetPosition() + wxPoint(10, 8)));
  PumpFor(50);
  sim.MouseClick();
  EXPECT_TRUE(PumpUntil([&] { return tickerDowns == 1; }));
}

TEST_F(WindowTest, AWaitingHandlerKeepsTheWindowPaintingAndTakesNoInput) {
  WindowModel& w = app->window;
  w.SetDisabled("按钮4", false);
  int otherClicks = 0;
  bool busyWhileWaiting = false, statusWhileWaiting = false, workerChangeShown = false;
  w.Bind("按钮4", Event::Clicked, [&](int) { ++otherClicks; });
  wxWindow* button4 = Widget<wxWindow>("按钮4");
  wxWindow* label5 = Widget<wxWindow>("标签5");
  w.Bind("按钮1", Event::Clicked, [&](int) {
    // As a search does while it waits for the network.
    wxUIActionSimulator sim;
    sim.MouseMove(Centre(button4));
    std::thread([&] { w.SetText("标签5", "当前第2页"); }).detach();
    for (int i = 0; i < 150; ++i) {
      if (i == 20) sim.MouseClick();
      LetPendingEventsRun();
      std::this_thread::sleep_for(std::chrono::milliseconds(4));
    }
    busyWhileWaiting = wxIsBusy();
    wxWindow* status = ControlWidget(frame, kBusyStatusName);
    statusWhileWaiting =
        status && status->IsShown() && status->GetLabel() == U8(u8"正在搜索…（按 Esc 取消）");
    workerChangeShown = label5->GetLabel() == U8(u8"当前第2页");
  });
  Click(Widget<wxWindow>("按钮1"));
  ASSERT_TRUE(PumpUntil([&] { return busyWhileWaiting || statusWhileWaiting; }));
  EXPECT_TRUE(busyWhileWaiting);
  EXPECT_TRUE(statusWhileWaiting);
  EXPECT_TRUE(workerChangeShown);
  PumpFor(300);
  EXPECT_EQ(otherClicks, 0);  // swallowed, not replayed afterwards
  EXPECT_FALSE(wxIsBusy());
  EXPECT_FALSE(ControlWidget(frame, kBusyStatusName)->IsShown());
  Click(button4);
  EXPECT_TRUE(PumpUntil([&] { return otherClicks == 1; }));
}

GtkWidget* VisibleMessageDialog() {
  GtkWidget* found = nullptr;
  GList* all = gtk_window_list_toplevels();
  for (GList* l = all; l; l = l->next) {
    if (GTK_IS_MESSAGE_DIALOG(l->data) && gtk_widget_get_visible(GTK_WIDGET(l->data)))
      found = GTK_WIDGET(l->data);
  }
  g_list_free(all);
  return found;
}

// Runs `onShown` once a message box is up. The box runs a loop of its own until it is dismissed, so
// this is driven by a timer, which ticks inside that loop.
void WhenMessageBoxShows(std::function<void(GtkWidget*)> onShown) {
  auto* timer = new wxTimer;
  timer->Bind(wxEVT_TIMER, [timer, onShown](wxTimerEvent&) {
    GtkWidget* dialog = VisibleMessageDialog();
    if (!dialog) return;
    timer->Stop();
    onShown(dialog);
    wxTheApp->CallAfter([timer] { delete timer; });
  });
  timer->Start(10);
}

TEST_F(WindowTest, AMessageBoxFromAWorkerBlocksOnlyThatWorker) {
  std::atomic<bool> returned{false};
  bool shown = false, guiWentOn = false, workerWaited = false;
  wxString title, message;
  wxWindow* label = Widget<wxWindow>("Velmora留言系统标签21");
  WhenMessageBoxShows([&](GtkWidget* dialog) {
    shown = true;
    title = wxString::FromUTF8(gtk_window_get_title(GTK_WINDOW(dialog)));
    gchar* text = nullptr;
    g_object_get(dialog, "text", &text, nullptr);
    message = wxString::FromUTF8(text ? text : "");
    g_free(text);
    // The GUI thread goes on while the worker waits.
    std::thread([&] { app->window.SetText("Velmora留言系统标签21", "获取失败"); }).join();
    guiWentOn = PumpUntil([&] { return label->GetLabel() == U8(u8"获取失败"); });
    workerWaited = !returned;
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
  });
  std::thread worker([&] {
    app->window.MessageBox("连接收信服务器失败");
    returned = true;
  });
  EXPECT_TRUE(PumpUntil([&] { return returned.load(); }, 20000));
  worker.join();
  EXPECT_TRUE(shown);
  EXPECT_EQ(title, U8(u8"信息："));
  EXPECT_EQ(message, U8(u8"连接收信服务器失败"));
  EXPECT_TRUE(guiWentOn);
  EXPECT_TRUE(workerWaited);
}

TEST_F(WindowTest, ClosingWritesTheSettingsAndLeavesRunningWorkersHarmless) {
  WindowModel& w = app->window;
  Widget<wxTextCtrl>("编辑框1")->SetValue(U8(u8"围城"));  // as typed: the model follows the box
  EXPECT_EQ(w.GetText("编辑框1"), "围城");

  // A close asked for while a handler waits happens once it is done.
  bool aliveAfterClose = false;
  w.Bind("按钮1", Event::Clicked, [&](int) {
    frame->Close();
    for (int i = 0; i < 20; ++i) {
      LetPendingEventsRun();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    aliveAfterClose = frame && frame->IsShown();
  });
  std::atomic<bool> stop{false};
  std::atomic<int> boxesReturned{0};
  std::thread busyWorker([&] {
    while (!stop) {
      w.SetText("标签5", "当前第9页");
      w.SetCell("超级列表框1", w.AppendRow("超级列表框1"), 0, "x");
      w.SetLeft("滚动条", w.GetLeft("滚动条") - 1);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  std::thread boxWorker([&] {
    w.MessageBox("连接收信服务器失败");
    ++boxesReturned;
  });
  WhenMessageBoxShows([](GtkWidget* dialog) { gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK); });
  ASSERT_TRUE(PumpUntil([&] { return boxesReturned == 1; }));
  Click(Widget<wxWindow>("按钮1"));
  ASSERT_TRUE(PumpUntil([&] { return !frame; }));
  EXPECT_TRUE(aliveAfterClose);

  Bytes settings;
  ASSERT_TRUE(ReadWholeFile(SettingsFilePath(runDirectory), settings));
  const Text written(settings.begin(), settings.end());
  EXPECT_NE(written.find("围城"), Text::npos) << written;

  ProgramExit(*app);
  std::thread lateBox([&] {
    w.MessageBox("迟到的消息");
    ++boxesReturned;
  });
  PumpFor(200);
  lateBox.join();  // returns without a window to show it in
  EXPECT_EQ(boxesReturned.load(), 2);
  stop = true;
  busyWorker.join();
  boxWorker.join();
}

// The pages not shown at start are built once the window is up; what the model said of their controls
// before that shows in them.
TEST(WindowStart, ChangesMadeBeforeTheHiddenPagesAreBuiltShowInThem) {
  const std::string dir = test::MakeTempDirectory();
  auto app = CreateApp(dir);
  app->workersAtStart = false;  // no mailbox here
  wxWeakRef<wxFrame> frame = OpenMainWindow(app);
  ASSERT_TRUE(frame);
  std::thread([&] {
    app->window.SetText("编辑框4", "新的说明");
    app->window.SetDisabled("Velmora留言系统组合框1", true);
  }).join();
  ASSERT_TRUE(PumpUntil([&] { return frame->IsShownOnScreen(); }));
  ASSERT_TRUE(PumpUntil([&] { return ControlWidget(frame, "编辑框4") != nullptr; }));
  PumpFor(100);
  auto* notes = dynamic_cast<wxTextCtrl*>(ControlWidget(frame, "编辑框4"));
  ASSERT_TRUE(notes);
  EXPECT_EQ(notes->GetValue(), U8(u8"新的说明"));
  wxWindow* qq = ControlWidget(frame, "Velmora留言系统组合框1");
  ASSERT_TRUE(qq);
  EXPECT_FALSE(qq->IsEnabled());
  frame->Close();
  PumpUntil([&] { return !frame; });
  ProgramExit(*app);
}

// The program itself, with every service on a port that takes connections and never answers: the window
// comes up, and SIGTERM closes it the close box's way.
TEST(WindowProgram, ComesUpWithUnreachableServicesAndClosesOnTerminate) {
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 64), 0);
  socklen_t length = sizeof address;
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  const std::string host = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
  const std::string dir = test::MakeTempDirectory();
  std::ofstream(dir + "/endpoints.ini")
      << "[endpoints]\nSearchEngineHost=" << host << "\nShareSiteDomain=" << host
      << "\nPublisherHost=" << host << "\nMailPop3Host=" << host << "\nMailSmtpHost=" << host
      << "\nQqAvatarHost=" << host << "\nQqChatHost=" << host << "\nQqProfileHost=" << host
      << "\nQqTimeHost=" << host << "\nStaticContentHost=" << host << "\n";
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    setenv("SARVOKE_ENDPOINTS", (dir + "/endpoints.ini").c_str(), 1);
    execl(SARVOKE_WINDOW_PROGRAM, SARVOKE_WINDOW_PROGRAM, "--run-dir", dir.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  const std::string wait = "xdotool search --sync --onlyvisible --name 'Sarvoke' >/dev/null 2>&1";
  const std::string command = "timeout 30 " + wait;
  EXPECT_EQ(std::system(command.c_str()), 0);
  kill(child, SIGTERM);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(FileExists(SettingsFilePath(dir)));  // WindowClosing ran
  close(listener);
}

// A listener whose queue takes connections and never answers: a fetch from it waits for the give-up times.
// Its give-up times are set far beyond the test's own time limit, so that only a cancelled wait ends.
struct SilentListener {
  int fd = -1;
  int port = 0;
  HttpTimeouts saved = CurrentHttpTimeouts();
  SilentListener() {
    SetHttpTimeouts({15000, 3600, 3600000});
    fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(fd, 16);
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
  }
  ~SilentListener() {
    close(fd);
    SetHttpTimeouts(saved);
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port) + "/"; }
};

// The close button while a handler waits for a server that never answers: the wait is given up at
// once, the handler ends as for a failed fetch, and the window closes.
TEST_F(WindowTest, TheCloseButtonDuringAWaitCancelsItAndCloses) {
  SilentListener server;
  bool fetched = true, handlerEnded = false, busy = false;
  GtkWidget* toplevel = frame->GetHandle();
  app->window.Bind("按钮1", Event::Clicked, [&](int) {
    // Clicked while the handler waits (far sooner than the 30 s a silent server is given).
    std::thread click([toplevel] {
      usleep(700000);
      test::SendCloseButton(toplevel);
    });
    fetched = !HttpFetch(server.Url()).empty();
    busy = wxIsBusy();
    handlerEnded = true;
    click.join();
  });
  Click(Widget<wxWindow>("按钮1"));
  ASSERT_TRUE(PumpUntil([&] { return handlerEnded; }));
  EXPECT_TRUE(busy);
  EXPECT_FALSE(fetched);
  EXPECT_TRUE(PumpUntil([&] { return !frame; }));
}

// Esc while a handler waits cancels the wait; the window stays and takes input again.
TEST_F(WindowTest, EscDuringAWaitCancelsIt) {
  SilentListener server;
  int handlerRuns = 0;
  bool fetched = true;
  app->window.Bind("按钮1", Event::Clicked, [&](int) {
    ++handlerRuns;
    std::thread key([] {
      usleep(700000);
      std::system("xdotool key Escape");
    });
    fetched = !HttpFetch(server.Url()).empty();
    // A second fetch of the same handler does not wait either.
    fetched = fetched || !HttpFetch(server.Url()).empty();
    key.join();
  });
  Click(Widget<wxWindow>("按钮1"));
  ASSERT_TRUE(PumpUntil([&] { return handlerRuns == 1 && !wxIsBusy(); }));
  EXPECT_FALSE(fetched);
  EXPECT_TRUE(frame && frame->IsShown());
  // The next wait is not cancelled beforehand.
  int clicks = 0;
  app->window.Bind("按钮1", Event::Clicked, [&](int) { ++clicks; });
  Click(Widget<wxWindow>("按钮1"));
  EXPECT_TRUE(PumpUntil([&] { return clicks == 1; }));
}

}  // namespace
}  // namespace sarvoke
