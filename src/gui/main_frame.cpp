#include "gui/main_frame.h"

#include <wx/clipbrd.h>
#include <wx/dcmemory.h>
#include <wx/eventfilter.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/filesys.h>
#include <wx/html/htmlwin.h>
#include <wx/listctrl.h>
#include <wx/mstream.h>
#include <wx/notebook.h>
#include <wx/wx.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "app/app.h"
#include "app/main_window.h"
#include "gui/native_backend.h"
#include "gui/web_view_module.h"
#include "gui/wx_text.h"
#include "platform/event_pump.h"
#include "platform/files.h"
#include "platform/url_opener.h"
#include "text/code_page.h"

namespace sarvoke {
namespace {

const wxString kFontFace = "Noto Sans CJK SC";
constexpr int kFontPixels = 12;

// The news ticker's label.
constexpr std::string_view kHeadlineName = "滚动条";

// The controls whose handlers search; their busy status says so.
bool IsSearchControl(const Text& name) {
  return name == "按钮1" || name == "编辑框1" || name == "按钮2" || name == "按钮3";
}

wxColour ColourOf(unsigned rgb) { return wxColour((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

// Windows virtual-key code of a key event, as the key-pressed handlers expect (Enter is 13).
int VirtualKeyOf(const wxKeyEvent& e) {
  const int k = e.GetKeyCode();
  switch (k) {
    case WXK_RETURN:
    case WXK_NUMPAD_ENTER:
      return 13;
    case WXK_BACK:
      return 8;
    case WXK_TAB:
      return 9;
    case WXK_ESCAPE:
      return 27;
    case WXK_SPACE:
      return 32;
    case WXK_PAGEUP:
      return 33;
    case WXK_PAGEDOWN:
      return 34;
    case WXK_END:
      return 35;
    case WXK_HOME:
      return 36;
    case WXK_LEFT:
      return 37;
    case WXK_UP:
      return 38;
    case WXK_RIGHT:
      return 39;
    case WXK_DOWN:
      return 40;
    case WXK_INSERT:
      return 45;
    case WXK_DELETE:
      return 46;
    case WXK_SHIFT:
      return 16;
    case WXK_CONTROL:
      return 17;
    case WXK_ALT:
      return 18;
    default:
      break;
  }
  if (k >= WXK_F1 && k <= WXK_F12) return 112 + (k - WXK_F1);
  if (k >= WXK_NUMPAD0 && k <= WXK_NUMPAD9) return 96 + (k - WXK_NUMPAD0);
  if (k >= 'a' && k <= 'z') return k - 'a' + 'A';
  return k > 0 && k < 128 ? k : 0;
}

// Lines of the multi-line boxes are separated by CR LF; the toolkit wants LF alone.
wxString WithoutCarriageReturns(const Text& text) {
  wxString s = ToWx(text);
  s.Replace("\r\n", "\n");
  return s;
}

// A label: its text drawn centred vertically, in a window of its own so that it takes mouse clicks and
// can slide over its neighbours (the ticker).
class LabelWidget : public wxWindow {
 public:
  LabelWidget(wxWindow* parent, const wxString& name, const wxPoint& pos, const wxSize& size)
      : wxWindow(parent, wxID_ANY, pos, size, wxBORDER_NONE | wxFULL_REPAINT_ON_RESIZE, name) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &LabelWidget::OnPaint, this);
  }
  void SetLabel(const wxString& s) override {
    if (s == text_) return;
    text_ = s;
    picture_ = wxBitmap();
    Refresh();
  }
  wxString GetLabel() const override { return text_; }
  bool AcceptsFocus() const override { return false; }
  bool SetForegroundColour(const wxColour& c) override {
    picture_ = wxBitmap();
    return wxWindow::SetForegroundColour(c);
  }
  bool SetBackgroundColour(const wxColour& c) override {
    picture_ = wxBitmap();
    return wxWindow::SetBackgroundColour(c);
  }
  // Where the text stands inside the widget, for a label that moves along a row of its own (the news
  // ticker): the widget keeps its place and only the text's old and new places are painted again.
  // Moving a widget fifty times a second would have the toolkit lay out the whole window each time.
  void SetTextPlace(int x, int width) {
    if (x == textX_ && width == textWidth_) return;
    const int h = GetClientSize().y;
    wxRect dirty(textX_, 0, textWidth_ < 0 ? GetClientSize().x : textWidth_, h);
    textX_ = x;
    textWidth_ = width;
    dirty.Union(wxRect(textX_, 0, std::max(textWidth_, 0), h));
    RefreshRect(dirty, false);
  }
  wxRect TextRect() const {
    return wxRect(textX_, 0, textWidth_ < 0 ? GetClientSize().x : textWidth_, GetClientSize().y);
  }

 private:
  // The text is laid out and drawn once into a picture; a paint only copies the picture.
  void OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    const wxSize size = GetClientSize();
    const wxColour back = UseBgCol() ? GetBackgroundColour() : GetParent()->GetBackgroundColour();
    const wxSize textSize(textWidth_ < 0 ? size.x : textWidth_, size.y);
    if (!picture_.IsOk() || picture_.GetSize() != textSize || pictureBack_ != back) {
      picture_ = wxBitmap(std::max(textSize.x, 1), std::max(textSize.y, 1));
      pictureBack_ = back;
      wxMemoryDC memory(picture_);
      memory.SetBackground(wxBrush(back));
      memory.Clear();
      memory.SetFont(GetFont());
      memory.SetTextForeground(GetForegroundColour());
      const wxSize extent = memory.GetTextExtent(text_.empty() ? wxString("X") : text_);
      memory.DrawText(text_, 0, (size.y - extent.y) / 2);
    }
    dc.SetBackground(wxBrush(back));
    if (textWidth_ >= 0) dc.Clear();
    dc.DrawBitmap(picture_, textX_, 0);
  }
  wxString text_;
  wxBitmap picture_;
  wxColour pictureBack_;
  int textX_ = 0;
  int textWidth_ = -1;  // -1: the whole widget
};

// The small HTML box: its links drawn side by side, separated by "|", each opened through OpenUrl when
// clicked. Drawn by itself, as a whole HTML window costs more at start-up than the rest of the top row.
class LinksWidget : public wxWindow {
 public:
  LinksWidget(wxWindow* parent, const wxString& name, const wxPoint& pos, const wxSize& size)
      : wxWindow(parent, wxID_ANY, pos, size, wxBORDER_NONE | wxFULL_REPAINT_ON_RESIZE, name) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &LinksWidget::OnPaint, this);
    Bind(wxEVT_MOTION, [this](wxMouseEvent& e) {
      e.Skip();
      SetCursor(LinkAt(e.GetPosition()) >= 0 ? wxCursor(wxCURSOR_HAND) : wxNullCursor);
    });
    Bind(wxEVT_LEFT_UP, [this](wxMouseEvent& e) {
      e.Skip();
      const int index = LinkAt(e.GetPosition());
      if (index >= 0 && onClick_) onClick_(index);
    });
  }
  void SetLinks(const std::vector<wxString>& captions) {
    if (captions == captions_) return;
    captions_ = captions;
    Layout(captions_);
    Refresh();
  }
  void OnClick(std::function<void(int)> f) { onClick_ = std::move(f); }
  wxString GetLabel() const override {
    wxString all;
    for (std::size_t i = 0; i < captions_.size(); ++i) all += (i > 0 ? "|" : "") + captions_[i];
    return all;
  }
  bool AcceptsFocus() const override { return false; }

