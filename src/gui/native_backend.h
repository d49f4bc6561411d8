// What the window needs from GTK below wxWidgets: a compact style sheet, so that controls fit the heights
// the window gives them.
#pragma once

namespace sarvoke {

// Installs the window's style sheet on the default screen (once).
void InstallCompactStyle();

}  // namespace sarvoke
