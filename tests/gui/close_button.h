// Clicking a window's close button as the window manager reports it (WM_DELETE_WINDOW).
#pragma once

typedef struct _GtkWidget GtkWidget;

namespace sarvoke::test {

void SendCloseButton(GtkWidget* toplevel);

}  // namespace sarvoke::test