 private:
  // Where each caption and separator goes, from the left edge.
  void Layout(const std::vector<wxString>& captions) {
    spans_.clear();
    wxClientDC dc(this);
    dc.SetFont(GetFont());
    int x = 0;
    for (std::size_t i = 0; i < captions.size(); ++i) {
      if (i > 0) x += dc.GetTextExtent("|").x;
      const int width = dc.GetTextExtent(captions[i]).x;
      spans_.push_back({x, width});
      x += width;
    }
  }
  int LinkAt(const wxPoint& p) const {
    for (std::size_t i = 0; i < spans_.size(); ++i) {
      if (p.x >= spans_[i].first && p.x < spans_[i].first + spans_[i].second) return static_cast<int>(i);
    }
    return -1;
  }
  void OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    dc.SetBackground(wxBrush(GetParent()->GetBackgroundColour()));
    dc.Clear();
    wxFont font = GetFont();
    const int y = (GetClientSize().y - dc.GetTextExtent("X").y) / 2;
    for (std::size_t i = 0; i < captions_.size() && i < spans_.size(); ++i) {
      if (i > 0) {
        dc.SetFont(font);
        dc.SetTextForeground(GetParent()->GetForegroundColour());
        dc.DrawText("|", spans_[i].first - dc.GetTextExtent("|").x, y);
      }
      dc.SetFont(font.Underlined());
      dc.SetTextForeground(*wxBLUE);
      dc.DrawText(captions_[i], spans_[i].first, y);
    }
  }
  std::vector<wxString> captions_;
  std::vector<std::pair<int, int>> spans_;
  std::function<void(int)> onClick_;
};

// The board's browser box where no web view can be created: the page file read as code page 936, its
// pictures found beside it.
class HtmlFallback : public wxHtmlWindow {
 public:
  HtmlFallback(wxWindow* parent, const wxString& name, const wxPoint& pos, const wxSize& size)
      : wxHtmlWindow(parent, wxID_ANY, pos, size, wxHW_DEFAULT_STYLE, name) {}
  void ShowFile(const std::string& path) {
    Bytes bytes;
    if (!ReadWholeFile(path, bytes)) {
      SetPage(wxString());
      return;
    }
    const Text utf8 = AnsiToUtf8(Text(bytes.begin(), bytes.end()));
    m_FS->ChangePathTo(wxString::FromUTF8(path.c_str()), false);
    SetPage(wxString::FromUTF8(utf8.data(), utf8.size()));
  }
};

struct Widget {
  Text name;
  ControlKind kind = ControlKind::Label;
  bool onPage = false;
  wxWindow* window = nullptr;
  std::unique_ptr<wxTimer> timer;
  bool headline = false;    // the news ticker's label, which moves inside its row
  wxWindow* web = nullptr;  // made by the web view module
  HtmlFallback* fallback = nullptr;
  std::uint64_t rowsShown = 0;  // the list's row revision the widget mirrors
};

class MainFrame;

// A message box asked for on a worker thread, waiting for the GUI thread to show it.
struct PendingBox {
  Text message;
  bool done = false;
};

// What the view's callbacks (any thread) share with the frame (GUI thread). `frame` is cleared under the
// lock before the frame goes, so nothing is posted to a frame that no longer exists.
struct Bridge {
  std::mutex mutex;
  std::condition_variable boxDone;
  MainFrame* frame = nullptr;
  std::thread::id guiThread;
  std::set<std::pair<Text, Property>> pending;  // changes not yet shown
  bool flushPosted = false;
  std::deque<std::shared_ptr<PendingBox>> boxes;
};

class MainFrame;

// Swallows user input to the main window while a handler runs, so that handlers stay sequential.
class InputBlocker : public wxEventFilter {
 public:
  explicit InputBlocker(MainFrame* frame) : frame_(frame) {}
  int FilterEvent(wxEvent& event) override;

 private:
  MainFrame* frame_;
};

bool IsUserInput(wxEventType t) {
  return t == wxEVT_KEY_DOWN || t == wxEVT_KEY_UP || t == wxEVT_CHAR || t == wxEVT_CHAR_HOOK ||
         t == wxEVT_LEFT_DOWN || t == wxEVT_LEFT_UP || t == wxEVT_LEFT_DCLICK || t == wxEVT_RIGHT_DOWN ||
         t == wxEVT_RIGHT_UP || t == wxEVT_RIGHT_DCLICK || t == wxEVT_MIDDLE_DOWN || t == wxEVT_MIDDLE_UP ||
         t == wxEVT_MIDDLE_DCLICK || t == wxEVT_AUX1_DOWN || t == wxEVT_AUX2_DOWN || t == wxEVT_MOUSEWHEEL ||
         t == wxEVT_CONTEXT_MENU || t == wxEVT_BUTTON || t == wxEVT_CHOICE ||
         t == wxEVT_LIST_ITEM_ACTIVATED || t == wxEVT_HTML_LINK_CLICKED;
}

