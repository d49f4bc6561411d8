// The desktop's top-level windows of one window class, as other programs show them.
//
//   for (const Text& title : TopLevelWindowTitles("5B3838F5-0C81-46D9-A4C0-6EA28CA3E942")) ...
//
// On X11 the window class is either string of a window's WM_CLASS (instance or class); the title is its
// _NET_WM_NAME, else its WM_NAME. Without an X display (or in a build without X11) there are no windows.
#pragma once

#include <string_view>
#include <vector>

#include "text/text.h"

namespace sarvoke {

// The title of every top-level window whose class is `windowClass`, in the order the window system keeps
// them (bottom to top of the stacking order), each converted to code page 936 and cut to at most 255
// bytes at a character's end. A window without a title gives an empty text.
std::vector<Text> TopLevelWindowTitles(std::string_view windowClass);

}  // namespace sarvoke
