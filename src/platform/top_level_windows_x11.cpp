#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>
#include <mutex>

#include "platform/top_level_windows.h"
#include "text/code_page.h"

namespace sarvoke {
namespace {

constexpr std::size_t kTitleLimit = 255;
// A window manager puts each program's window inside a frame of its own; the program's window, the one
// with a WM_CLASS, is then a child (or grandchild) of the root's child.
constexpr int kFrameDepth = 2;

// A window may go away between listing it and reading it; that error must not end the program (Xlib's
// default handler exits), so errors are ignored while the windows are read.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

struct DisplayCloser {
  void operator()(Display* d) const { XCloseDisplay(d); }
};

template <typename T>
struct XFreeer {
  void operator()(T* p) const { XFree(p); }
};

std::string Utf8Title(Display* d, Window w) {
  const Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  // 1024 longs: far more than the 255 bytes kept.
  if (XGetWindowProperty(d, w, netName, 0, 1024, False, utf8, &type, &format, &count, &after, &data) ==
          Success &&
      data) {
    std::unique_ptr<unsigned char, XFreeer<unsigned char>> held(data);
    if (type == utf8 && format == 8) return std::string(reinterpret_cast<char*>(data), count);
  }
  XTextProperty prop{};
  if (!XGetWMName(d, w, &prop) || !prop.value) return {};
  std::unique_ptr<unsigned char, XFreeer<unsigned char>> value(prop.value);
  char** list = nullptr;
  int n = 0;
  std::string title;
  if (Xutf8TextPropertyToTextList(d, &prop, &list, &n) >= Success && list) {
    if (n > 0 && list[0]) title = list[0];
    XFreeStringList(list);
  }
  return title;
}

Text CutAtCharacter(const Text& text, std::size_t limit) {
  std::size_t end = 0;
  while (end < text.size()) {
    const std::size_t next = end + CharLengthAt(text, end);
    if (next > limit) break;
    end = next;
  }
  return text.substr(0, end);
}

void Collect(Display* d, Window w, int depth, std::string_view windowClass, std::vector<Text>& titles) {
  XClassHint hint{};
  if (XGetClassHint(d, w, &hint)) {
    // Either string of WM_CLASS counts: toolkits differ in which of the two carries the name a program
    // gives (Tk puts it in the instance and lowers the class's case).
    const bool match = (hint.res_class && windowClass == hint.res_class) ||
                       (hint.res_name && windowClass == hint.res_name);
    if (hint.res_name) XFree(hint.res_name);
    if (hint.res_class) XFree(hint.res_class);
    if (match) titles.push_back(CutAtCharacter(Utf8ToAnsiText(Utf8Title(d, w)), kTitleLimit));
    return;  // a program's own window: what lies inside it is not top-level
  }
  if (depth >= kFrameDepth) return;
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(d, w, &root, &parent, &children, &count)) return;
  std::unique_ptr<Window, XFreeer<Window>> held(children);
  for (unsigned int i = 0; i < count; ++i) Collect(d, children[i], depth + 1, windowClass, titles);
}

}  // namespace

std::vector<Text> TopLevelWindowTitles(std::string_view windowClass) {
  std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
  if (!display) return {};
  Display* d = display.get();
  // The error handler is the process's: only one reader swaps it at a time, and it is put back after
  // every error of this connection has arrived.
  static std::mutex handlerLock;
  std::lock_guard<std::mutex> lock(handlerLock);
  const XErrorHandler previous = XSetErrorHandler(IgnoreXError);
  std::vector<Text> titles;
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) {
    std::unique_ptr<Window, XFreeer<Window>> held(children);
    for (unsigned int i = 0; i < count; ++i) Collect(d, children[i], 0, windowClass, titles);
  }
  XSync(d, False);
  XSetErrorHandler(previous);
  return titles;
}

}  // namespace sarvoke