class MainFrame : public wxFrame {
 public:
  explicit MainFrame(const std::shared_ptr<App>& app);
  ~MainFrame() override;

  void RunHandler(const Text& control, Event event, int arg = 0);
  void FlushChanges();
  void ShowQueuedBoxes();
  void ShowMessageBoxNow(const Text& message);
  std::string AskSaveFileNameNow(const Text& title, const Text& suggestedName);
  void ShowMenu(const Text& menu);
  void OnShown();
  bool BlocksInput() const { return handlerDepth_ > 0; }
  bool InHandler() const { return handlerDepth_ > 0; }

 private:
  struct Deferred {
    Text control;
    Event event;
    int arg;
  };

  WindowModel& Model() { return app_->window; }
  void CreateWidget(const Control& c);
  bool OnHiddenPage(const Control& c) const;
  void CreateLaterWidgets();
  wxWindow* ParentOf(const Control& c);
  void Place(Widget& w, const Control& c);
  void Apply(const Text& name, Property what);
  void ApplyLook();
  void SyncRows(Widget& w, const Control& c);
  void SyncSelection(Widget& w, const Control& c);
  void SyncItems(Widget& w, const Control& c);
  void ShowRowMarks(Widget& w, const Control& c);
  void ShowPicture(Widget& w, const Control& c);
  void ShowBrowserAddress(Widget& w, const Control& c);
  void CreateBrowser(Widget& w, const Control& c);
  void ShowLinks(Widget& w, const Control& c);
  void UpdatePageOffset();
  void Pump();
  void EndBusy();
  void OnClose(wxCloseEvent& e);
  void Shutdown();
  int ListSelection(wxListCtrl* list) const;
  // Whether a point of the list's client area lies on a row.
  static bool RowAt(wxListCtrl* list, const wxPoint& at);
  static void SetClipboardNow(const Text& text);

  std::shared_ptr<App> app_;
  std::shared_ptr<Bridge> bridge_;
  std::map<Text, Widget> widgets_;
  wxPanel* root_ = nullptr;
  wxNotebook* tabs_ = nullptr;
  Text tabsName_;
  std::map<Text, wxPanel*> pages_;  // by caption
  wxPoint pageOffset_;              // where a page's client area starts inside the tab control
  LabelWidget* status_ = nullptr;
  InputBlocker blocker_;
  int handlerDepth_ = 0;
  bool busyShown_ = false;
  Text busyText_;
  bool applying_ = false;  // widget events caused by showing the model are not user input
  bool shown_ = false;
  bool closing_ = false;
  bool closeRequested_ = false;
  bool showingBox_ = false;
  bool shutDown_ = false;
  std::deque<Deferred> deferred_;
  std::vector<Text> later_;  // controls of the pages not shown at start, made once the window is up
};

int InputBlocker::FilterEvent(wxEvent& event) {
  if (!frame_->BlocksInput() || !IsUserInput(event.GetEventType())) return Event_Skip;
  wxWindow* w = dynamic_cast<wxWindow*>(event.GetEventObject());
  if (!w || wxGetTopLevelParent(w) != frame_) return Event_Skip;
  // Esc gives up the wait: the handler sees its transfer fail and ends as it does for any failure.
  if (event.GetEventType() == wxEVT_KEY_DOWN || event.GetEventType() == wxEVT_CHAR_HOOK) {
    if (static_cast<wxKeyEvent&>(event).GetKeyCode() == WXK_ESCAPE) CancelPendingWaits();
  }
  return Event_Processed;
}

