// The window model: the main window as named controls with a few properties, and the event table.
//
// The logic of every subsystem reads and writes only this model; front-ends (the wxWidgets window, the
// headless command line) mirror it. Controls keep the main window's names:
//
//   model.SetText("标签5", "当前第1页");
//   model.SetDisabled("按钮3", true);
//   int row = model.AppendRow("超级列表框1");
//   model.SetCell("超级列表框1", row, 0, name);
//   model.MessageBox("找不到相关文件…");
//
// Every operation may be called from any thread; the model guards its state with one mutex and tells its
// view about each change after releasing it. A view (WindowView) is how a front-end hears of changes and
// serves what needs a real window: message boxes and the pop-up menu.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "text/text.h"

namespace sarvoke {

enum class ControlKind {
  Label,
  EditBox,
  MultiLineEditBox,
  Button,
  ComboBox,
  ListView,
  TabControl,
  PictureBox,
  WebBrowser,
  HtmlBox,
  Timer,
};

// What changed on a control, for the view.
enum class Property {
  Text,
  Disabled,
  Visible,
  Selection,
  Items,
  Rows,
  Cell,
  TimerPeriod,
  Picture,
  BrowserAddress,
  Geometry,
  Look,
  RowMarks,  // the marks of the list view's rows
};

// A window event. `arg` of a fired event carries the key code (KeyPressed) and is 0 otherwise.
enum class Event {
  Created,
  Destroying,
  Clicked,
  KeyPressed,
  RightClicked,
  DoubleClicked,
  MenuSelected,  // fired on the menu item's caption, such as "迅雷下载"
  Tick,
  LeftButtonDown,
  ItemSelected,
};

// What the background check of a row's share page found; the window shows Dead rows greyed. Nothing
// else about the row changes with its mark.
enum class RowMark {
  None,     // not checked (yet)
  Alive,    // the share page holds a direct link
  Dead,     // the page exists without a direct link, or the share site says the share is gone
  Unknown,  // no answer within the check's time-out, or an answer that tells nothing
};

// One list view column.
struct ListColumn {
  Text header;
  int width = 0;
};

// One link of the small HTML box.
struct HtmlLink {
  Text caption;
  Text address;
};

// One entry of the pop-up menu; an empty caption is a separator.
struct MenuEntry {
  Text caption;
};

// The look the skin chose (colours as 0xRRGGBB).
struct WindowLook {
  int number = 0;
  unsigned windowColour = 0xF0F0F0;
  unsigned panelColour = 0xF0F0F0;
  unsigned textColour = 0x000000;
  unsigned accentColour = 0x3C78D8;
};

struct Control {
  Text name;
  ControlKind kind = ControlKind::Label;
  Text parent;  // "" for the main window, else the tab page caption ("文件搜索", …)
  int left = 0, top = 0, width = 0, height = 0;
  Text text;  // text or caption
  bool disabled = false;
  bool visible = true;
  std::vector<Text> items;  // combo box items, tab pages
  int selected = -1;        // combo box item or list row, 0-based; -1 for none
  std::vector<ListColumn> columns;
  std::vector<std::vector<Text>> rows;
  std::vector<RowMark> rowMarks;  // one per row
  // Counts the times the rows were emptied, so that a mark found for an earlier list is not put on the
  // rows that replaced it.
  unsigned rowsGeneration = 0;
  // When each row last changed, on the list's own count of row changes, so that a front-end mirrors only
  // the rows changed since it last looked (RowsChangedSince).
  std::vector<std::uint64_t> rowStamps;
  std::uint64_t rowsRevision = 0;
  std::uint64_t rowsClearedAt = 0;
  int timerPeriod = 0;  // milliseconds; 0 means stopped
  Bytes picture;        // image file bytes shown by a picture box
  Text browserAddress;  // local file shown by a browser box
  std::vector<HtmlLink> links;
};

// How a front-end hears of changes and serves what needs a real window. Each member may be empty.
struct WindowView {
  // A property of a control changed (called on the thread that changed it, outside the model's lock).
  std::function<void(const Text& control, Property what)> changed;
  // Show a modal message box with an OK button and the title "信息："; returns when it was dismissed.
  std::function<void(const Text& message)> messageBox;
  // Show the pop-up menu of that name at the mouse position.
  std::function<void(const Text& menu)> popupMenu;
  // Put a text on the system's clipboard.
  std::function<void(const Text& text)> setClipboard;
  // Ask the user for the name of a file to save, starting from `suggestedName`; the path chosen (UTF-8),
  // or "" when the user cancelled. Asked on the GUI thread.
  std::function<std::string(const Text& title, const Text& suggestedName)> saveFileName;
};

using EventHandler = std::function<void(int arg)>;

// The title of every message box.
inline constexpr std::string_view kMessageBoxTitle = "信息：";

class WindowModel {
 public:
  WindowModel();
  WindowModel(const WindowModel&) = delete;
  WindowModel& operator=(const WindowModel&) = delete;

  // --- the window itself
  Text Title() const;
  void WindowGeometry(int& left, int& top, int& width, int& height) const;
  int WindowWidth() const;
  WindowLook Look() const;
  void SetLook(const WindowLook& look);

