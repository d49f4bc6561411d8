// What the window tests share: running the message loop until something holds, UTF-8 literals as
// wxString, temporary run directories and screenshots.
#pragma once

#include <wx/string.h>

#include <functional>
#include <string>

class wxWindow;

namespace sarvoke::test {

// Runs the message loop until `done` holds or `timeoutMs` passed; returns whether `done` holds.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 10000);
// Runs the message loop for `ms` milliseconds.
void PumpFor(int ms);
// A UTF-8 literal as wxString: U8(u8"搜索").
wxString U8(const char8_t* utf8);
// A new empty directory under the system's temporary folder.
std::string MakeTempDirectory();
// Saves a picture of the whole screen as `name` (a PNG) in the build's artefact folder; returns its path.
std::string SaveScreenshot(const std::string& name);
// The widget's top left corner relative to `origin`'s, on the screen.
wxPoint OffsetOnScreen(wxWindow* widget, wxWindow* origin);

}  // namespace sarvoke::test