MainFrame::MainFrame(const std::shared_ptr<App>& app)
    : wxFrame(nullptr, wxID_ANY, ToWx(app->window.Title()), wxPoint(kWindowLeft, kWindowTop),
              wxSize(kWindowWidth, kWindowHeight),
              wxDEFAULT_FRAME_STYLE & ~(wxRESIZE_BORDER | wxMAXIMIZE_BOX)),
      app_(app),
      bridge_(std::make_shared<Bridge>()),
      blocker_(this) {
  int left = 0, top = 0, width = 0, height = 0;
  Model().WindowGeometry(left, top, width, height);
  SetSize(left, top, width, height);
  SetFont(wxFont(wxFontInfo(wxSize(0, kFontPixels)).FaceName(kFontFace)));
  root_ = new wxPanel(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL, "sarvoke-root");

  for (const Text& name : Model().ControlNames()) {
    const Control c = Model().Snapshot(name);
    if (OnHiddenPage(c)) {
      later_.push_back(name);
    } else {
      CreateWidget(c);
    }
  }

  status_ = new LabelWidget(root_, kBusyStatusName, wxPoint(8, 412), wxSize(480, 20));
  status_->Hide();

  bridge_->frame = this;
  bridge_->guiThread = std::this_thread::get_id();
  std::shared_ptr<Bridge> bridge = bridge_;
  WindowView view;
  // Called on the changing thread: remember what changed and let the GUI thread show it, reading the
  // model's value then, so that a burst of changes is shown once.
  view.changed = [bridge](const Text& control, Property what) {
    std::lock_guard lock(bridge->mutex);
    if (!bridge->frame) return;
    bridge->pending.insert({control, what});
    // A handler's own changes are shown when it ends, or when it waits: no extra round of the event loop
    // for them (the ticker's handler runs fifty times a second).
    if (std::this_thread::get_id() == bridge->guiThread && bridge->frame->InHandler()) return;
    if (bridge->flushPosted) return;
    bridge->flushPosted = true;
    MainFrame* frame = bridge->frame;
    frame->CallAfter([frame] { frame->FlushChanges(); });
  };
  view.messageBox = [bridge](const Text& message) {
    std::unique_lock lock(bridge->mutex);
    if (!bridge->frame) return;
    if (std::this_thread::get_id() == bridge->guiThread) {
      MainFrame* frame = bridge->frame;
      lock.unlock();
      frame->ShowMessageBoxNow(message);
      return;
    }
    // A worker waits here until the GUI thread has shown the box and it was dismissed, or the window went.
    auto box = std::make_shared<PendingBox>();
    box->message = message;
    bridge->boxes.push_back(box);
    MainFrame* frame = bridge->frame;
    frame->CallAfter([frame] { frame->ShowQueuedBoxes(); });
    bridge->boxDone.wait(lock, [&] { return box->done; });
  };
  view.setClipboard = [bridge](const Text& text) {
    std::unique_lock lock(bridge->mutex);
    if (!bridge->frame) return;
    if (std::this_thread::get_id() == bridge->guiThread) {
      lock.unlock();
      SetClipboardNow(text);
      return;
    }
    bridge->frame->CallAfter([text] { SetClipboardNow(text); });
  };
  view.saveFileName = [bridge](const Text& title, const Text& suggestedName) -> std::string {
    std::unique_lock lock(bridge->mutex);
    // A dialog belongs to a handler; a worker has no user to ask.
    if (!bridge->frame || std::this_thread::get_id() != bridge->guiThread) return std::string();
    MainFrame* frame = bridge->frame;
    lock.unlock();
    return frame->AskSaveFileNameNow(title, suggestedName);
  };
  view.popupMenu = [bridge](const Text& menu) {
    std::lock_guard lock(bridge->mutex);
    if (!bridge->frame) return;
    // Shown once the asking handler has returned: the menu runs a loop of its own, and the chosen
    // item's handler must not run inside the right click's.
    MainFrame* frame = bridge->frame;
    frame->CallAfter([frame, menu] { frame->ShowMenu(menu); });
  };
  Model().SetView(std::move(view));

  SetEventPump([this] { Pump(); });
  wxEvtHandler::AddFilter(&blocker_);
  Bind(wxEVT_CLOSE_WINDOW, &MainFrame::OnClose, this);
  // The first paint says the window is on the screen.
  root_->Bind(wxEVT_PAINT, [this](wxPaintEvent& e) {
    e.Skip();
    if (!shown_) CallAfter([this] { OnShown(); });
  });
  ApplyLook();
}

MainFrame::~MainFrame() { Shutdown(); }

wxWindow* MainFrame::ParentOf(const Control& c) {
  if (c.parent.empty()) return root_;
  auto it = pages_.find(c.parent);
  return it == pages_.end() ? static_cast<wxWindow*>(root_) : it->second;
}

bool MainFrame::OnHiddenPage(const Control& c) const {
  if (!tabs_ || c.parent.empty()) return false;
  auto it = pages_.find(c.parent);
  return it != pages_.end() && it->second != tabs_->GetCurrentPage();
}

// Each control is made from the model's state of now, so the changes it missed show.
void MainFrame::CreateLaterWidgets() {
  if (later_.empty() || shutDown_) return;
  std::vector<Text> names;
  names.swap(later_);
  const bool wasApplying = applying_;
  applying_ = true;
  for (const Text& name : names) CreateWidget(Model().Snapshot(name));
  applying_ = wasApplying;
  ApplyLook();
}

void MainFrame::Place(Widget& w, const Control& c) {
  if (!w.window) return;
  if (w.headline) {
    static_cast<LabelWidget*>(w.window)->SetTextPlace(c.left, c.width);
    return;
  }
  int x = c.left, y = c.top;
  if (w.onPage) {
    // The model places page controls relative to the tab control; the page's client area starts below
    // the tabs. A control that would start above it stays at its top edge.
    x = std::max(0, x - pageOffset_.x);
    y = std::max(0, y - pageOffset_.y);
  }
  w.window->SetSize(x, y, c.width, c.height);
}

