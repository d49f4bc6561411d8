// OpenUrl: hands a text to the system's handler for its scheme: web addresses to the default browser,
// "thunder://", "Flashget://" and "qqdl://" links to the download manager registered for them.
//
//   OpenUrl("http://example.com/a")   // true: xdg-open was started with the address in UTF-8
//   OpenUrl("file:///etc/passwd")     // false: refused, nothing reaches the system
//
// Only texts beginning with "http://", "https://", "thunder://", "Flashget://" or "qqdl://", spelled
// exactly so, are handed over: a link taken from a web page could otherwise name a local program or file.
// The text goes over as one argument, converted to UTF-8, without a shell.
#pragma once

#include <functional>
#include <string>

#include "text/text.h"

namespace sarvoke {

// True when `address` is handed over and the handler took it; false when it is refused, the handler
// could not be started, or it said at once that no program takes the address (waited for up to 3 s on
// the calling thread, the window painting meanwhile).
bool OpenUrl(const Text& address);

// Whether OpenUrl hands `address` over at all.
bool IsHandedOverAddress(std::string_view address);

// Replaces the system's handler (tests record what is handed over); an empty function restores it. The
// handler gets the address in UTF-8 and returns whether it took it.
void SetUrlHandler(std::function<bool(const std::string& utf8)> handler);

}  // namespace sarvoke
