// What the window manager sends when the close button of a window's title bar is clicked, kept apart
// from the tests: Xlib's macros do not mix with the toolkit's headers.
#include "close_button.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <thread>

namespace sarvoke::test {

void SendCloseButton(GtkWidget* toplevel) {
  const Window xid = GDK_WINDOW_XID(gtk_widget_get_window(toplevel));
  // A connection of its own, as the window manager's is.
  std::thread([xid] {
    Display* d = XOpenDisplay(nullptr);
    if (!d) return;
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = xid;
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, xid, False, NoEventMask, &e);
    XFlush(d);
    XCloseDisplay(d);
  }).join();
}

}  // namespace sarvoke::test