  // --- controls. Operations on a name the window does not have do nothing and read as empty.
  bool Has(const Text& name) const;
  Control Snapshot(const Text& name, bool withRows = true) const;  // a copy of the whole control
  std::vector<Text> ControlNames() const;    // in creation order

  Text GetText(const Text& name) const;
  void SetText(const Text& name, const Text& text);
  bool IsDisabled(const Text& name) const;
  void SetDisabled(const Text& name, bool disabled);
  bool IsVisible(const Text& name) const;
  void SetVisible(const Text& name, bool visible);
  int GetLeft(const Text& name) const;
  void SetLeft(const Text& name, int left);
  int GetWidth(const Text& name) const;
  void SetWidth(const Text& name, int width);

  // Combo boxes and the list view: the current selected item, 0-based, -1 for none. Setting an index
  // outside the items (or rows) leaves no selection.
  int GetSelected(const Text& name) const;
  void SetSelected(const Text& name, int index);
  void AddItem(const Text& name, const Text& item);
  std::vector<Text> Items(const Text& name) const;

  // The list view's rows.
  void DeleteAllRows(const Text& name);
  int AppendRow(const Text& name);  // returns the new row's index
  void SetCell(const Text& name, int row, int column, const Text& text);
  Text GetCell(const Text& name, int row, int column) const;
  int RowCount(const Text& name) const;
  std::vector<std::vector<Text>> Rows(const Text& name) const;

  // The rows changed since `revision` (what an earlier call returned; 0 the first time), for a front-end
  // that mirrors a long list a few rows at a time.
  struct RowChanges {
    std::uint64_t revision = 0;  // to pass next time
    bool cleared = false;        // the rows were emptied since: the mirror starts again
    int rowCount = 0;
    std::vector<std::pair<int, std::vector<Text>>> rows;  // row index and cells, in row order
  };
  RowChanges RowsChangedSince(const Text& name, std::uint64_t revision) const;

  // The rows' marks. A mark is set only while the rows are those of `generation` (RowsGeneration at the
  // time the rows were read): a check that finishes after the list was refilled marks nothing. Returns
  // whether the mark was set.
  unsigned RowsGeneration(const Text& name) const;
  bool MarkRow(const Text& name, int row, RowMark mark, unsigned generation);
  RowMark GetRowMark(const Text& name, int row) const;
  std::vector<RowMark> RowMarks(const Text& name) const;

  // Timers: a period in milliseconds; 0 stops the timer.
  int TimerPeriod(const Text& name) const;
  void SetTimerPeriod(const Text& name, int periodMs);

  // Picture box and browser box.
  void SetPicture(const Text& name, const Bytes& imageFile);
  void SetBrowserAddress(const Text& name, const Text& localFile);

  // The pop-up menu of that name, in order (separators have an empty caption).
  std::vector<MenuEntry> Menu(const Text& menu) const;

  // --- what needs the front-end
  void MessageBox(const Text& message);  // blocks until dismissed; the headless view records it
  void ShowPopupMenu(const Text& menu);
  void SetClipboardText(const Text& text);  // the headless view records it
  // The file name the user chose for saving (UTF-8), or "" when cancelled or no front-end can ask.
  std::string AskSaveFileName(const Text& title, const Text& suggestedName);
  void LetEventsRun();                      // the platform's event pump (platform/event_pump.h)

  // --- the event table
  void Bind(const Text& control, Event event, EventHandler handler);
  bool IsBound(const Text& control, Event event) const;
  // Runs the handler bound to (control, event); returns false when none is bound.
  bool Fire(const Text& control, Event event, int arg = 0);

  // --- the view
  void SetView(WindowView view);

 private:
  void Add(Control c);
  Control* Find(const Text& name);
  const Control* Find(const Text& name) const;
  template <typename F>
  void Change(const Text& name, Property what, F&& apply);
  void Notify(const Text& name, Property what);

  mutable std::mutex mutex_;
  std::vector<Control> controls_;
  std::map<Text, std::size_t> index_;
  std::map<Text, std::vector<MenuEntry>> menus_;
  std::map<std::pair<Text, Event>, EventHandler> handlers_;
  WindowLook look_;
  std::shared_ptr<WindowView> view_;
};

// A view for tests and the command line: it records every message box and shown menu and answers at once.
struct HeadlessView {
  std::mutex mutex;
  std::vector<Text> messages;
  std::vector<Text> menusShown;
  std::vector<Text> clipboard;  // every text put on the clipboard, in order
  std::vector<Text> saveAsked;  // the suggested name of every save dialog asked for
  std::string saveAnswer;       // what every save dialog answers ("" cancels)
};
// Attaches a headless view to the model; `onMessage` (may be empty) also sees each message box.
std::shared_ptr<HeadlessView> AttachHeadlessView(WindowModel& model,
                                                 std::function<void(const Text&)> onMessage = {});
// The messages recorded so far.
std::vector<Text> RecordedMessages(HeadlessView& view);

}  // namespace sarvoke
