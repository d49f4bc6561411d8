#include "gui/wx_window.h"

#include <glib-unix.h>
#include <wx/wx.h>

#include <csignal>

#include "app/app.h"
#include "gui/main_frame.h"
#include "gui/wx_text.h"
#include "net/endpoints.h"

namespace sarvoke {
namespace {

// Closing asked for by a signal goes the close box's way, so the settings are written.
gboolean CloseOnSignal(gpointer) {
  if (wxTheApp) {
    if (wxWindow* top = wxTheApp->GetTopWindow()) top->Close();
    // The window is deleted in idle time, which a signal source does not start by itself.
    wxWakeUpIdle();
  }
  return G_SOURCE_CONTINUE;
}

class WindowApp : public wxApp {
 public:
  explicit WindowApp(std::shared_ptr<App> app) : app_(std::move(app)) {}

  // wxApp::OnInit would parse the command line, which belongs to the program.
  bool OnInit() override {
    g_unix_signal_add(SIGTERM, CloseOnSignal, nullptr);
    g_unix_signal_add(SIGINT, CloseOnSignal, nullptr);
    // A bad endpoints file named by the environment: said before anything is fetched, and the window
    // does not open rather than talk to hosts nobody asked for.
    if (const Text problem = EndpointsEnvironmentProblem(); !problem.empty()) {
      wxMessageDialog(nullptr, ToWx(problem), ToWx(kMessageBoxTitle), wxOK | wxICON_NONE).ShowModal();
      return false;
    }
    return OpenMainWindow(app_) != nullptr;
  }

 private:
  std::shared_ptr<App> app_;
};

}  // namespace

int ShowWindowAndRunLoop(const std::shared_ptr<App>& app, int argc, char** argv) {
  wxApp::SetInstance(new WindowApp(app));  // wxEntry owns and deletes it
  return wxEntry(argc, argv);
}

int RunWindowProgram(int argc, char** argv, std::string runDirectory) {
  int status = 0;
  ProgramStart([&](const std::shared_ptr<App>& app) { status = ShowWindowAndRunLoop(app, argc, argv); },
               std::move(runDirectory));
  return status == 0 ? 0 : 1;
}

}  // namespace sarvoke