void MainFrame::CreateWidget(const Control& c) {
  Widget w;
  w.name = c.name;
  w.kind = c.kind;
  wxWindow* parent = ParentOf(c);
  w.onPage = parent != root_;
  const wxString name = ToWx(c.name);
  const wxPoint pos(c.left, c.top);
  const wxSize size(c.width, c.height);
  const Text control = c.name;
  switch (c.kind) {
    case ControlKind::Label: {
      // The headline spans its row; its text stands where the model puts the label.
      const bool headline = c.name == kHeadlineName;
      auto* label = headline
                        ? new LabelWidget(parent, name, wxPoint(0, c.top), wxSize(kWindowWidth, c.height))
                        : new LabelWidget(parent, name, pos, size);
      label->SetLabel(ToWx(c.text));
      if (headline) label->SetTextPlace(c.left, c.width);
      label->Bind(wxEVT_LEFT_DOWN, [this, control, label](wxMouseEvent& e) {
        e.Skip();
        if (label->TextRect().Contains(e.GetPosition())) RunHandler(control, Event::LeftButtonDown);
      });
      w.window = label;
      w.headline = headline;
      break;
    }
    case ControlKind::EditBox: {
      auto* edit = new wxTextCtrl(parent, wxID_ANY, ToWx(c.text), pos, size, 0, wxDefaultValidator, name);
      edit->Bind(wxEVT_TEXT, [this, control, edit](wxCommandEvent&) {
        if (!applying_) Model().SetText(control, FromWx(edit->GetValue()));
      });
      edit->Bind(wxEVT_KEY_DOWN, [this, control, edit](wxKeyEvent& e) {
        e.Skip();
        // What the box holds is in the model before the handler reads it.
        Model().SetText(control, FromWx(edit->GetValue()));
        RunHandler(control, Event::KeyPressed, VirtualKeyOf(e));
      });
      w.window = edit;
      break;
    }
    case ControlKind::MultiLineEditBox:
      w.window = new wxTextCtrl(parent, wxID_ANY, WithoutCarriageReturns(c.text), pos, size,
                                wxTE_MULTILINE | wxTE_READONLY | wxTE_WORDWRAP, wxDefaultValidator, name);
      break;
    case ControlKind::Button: {
      auto* button = new wxButton(parent, wxID_ANY, wxString(), pos, size, 0, wxDefaultValidator, name);
      button->SetLabelText(ToWx(c.text));
      button->Bind(wxEVT_BUTTON, [this, control](wxCommandEvent&) { RunHandler(control, Event::Clicked); });
      w.window = button;
      break;
    }
    case ControlKind::ComboBox: {
      auto* choice = new wxChoice(parent, wxID_ANY, pos, size, 0, nullptr, 0, wxDefaultValidator, name);
      for (const Text& item : c.items) choice->Append(ToWx(item));
      choice->SetSelection(c.selected >= 0 && c.selected < static_cast<int>(c.items.size()) ? c.selected
                                                                                            : wxNOT_FOUND);
      choice->Bind(wxEVT_CHOICE, [this, control, choice](wxCommandEvent&) {
        if (applying_) return;
        Model().SetSelected(control, choice->GetSelection());
        RunHandler(control, Event::ItemSelected);
      });
      w.window = choice;
      break;
    }
    case ControlKind::ListView: {
      auto* list = new wxListCtrl(parent, wxID_ANY, pos, size, wxLC_REPORT | wxLC_SINGLE_SEL | wxBORDER_THEME,
                                  wxDefaultValidator, name);
      for (const ListColumn& col : c.columns)
        list->AppendColumn(ToWx(col.header), wxLIST_FORMAT_LEFT, col.width);
      auto select = [this, control, list](wxListEvent&) {
        if (!applying_) Model().SetSelected(control, ListSelection(list));
      };
      list->Bind(wxEVT_LIST_ITEM_SELECTED, select);
      list->Bind(wxEVT_LIST_ITEM_DESELECTED, select);
      // Clicks anywhere in the list count, over a row or not; the list's inner windows see them.
      for (wxWindow* child : list->GetChildren()) {
        child->Bind(wxEVT_RIGHT_UP, [this, control, list](wxMouseEvent& e) {
          e.Skip();
          Model().SetSelected(control, ListSelection(list));
          RunHandler(control, Event::RightClicked);
        });
        child->Bind(wxEVT_LEFT_DCLICK, [this, control, list, child](wxMouseEvent& e) {
          e.Skip();
          // A double-click away from every row (below the last, on the header) opens nothing, even
          // while an earlier row is still selected.
          const wxPoint at = list->ScreenToClient(child->ClientToScreen(e.GetPosition()));
          if (!RowAt(list, at)) return;
          Model().SetSelected(control, ListSelection(list));
          RunHandler(control, Event::DoubleClicked);
        });
      }
      w.window = list;
      break;
    }
    case ControlKind::TabControl: {
      tabs_ = new wxNotebook(parent, wxID_ANY, pos, size, 0, name);
      tabsName_ = c.name;
      for (const Text& caption : c.items) {
        auto* page =
            new wxPanel(tabs_, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL, ToWx(caption));
        tabs_->AddPage(page, ToWx(caption));
        pages_[caption] = page;
        page->Bind(wxEVT_SIZE, [this](wxSizeEvent& e) {
          e.Skip();
          CallAfter([this] { UpdatePageOffset(); });
        });
      }
      if (c.selected >= 0 && c.selected < static_cast<int>(tabs_->GetPageCount()))
        tabs_->ChangeSelection(c.selected);
      tabs_->Bind(wxEVT_NOTEBOOK_PAGE_CHANGED, [this, control](wxBookCtrlEvent& e) {
        e.Skip();
        CreateLaterWidgets();
        if (!applying_) Model().SetSelected(control, tabs_->GetSelection());
      });
      w.window = tabs_;
      break;
    }
    case ControlKind::PictureBox:
      w.window = new wxStaticBitmap(parent, wxID_ANY, wxBitmapBundle(), pos, size, 0, name);
      break;
    case ControlKind::WebBrowser:
      // Created once the window has painted: a web view costs more than the rest of the window, and
      // shows nothing of what it was given before it was realised.
      break;
    case ControlKind::HtmlBox: {
      auto* links = new LinksWidget(parent, name, pos, size);
      links->OnClick([this, control](int index) {
        const Control box = Model().Snapshot(control);
        if (index < 0 || index >= static_cast<int>(box.links.size())) return;
        OpenUrl(box.links[index].address);
      });
      w.window = links;
      break;
    }
    case ControlKind::Timer: {
      w.timer = std::make_unique<wxTimer>(this);
      const int id = w.timer->GetId();
      Bind(
          wxEVT_TIMER,
          [this, control](wxTimerEvent&) {
            // A tick while a handler waits would run a second handler inside it; the tick is dropped.
            if (handlerDepth_ == 0 && !closing_) RunHandler(control, Event::Tick);
          },
          id);
      if (c.timerPeriod > 0) w.timer->Start(c.timerPeriod);
      break;
    }
  }
  auto& stored = widgets_[c.name] = std::move(w);
  if (stored.kind == ControlKind::HtmlBox) ShowLinks(stored, c);
  // A picture the model got before its page was built (the avatar's worker is quick) shows at once.
  if (stored.kind == ControlKind::PictureBox) ShowPicture(stored, c);
  if (stored.window) {
    Place(stored, c);
    stored.window->Show(c.visible);
    stored.window->Enable(!c.disabled);
  }
}

int MainFrame::ListSelection(wxListCtrl* list) const {
  return static_cast<int>(list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED));
}

