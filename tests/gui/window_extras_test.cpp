// The window's later additions against the lab: dead shares greyed in the result list once the background
// check has marked them, while the window goes on taking input, and the two copy items putting their text
// on the system's clipboard.
#include <gtest/gtest.h>
#include <wx/clipbrd.h>
#include <wx/listctrl.h>
#include <wx/uiaction.h>
#include <wx/weakref.h>
#include <wx/wx.h>

#include <memory>

#include "app/app.h"
#include "app/main_window.h"
#include "gui/main_frame.h"
#include "gui/wx_text.h"
#include "gui_test_support.h"
#include "lab_server.h"
#include "net/endpoints.h"
#include "share/direct_link.h"
#include "share/liveness_check.h"
#include "text/code_page.h"

namespace sarvoke {
namespace {

using test::PumpFor;
using test::PumpUntil;

class WindowExtras : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(lab.Start());
    Endpoints e = DefaultEndpoints();
    e.searchEngineHost = lab.SearchEngineHost();
    e.publisherHost = lab.PublisherHost();
    e.shareSiteDomain = lab.ShareSiteDomain();
    SetCurrentEndpoints(e);
    dir = test::MakeTempDirectory();
    app = CreateApp(dir);
    app->workersAtStart = false;  // no mailbox here
    frame = OpenMainWindow(app);
    ASSERT_TRUE(frame);
    ASSERT_TRUE(PumpUntil([&] { return frame->IsShownOnScreen(); }));
    PumpFor(200);
    list = dynamic_cast<wxListCtrl*>(ControlWidget(frame, "超级列表框1"));
    ASSERT_TRUE(list);
  }
  void TearDown() override {
    if (frame) frame->Close();
    PumpUntil([&] { return !frame; });
    ProgramExit(*app);
    lab.Stop();
  }
  // Types the word through the model and clicks "搜索" as a person would.
  void SearchFor(const Text& word, int rows) {
    app->window.SetText("编辑框1", word);
    PumpFor(50);
    wxWindow* button = ControlWidget(frame, "按钮1");
    ASSERT_TRUE(button);
    wxUIActionSimulator sim;
    sim.MouseMove(button->ClientToScreen(wxPoint(button->GetClientSize().x / 2, button->GetClientSize().y / 2)));
    PumpFor(50);
    sim.MouseClick();
    ASSERT_TRUE(PumpUntil([&] { return list->GetItemCount() == rows; }, 30000));
  }
  bool Greyed(int row) {
    const wxColour c = list->GetItemTextColour(row);
    return c.IsOk() && c == DeadRowColour();
  }
  static wxString ClipboardText() {
    wxString text;
    if (!wxTheClipboard->Open()) return text;
    wxTextDataObject data;
    if (wxTheClipboard->GetData(data)) text = data.GetText();
    wxTheClipboard->Close();
    return text;
  }

  lab::LabServer lab{lab::LabOptions{}};
  std::string dir;
  std::shared_ptr<App> app;
  wxWeakRef<wxFrame> frame;
  wxListCtrl* list = nullptr;
};

TEST_F(WindowExtras, ADeadShareIsGreyedOnceCheckedAndTheRowsStayAsTheyWere) {
  SearchFor("流浪地球", 2);
  const auto rows = app->window.Rows("超级列表框1");
  ASSERT_TRUE(PumpUntil([&] { return Greyed(1); }, 20000)) << "the taken-down share is not greyed";
  EXPECT_EQ(app->window.RowMarks("超级列表框1"), (std::vector<RowMark>{RowMark::Alive, RowMark::Dead}));
  EXPECT_FALSE(Greyed(0));
  for (int r = 0; r < 2; ++r) EXPECT_EQ(list->GetItemText(r, 0), ToWx(rows[r][0]));
  EXPECT_FALSE(test::SaveScreenshot("window-dead-share.png").empty());

  // A new list brings every row back to the list's own colour.
  SearchFor("office2010", 1);
  PumpFor(300);
  EXPECT_FALSE(Greyed(0));
}

TEST_F(WindowExtras, TheWindowTakesInputWhileAStalledPageIsChecked) {
  // A time-out far longer than the test, so that the page is still being waited for at its end.
  const HttpBatchOptions saved = CurrentRowCheckLimits();
  HttpBatchOptions patient = saved;
  patient.timeoutMs = 120000;
  SetRowCheckLimits(patient);
  SearchFor("stalled_page", 1);
  ASSERT_EQ(app->window.GetRowMark("超级列表框1", 0), RowMark::None);
  // The check waits for the stalled page on its worker: the window is not busy and a typed word arrives.
  auto* edit = dynamic_cast<wxTextCtrl*>(ControlWidget(frame, "编辑框1"));
  ASSERT_TRUE(edit);
  edit->SetFocus();
  edit->SelectAll();
  PumpFor(50);
  wxUIActionSimulator sim;
  sim.Text("abc");
  EXPECT_TRUE(PumpUntil([&] { return app->window.GetText("编辑框1") == "abc"; }, 5000));
  EXPECT_EQ(app->window.GetRowMark("超级列表框1", 0), RowMark::None);
  SetRowCheckLimits(saved);
}

TEST_F(WindowExtras, TheCopyItemsPutTheirTextOnTheClipboard) {
  SearchFor("office2010", 1);
  app->window.SetSelected("超级列表框1", 0);
  PumpFor(50);
  const Text page = ShareUrlOfRow(*app, 0);
  struct Case {
    const char* label;
    std::string_view item;
    Text want;
  } cases[] = {
      {"the share page", kMenuCopySharePage, page},
      {"the direct link, resolved", kMenuCopyDirectLink, ResolveDirectLink(page)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ASSERT_FALSE(c.want.empty());
    ASSERT_TRUE(app->window.Fire(Text(c.item), Event::MenuSelected));
    EXPECT_TRUE(PumpUntil([&] { return ClipboardText() == ToWx(c.want); }, 5000))
        << ClipboardText().utf8_string() << " is not " << AnsiToUtf8(c.want);
  }
}

}  // namespace
}  // namespace sarvoke
