// The main window as real wxWidgets widgets: every control of the window model at its place, the view
// that mirrors model changes into the widgets (from any thread), and the event pump that keeps the
// window painting while a handler waits.
//
//   wxFrame* frame = OpenMainWindow(app);   // fires the window's created event, then shows it
//   ... the message loop runs; closing the frame fires the about-to-be-destroyed event ...
//
// Widgets carry their control's name (wxWindow::GetName() is the name in UTF-8), so ControlWidget finds
// them.
#pragma once

#include <wx/colour.h>
#include <wx/gdicmn.h>

#include <memory>
#include <string_view>

class wxFrame;
class wxWindow;

namespace sarvoke {

struct App;

// The name of the label that says the window is busy while a handler waits.
inline constexpr char kBusyStatusName[] = "sarvoke-busy-status";

// Prepares the toolkit for the window (image formats, style sheet); call once the toolkit is initialised.
void PrepareToolkit();

// Builds the main window of `app` and its view, fires the window's created event and shows the window;
// on the GUI thread, with the toolkit initialised. Closing the frame fires the about-to-be-destroyed
// event before the frame goes. Returns the frame, which deletes itself.
wxFrame* OpenMainWindow(const std::shared_ptr<App>& app);

// The text colour of a row whose share the background check found dead.
wxColour DeadRowColour();

// The widget of the named control (a Text name, code page 936); null for a timer or an unknown name.
wxWindow* ControlWidget(wxWindow* frame, std::string_view name);
// Where a label's text stands in its widget (the news ticker's moves along its row; every other label's
// fills its widget).
wxRect LabelTextRect(wxWindow* label);

}  // namespace sarvoke
