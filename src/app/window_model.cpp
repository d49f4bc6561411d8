#include "app/window_model.h"

#include "app/main_window.h"
#include "platform/event_pump.h"

namespace sarvoke {

WindowModel::WindowModel() {
  for (Control& c : MainWindowControls()) Add(std::move(c));
  menus_[Text(kResultMenu)] = ResultMenuEntries();
}

void WindowModel::Add(Control c) {
  index_[c.name] = controls_.size();
  controls_.push_back(std::move(c));
}

Control* WindowModel::Find(const Text& name) {
  auto it = index_.find(name);
  return it == index_.end() ? nullptr : &controls_[it->second];
}

const Control* WindowModel::Find(const Text& name) const {
  auto it = index_.find(name);
  return it == index_.end() ? nullptr : &controls_[it->second];
}

void WindowModel::Notify(const Text& name, Property what) {
  std::shared_ptr<WindowView> view;
  {
    std::lock_guard lock(mutex_);
    view = view_;
  }
  if (view && view->changed) view->changed(name, what);
}

// Applies `apply` to the named control under the lock, then tells the view. `apply` returns whether
// anything changed, so that the view is not told of writes that change nothing.
template <typename F>
void WindowModel::Change(const Text& name, Property what, F&& apply) {
  bool changed = false;
  {
    std::lock_guard lock(mutex_);
    if (Control* c = Find(name)) changed = apply(*c);
  }
  if (changed) Notify(name, what);
}

Text WindowModel::Title() const { return Text(kWindowTitle); }

void WindowModel::WindowGeometry(int& left, int& top, int& width, int& height) const {
  left = kWindowLeft;
  top = kWindowTop;
  width = kWindowWidth;
  height = kWindowHeight;
}

int WindowModel::WindowWidth() const { return kWindowWidth; }

WindowLook WindowModel::Look() const {
  std::lock_guard lock(mutex_);
  return look_;
}

void WindowModel::SetLook(const WindowLook& look) {
  {
    std::lock_guard lock(mutex_);
    look_ = look;
  }
  Notify("", Property::Look);
}

bool WindowModel::Has(const Text& name) const {
  std::lock_guard lock(mutex_);
  return Find(name) != nullptr;
}

Control WindowModel::Snapshot(const Text& name, bool withRows) const {
  std::lock_guard lock(mutex_);
  const Control* c = Find(name);
  if (!c) return Control{};
  if (withRows) return *c;
  // Copying a long list's cells for a change of its selection or marks would cost more than the change:
  // the rows step aside while the rest is copied (under the lock, so nobody sees them gone).
  Control& held = const_cast<Control&>(*c);
  std::vector<std::vector<Text>> rows;
  rows.swap(held.rows);
  Control copy = held;
  rows.swap(held.rows);
  return copy;
}

WindowModel::RowChanges WindowModel::RowsChangedSince(const Text& name, std::uint64_t revision) const {
  std::lock_guard lock(mutex_);
  RowChanges out;
  const Control* c = Find(name);
  if (!c) return out;
  out.revision = c->rowsRevision;
  out.cleared = c->rowsClearedAt > revision;
  out.rowCount = static_cast<int>(c->rows.size());
  for (std::size_t r = 0; r < c->rows.size() && r < c->rowStamps.size(); ++r)
    if (c->rowStamps[r] > revision) out.rows.emplace_back(static_cast<int>(r), c->rows[r]);
  return out;
}

std::vector<Text> WindowModel::ControlNames() const {
  std::lock_guard lock(mutex_);
  std::vector<Text> names;
  for (const Control& c : controls_) names.push_back(c.name);
  return names;
}

#define SARVOKE_READ(expr, fallback) \
  std::lock_guard lock(mutex_);      \
  const Control* c = Find(name);     \
  return c ? (expr) : (fallback)

Text WindowModel::GetText(const Text& name) const { SARVOKE_READ(c->text, Text()); }
bool WindowModel::IsDisabled(const Text& name) const { SARVOKE_READ(c->disabled, false); }
bool WindowModel::IsVisible(const Text& name) const { SARVOKE_READ(c->visible, false); }
int WindowModel::GetLeft(const Text& name) const { SARVOKE_READ(c->left, 0); }
int WindowModel::GetWidth(const Text& name) const { SARVOKE_READ(c->width, 0); }
int WindowModel::GetSelected(const Text& name) const { SARVOKE_READ(c->selected, -1); }
std::vector<Text> WindowModel::Items(const Text& name) const { SARVOKE_READ(c->items, std::vector<Text>{}); }
int WindowModel::RowCount(const Text& name) const { SARVOKE_READ(static_cast<int>(c->rows.size()), 0); }
std::vector<std::vector<Text>> WindowModel::Rows(const Text& name) const {
  SARVOKE_READ(c->rows, std::vector<std::vector<Text>>{});
}
int WindowModel::TimerPeriod(const Text& name) const { SARVOKE_READ(c->timerPeriod, 0); }
unsigned WindowModel::RowsGeneration(const Text& name) const { SARVOKE_READ(c->rowsGeneration, 0u); }
std::vector<RowMark> WindowModel::RowMarks(const Text& name) const {
  SARVOKE_READ(c->rowMarks, std::vector<RowMark>{});
}

#undef SARVOKE_READ

Text WindowModel::GetCell(const Text& name, int row, int column) const {
  std::lock_guard lock(mutex_);
  const Control* c = Find(name);
  if (!c || row < 0 || row >= static_cast<int>(c->rows.size())) return Text();
  const auto& r = c->rows[row];
  return column >= 0 && column < static_cast<int>(r.size()) ? r[column] : Text();
}

void WindowModel::SetText(const Text& name, const Text& text) {
  Change(name, Property::Text, [&](Control& c) {
    if (c.text == text) return false;
    c.text = text;
    return true;
  });
}

void WindowModel::SetDisabled(const Text& name, bool disabled) {
  Change(name, Property::Disabled, [&](Control& c) {
    if (c.disabled == disabled) return false;
    c.disabled = disabled;
    return true;
  });
}

void WindowModel::SetVisible(const Text& name, bool visible) {
  Change(name, Property::Visible, [&](Control& c) {
    if (c.visible == visible) return false;
    c.visible = visible;
    return true;
  });
}

void WindowModel::SetLeft(const Text& name, int left) {
  Change(name, Property::Geometry, [&](Control& c) {
    if (c.left == left) return false;
    c.left = left;
    return true;
  });
}

void WindowModel::SetWidth(const Text& name, int width) {
  Change(name, Property::Geometry, [&](Control& c) {
    if (c.width == width) return false;
    c.width = width;
    return true;
  });
}

void WindowModel::SetSelected(const Text& name, int index) {
  Change(name, Property::Selection, [&](Control& c) {
    const int count = static_cast<int>(c.kind == ControlKind::ListView ? c.rows.size() : c.items.size());
    const int next = index >= 0 && index < count ? index : -1;
    if (c.selected == next) return false;
    c.selected = next;
    return true;
  });
}

void WindowModel::AddItem(const Text& name, const Text& item) {
  Change(name, Property::Items, [&](Control& c) {
    c.items.push_back(item);
    return true;
  });
}

void WindowModel::DeleteAllRows(const Text& name) {
  Change(name, Property::Rows, [&](Control& c) {
    c.rows.clear();
    c.rowMarks.clear();
    c.rowStamps.clear();
    c.rowsClearedAt = ++c.rowsRevision;
    ++c.rowsGeneration;
    c.selected = -1;
    return true;
  });
}

int WindowModel::AppendRow(const Text& name) {
  int row = -1;
  Change(name, Property::Rows, [&](Control& c) {
    c.rows.emplace_back(c.columns.size());
    c.rowMarks.push_back(RowMark::None);
    c.rowStamps.push_back(++c.rowsRevision);
    row = static_cast<int>(c.rows.size()) - 1;
    return true;
  });
  return row;
}

RowMark WindowModel::GetRowMark(const Text& name, int row) const {
  std::lock_guard lock(mutex_);
  const Control* c = Find(name);
  if (!c || row < 0 || row >= static_cast<int>(c->rowMarks.size())) return RowMark::None;
  return c->rowMarks[row];
}

bool WindowModel::MarkRow(const Text& name, int row, RowMark mark, unsigned generation) {
  bool set = false;
  Change(name, Property::RowMarks, [&](Control& c) {
    if (c.rowsGeneration != generation || row < 0 || row >= static_cast<int>(c.rowMarks.size())) return false;
    set = true;
    if (c.rowMarks[row] == mark) return false;
    c.rowMarks[row] = mark;
    return true;
  });
  return set;
}

void WindowModel::SetCell(const Text& name, int row, int column, const Text& text) {
  Change(name, Property::Cell, [&](Control& c) {
    if (row < 0 || row >= static_cast<int>(c.rows.size()) || column < 0 ||
        column >= static_cast<int>(c.columns.size())) {
      return false;
    }
    c.rows[row][column] = text;
    c.rowStamps[row] = ++c.rowsRevision;
    return true;
  });
}

void WindowModel::SetTimerPeriod(const Text& name, int periodMs) {
  Change(name, Property::TimerPeriod, [&](Control& c) {
    const int next = periodMs > 0 ? periodMs : 0;
    if (c.timerPeriod == next) return false;
    c.timerPeriod = next;
    return true;
  });
}

void WindowModel::SetPicture(const Text& name, const Bytes& imageFile) {
  Change(name, Property::Picture, [&](Control& c) {
    c.picture = imageFile;
    return true;
  });
}

void WindowModel::SetBrowserAddress(const Text& name, const Text& localFile) {
  // Pointing the box at the same file again reloads it: the file may have been rewritten.
  Change(name, Property::BrowserAddress, [&](Control& c) {
    c.browserAddress = localFile;
    return true;
  });
}

std::vector<MenuEntry> WindowModel::Menu(const Text& menu) const {
  std::lock_guard lock(mutex_);
  auto it = menus_.find(menu);
  return it == menus_.end() ? std::vector<MenuEntry>{} : it->second;
}

void WindowModel::MessageBox(const Text& message) {
  std::shared_ptr<WindowView> view;
  {
    std::lock_guard lock(mutex_);
    view = view_;
  }
  if (view && view->messageBox) view->messageBox(message);
}

void WindowModel::ShowPopupMenu(const Text& menu) {
  std::shared_ptr<WindowView> view;
  {
    std::lock_guard lock(mutex_);
    view = view_;
  }
  if (view && view->popupMenu) view->popupMenu(menu);
}

void WindowModel::SetClipboardText(const Text& text) {
  std::shared_ptr<WindowView> view;
  {
    std::lock_guard lock(mutex_);
    view = view_;
  }
  if (view && view->setClipboard) view->setClipboard(text);
}

std::string WindowModel::AskSaveFileName(const Text& title, const Text& suggestedName) {
  std::shared_ptr<WindowView> view;
  {
    std::lock_guard lock(mutex_);
    view = view_;
  }
  return view && view->saveFileName ? view->saveFileName(title, suggestedName) : std::string();
}

void WindowModel::LetEventsRun() { LetPendingEventsRun(); }

void WindowModel::Bind(const Text& control, Event event, EventHandler handler) {
  std::lock_guard lock(mutex_);
  handlers_[{control, event}] = std::move(handler);
}

bool WindowModel::IsBound(const Text& control, Event event) const {
  std::lock_guard lock(mutex_);
  return handlers_.count({control, event}) != 0;
}

bool WindowModel::Fire(const Text& control, Event event, int arg) {
  EventHandler handler;
  {
    std::lock_guard lock(mutex_);
    auto it = handlers_.find({control, event});
    if (it == handlers_.end()) return false;
    handler = it->second;
  }
  handler(arg);
  return true;
}

void WindowModel::SetView(WindowView view) {
  auto shared = std::make_shared<WindowView>(std::move(view));
  std::lock_guard lock(mutex_);
  view_ = std::move(shared);
}

std::shared_ptr<HeadlessView> AttachHeadlessView(WindowModel& model,
                                                 std::function<void(const Text&)> onMessage) {
  auto recorder = std::make_shared<HeadlessView>();
  WindowView view;
  view.messageBox = [recorder, onMessage](const Text& message) {
    {
      std::lock_guard lock(recorder->mutex);
      recorder->messages.push_back(message);
    }
    if (onMessage) onMessage(message);
  };
  view.popupMenu = [recorder](const Text& menu) {
    std::lock_guard lock(recorder->mutex);
    recorder->menusShown.push_back(menu);
  };
  view.setClipboard = [recorder](const Text& text) {
    std::lock_guard lock(recorder->mutex);
    recorder->clipboard.push_back(text);
  };
  view.saveFileName = [recorder](const Text&, const Text& suggestedName) {
    std::lock_guard lock(recorder->mutex);
    recorder->saveAsked.push_back(suggestedName);
    return recorder->saveAnswer;
  };
  model.SetView(std::move(view));
  return recorder;
}

std::vector<Text> RecordedMessages(HeadlessView& view) {
  std::lock_guard lock(view.mutex);
  return view.messages;
}

}  // namespace sarvoke