void MainFrame::UpdatePageOffset() {
  if (!tabs_ || shutDown_) return;
  wxWindow* page = tabs_->GetCurrentPage();
  if (!page || !page->IsShownOnScreen()) return;
  const wxPoint offset = page->GetScreenPosition() - tabs_->GetScreenPosition();
  if (offset == pageOffset_) return;
  pageOffset_ = offset;
  for (auto& [name, w] : widgets_) {
    if (w.onPage) Place(w, Model().Snapshot(name));
  }
}

void MainFrame::OnShown() {
  if (shutDown_ || shown_) return;
  shown_ = true;
  UpdatePageOffset();
  CreateLaterWidgets();
  for (auto& [name, w] : widgets_) {
    if (w.kind != ControlKind::WebBrowser || w.window) continue;
    const Control c = Model().Snapshot(name);
    CreateBrowser(w, c);
    Place(w, c);
    w.window->Show(c.visible);
    w.window->Enable(!c.disabled);
    ShowBrowserAddress(w, c);
  }
}

void MainFrame::CreateBrowser(Widget& w, const Control& c) {
  wxWindow* parent = ParentOf(c);
  const wxString name = ToWx(c.name);
  const wxPoint pos(c.left, c.top);
  const wxSize size(c.width, c.height);
  const WebViewModule& module = LoadWebViewModule();
  if (module.newView) w.web = module.newView(parent, name, pos, size);
  if (w.web) {
    w.window = w.web;
  } else {
    w.fallback = new HtmlFallback(parent, name, pos, size);
    w.window = w.fallback;
  }
}

void MainFrame::FlushChanges() {
  std::set<std::pair<Text, Property>> work;
  {
    std::lock_guard lock(bridge_->mutex);
    work.swap(bridge_->pending);
    bridge_->flushPosted = false;
  }
  if (shutDown_) return;
  applying_ = true;
  // Items and rows first, so that a selection finds what it selects.
  for (const auto& [name, what] : work) {
    if (what == Property::Items || what == Property::Rows || what == Property::Cell) Apply(name, what);
  }
  for (const auto& [name, what] : work) {
    if (what != Property::Items && what != Property::Rows && what != Property::Cell) Apply(name, what);
  }
  applying_ = false;
}

void MainFrame::Apply(const Text& name, Property what) {
  if (what == Property::Look) {
    ApplyLook();
    return;
  }
  auto it = widgets_.find(name);
  if (it == widgets_.end()) return;
  Widget& w = it->second;
  const Control c = Model().Snapshot(name, w.kind != ControlKind::ListView);
  switch (what) {
    case Property::Text:
      if (!w.window) break;
      if (w.kind == ControlKind::EditBox) {
        auto* edit = static_cast<wxTextCtrl*>(w.window);
        const wxString value = ToWx(c.text);
        // Rewriting the same text would move the caret under the user's fingers.
        if (edit->GetValue() != value) edit->ChangeValue(value);
      } else if (w.kind == ControlKind::MultiLineEditBox) {
        static_cast<wxTextCtrl*>(w.window)->ChangeValue(WithoutCarriageReturns(c.text));
      } else if (w.kind == ControlKind::Button) {
        static_cast<wxButton*>(w.window)->SetLabelText(ToWx(c.text));
      } else if (w.kind == ControlKind::Label) {
        w.window->SetLabel(ToWx(c.text));
      } else if (w.kind == ControlKind::HtmlBox) {
        ShowLinks(w, c);
      }
      break;
    case Property::Disabled:
      if (w.window) w.window->Enable(!c.disabled);
      break;
    case Property::Visible:
      if (w.window) w.window->Show(c.visible);
      break;
    case Property::Geometry:
      Place(w, c);
      break;
    case Property::Selection:
      SyncSelection(w, c);
      break;
    case Property::Items:
      SyncItems(w, c);
      break;
    case Property::Rows:
    case Property::Cell:
      SyncRows(w, c);
      break;
    case Property::RowMarks:
      ShowRowMarks(w, c);
      break;
    case Property::TimerPeriod:
      if (w.timer) {
        if (c.timerPeriod > 0) {
          w.timer->Start(c.timerPeriod);
        } else {
          w.timer->Stop();
        }
      }
      break;
    case Property::Picture:
      ShowPicture(w, c);
      break;
    case Property::BrowserAddress:
      ShowBrowserAddress(w, c);
      break;
    case Property::Look:
      break;
  }
}

void MainFrame::SyncItems(Widget& w, const Control& c) {
  auto* choice = dynamic_cast<wxChoice*>(w.window);
  if (!choice) return;
  bool same = choice->GetCount() == c.items.size();
  for (std::size_t i = 0; same && i < c.items.size(); ++i) same = choice->GetString(i) == ToWx(c.items[i]);
  if (!same) {
    choice->Clear();
    for (const Text& item : c.items) choice->Append(ToWx(item));
  }
  SyncSelection(w, c);
}

void MainFrame::SyncSelection(Widget& w, const Control& c) {
  if (auto* choice = dynamic_cast<wxChoice*>(w.window)) {
    const int next =
        c.selected >= 0 && c.selected < static_cast<int>(choice->GetCount()) ? c.selected : wxNOT_FOUND;
    if (choice->GetSelection() != next) choice->SetSelection(next);
  } else if (auto* list = dynamic_cast<wxListCtrl*>(w.window)) {
    const int current = ListSelection(list);
    if (current == c.selected) return;
    if (current >= 0) list->SetItemState(current, 0, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    if (c.selected >= 0 && c.selected < list->GetItemCount()) {
      list->SetItemState(c.selected, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                         wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
      list->EnsureVisible(c.selected);
    }
  } else if (w.window == tabs_ && tabs_) {
    if (c.selected >= 0 && c.selected < static_cast<int>(tabs_->GetPageCount()) &&
        tabs_->GetSelection() != c.selected) {
      CreateLaterWidgets();
      tabs_->ChangeSelection(c.selected);
    }
  }
}

void MainFrame::SyncRows(Widget& w, const Control& c) {
  auto* list = dynamic_cast<wxListCtrl*>(w.window);
  if (!list) return;
  // Only the rows changed since the last look are read and written: a list that a worker fills row by
  // row would otherwise cost every earlier row again at each change.
  const WindowModel::RowChanges changes = Model().RowsChangedSince(c.name, w.rowsShown);
  w.rowsShown = changes.revision;
  const int columns = list->GetColumnCount();
  list->Freeze();
  if (changes.cleared || changes.rowCount == 0) list->DeleteAllItems();
  while (list->GetItemCount() > changes.rowCount) list->DeleteItem(list->GetItemCount() - 1);
  for (const auto& [r, row] : changes.rows) {
    while (list->GetItemCount() <= r) list->InsertItem(list->GetItemCount(), wxString());
    for (int col = 0; col < columns && col < static_cast<int>(row.size()); ++col) {
      const wxString value = ToWx(row[col]);
      if (list->GetItemText(r, col) != value) list->SetItem(r, col, value);
    }
  }
  list->Thaw();
  ShowRowMarks(w, c);
  SyncSelection(w, c);
}

void MainFrame::ShowRowMarks(Widget& w, const Control& c) {
  auto* list = dynamic_cast<wxListCtrl*>(w.window);
  if (!list) return;
  const wxColour grey = DeadRowColour();
  const int rows = std::min<int>(list->GetItemCount(), static_cast<int>(c.rowMarks.size()));
  for (int r = 0; r < rows; ++r) {
    const bool dead = c.rowMarks[r] == RowMark::Dead;
    const wxColour now = list->GetItemTextColour(r);
    if ((now.IsOk() && now == grey) == dead) continue;
    list->SetItemTextColour(r, dead ? grey : list->GetForegroundColour());
  }
}

void MainFrame::ShowPicture(Widget& w, const Control& c) {
  auto* bitmap = dynamic_cast<wxStaticBitmap*>(w.window);
  if (!bitmap) return;
  wxImage image;
  if (!c.picture.empty()) {
    wxLogNull quiet;  // a picture that cannot be read shows nothing, without a dialog
    wxMemoryInputStream in(c.picture.data(), c.picture.size());
    if (!image.LoadFile(in, wxBITMAP_TYPE_ANY)) image = wxImage();
  }
  if (!image.IsOk()) {
    bitmap->SetBitmap(wxBitmapBundle());
    return;
  }
  if (image.GetWidth() != c.width || image.GetHeight() != c.height) {
    image.Rescale(std::max(1, c.width), std::max(1, c.height), wxIMAGE_QUALITY_HIGH);
  }
  bitmap->SetBitmap(wxBitmap(image));
}

void MainFrame::ShowBrowserAddress(Widget& w, const Control& c) {
  if (!shown_ || c.browserAddress.empty()) return;
  const Text utf8 = AnsiToUtf8(c.browserAddress);
  const wxString address = wxString::FromUTF8(utf8.data(), utf8.size());
  if (w.web) {
    const bool isUrl = address.Contains("://") || address.StartsWith("about:");
    LoadWebViewModule().load(w.web, isUrl ? address : wxFileSystem::FileNameToURL(wxFileName(address)));
  } else if (w.fallback) {
    w.fallback->ShowFile(utf8);
  }
}

void MainFrame::ShowLinks(Widget& w, const Control& c) {
  auto* links = dynamic_cast<LinksWidget*>(w.window);
  if (!links) return;
  std::vector<wxString> captions;
  for (const HtmlLink& link : c.links) captions.push_back(ToWx(link.caption));
  links->SetLinks(captions);
  links->Refresh();  // the background follows the look
}

void MainFrame::ApplyLook() {
  const WindowLook look = Model().Look();
  if (look.number == 0) return;  // no look chosen: the system's own
  const wxColour window = ColourOf(look.windowColour), panel = ColourOf(look.panelColour),
                 text = ColourOf(look.textColour), accent = ColourOf(look.accentColour);
  SetBackgroundColour(window);
  root_->SetBackgroundColour(window);
  for (auto& [caption, page] : pages_) page->SetBackgroundColour(panel);
  for (auto& [name, w] : widgets_) {
    if (w.kind != ControlKind::Label || !w.window) continue;
    w.window->SetForegroundColour(text);
    w.window->SetBackgroundColour(w.onPage ? panel : window);
  }
  // The ticker: a strip in the panel colour with the headline in the accent colour.
  if (auto it = widgets_.find("广告条"); it != widgets_.end() && it->second.window) {
    it->second.window->SetBackgroundColour(panel);
  }
  if (auto it = widgets_.find("滚动条"); it != widgets_.end() && it->second.window) {
    it->second.window->SetBackgroundColour(panel);
    it->second.window->SetForegroundColour(accent);
  }
  status_->SetForegroundColour(accent);
  status_->SetBackgroundColour(window);
  for (auto& [name, w] : widgets_) {
    if (w.kind == ControlKind::HtmlBox) ShowLinks(w, Model().Snapshot(name));
  }
  Refresh();
}

void MainFrame::RunHandler(const Text& control, Event event, int arg) {
  if (shutDown_) return;
  if (handlerDepth_ > 0) {
    // Handlers never nest: what arrives while one runs (a menu choice) runs after it.
    deferred_.push_back({control, event, arg});
    return;
  }
  ++handlerDepth_;
  ClearWaitCancel();
  busyText_ = (IsSearchControl(control) ? Text("正在搜索…") : Text("正在联网，请稍候…")) + "（按 Esc 取消）";
  Model().Fire(control, event, arg);
  --handlerDepth_;
  FlushChanges();
  ClearWaitCancel();
  EndBusy();
  while (!deferred_.empty() && handlerDepth_ == 0 && !shutDown_) {
    const Deferred next = deferred_.front();
    deferred_.pop_front();
    RunHandler(next.control, next.event, next.arg);
  }
  if (handlerDepth_ > 0 || shutDown_) return;
  {
    std::lock_guard lock(bridge_->mutex);
    if (!bridge_->boxes.empty()) CallAfter([this] { ShowQueuedBoxes(); });
  }
  if (closeRequested_) {
    closeRequested_ = false;
    Close();
  }
}

void MainFrame::Pump() {
  if (shutDown_) return;
  FlushChanges();
  if (handlerDepth_ > 0 && !busyShown_) {
    // The handler waits: say so, and keep the window painting until it is done.
    busyShown_ = true;
    wxBeginBusyCursor();
    status_->SetLabel(ToWx(busyText_));
    status_->Show();
    status_->Raise();
  }
  wxTheApp->Yield(true);
}

void MainFrame::EndBusy() {
  if (!busyShown_) return;
  busyShown_ = false;
  wxEndBusyCursor();
  if (status_) status_->Hide();
}

void MainFrame::ShowMessageBoxNow(const Text& message) {
  const bool busy = busyShown_;
  if (busy) wxEndBusyCursor();
  wxMessageDialog dialog(this, ToWx(message), ToWx(kMessageBoxTitle), wxOK | wxICON_NONE);
  dialog.ShowModal();
  if (busy) wxBeginBusyCursor();
}

std::string MainFrame::AskSaveFileNameNow(const Text& title, const Text& suggestedName) {
  const bool busy = busyShown_;
  if (busy) wxEndBusyCursor();
  wxFileDialog dialog(this, ToWx(title), wxString(), ToWx(suggestedName), "CSV (*.csv)|*.csv|*.*|*.*",
                      wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
  const bool chosen = dialog.ShowModal() == wxID_OK;
  if (busy) wxBeginBusyCursor();
  return chosen ? dialog.GetPath().utf8_string() : std::string();
}

void MainFrame::ShowQueuedBoxes() {
  // A worker's box waits for the running handler, and boxes come one after another.
  if (handlerDepth_ > 0 || showingBox_ || shutDown_) return;
  showingBox_ = true;
  for (;;) {
    std::shared_ptr<PendingBox> box;
    {
      std::lock_guard lock(bridge_->mutex);
      if (bridge_->boxes.empty()) break;
      box = bridge_->boxes.front();
      bridge_->boxes.pop_front();
    }
    ShowMessageBoxNow(box->message);
    {
      std::lock_guard lock(bridge_->mutex);
      box->done = true;
    }
    bridge_->boxDone.notify_all();
    if (shutDown_) break;
  }
  showingBox_ = false;
}

bool MainFrame::RowAt(wxListCtrl* list, const wxPoint& at) {
  const long first = std::max(0L, list->GetTopItem());
  const long last = std::min<long>(list->GetItemCount(), first + list->GetCountPerPage() + 2);
  for (long i = first; i < last; ++i) {
    wxRect rect;
    if (list->GetItemRect(i, rect) && rect.Contains(at)) return true;
  }
  return false;
}

void MainFrame::SetClipboardNow(const Text& text) {
  if (!wxTheClipboard->Open()) return;
  wxTheClipboard->SetData(new wxTextDataObject(ToWx(text)));
  // The text stays on the clipboard after the program ends, where a clipboard manager runs.
  wxTheClipboard->Flush();
  wxTheClipboard->Close();
}

void MainFrame::ShowMenu(const Text& menuName) {
  if (shutDown_) return;
  const std::vector<MenuEntry> entries = Model().Menu(menuName);
  if (entries.empty()) return;
  wxMenu menu;
  const int firstId = wxID_HIGHEST + 1;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].caption.empty()) {
      menu.AppendSeparator();
    } else {
      menu.Append(firstId + static_cast<int>(i), ToWx(entries[i].caption));
    }
  }
  const int id = GetPopupMenuSelectionFromUser(menu, wxDefaultPosition);
  const int index = id - firstId;
  if (id == wxID_NONE || index < 0 || index >= static_cast<int>(entries.size())) return;
  RunHandler(entries[index].caption, Event::MenuSelected);
}

void MainFrame::OnClose(wxCloseEvent& e) {
  if (handlerDepth_ > 0 && e.CanVeto()) {
    // Closing under a waiting handler would pull the window from under it: its wait is given up, and
    // the window closes as soon as the handler has ended.
    closeRequested_ = true;
    CancelPendingWaits();
    e.Veto();
    return;
  }
  if (closing_) return;
  closing_ = true;
  RunHandler(Text(kMainWindow), Event::Destroying);
  Shutdown();
  Destroy();
}

void MainFrame::Shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  for (auto& [name, w] : widgets_) {
    if (w.timer) w.timer->Stop();
  }
  {
    std::lock_guard lock(bridge_->mutex);
    bridge_->frame = nullptr;
    bridge_->pending.clear();
    // Workers waiting for a box that will never be shown go on.
    for (auto& box : bridge_->boxes) box->done = true;
    bridge_->boxes.clear();
  }
  bridge_->boxDone.notify_all();
  SetEventPump({});
  wxEvtHandler::RemoveFilter(&blocker_);
  EndBusy();
}

}  // namespace

void PrepareToolkit() {
  static bool prepared = false;
  if (prepared) return;
  prepared = true;
  wxInitAllImageHandlers();
  InstallCompactStyle();
}

wxColour DeadRowColour() { return wxColour(0x99, 0x99, 0x99); }

wxFrame* OpenMainWindow(const std::shared_ptr<App>& app) {
  PrepareToolkit();
  // The window checks the listed shares in the background; the command line only when asked to.
  app->search.checkRows = true;
  auto* frame = new MainFrame(app);
  frame->RunHandler(Text(kMainWindow), Event::Created);
  frame->FlushChanges();  // the start state shows from the first paint
  frame->Show();
  return frame;
}

wxRect LabelTextRect(wxWindow* label) {
  if (auto* l = dynamic_cast<LabelWidget*>(label)) return l->TextRect();
  return label ? wxRect(wxPoint(0, 0), label->GetClientSize()) : wxRect();
}

wxWindow* ControlWidget(wxWindow* frame, std::string_view name) {
  if (!frame) return nullptr;
  return wxWindow::FindWindowByName(ToWx(name), frame);
}

}  // namespace sarvoke
