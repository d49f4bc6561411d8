// The window tests' main: the tests run inside the toolkit's message loop, as the program's handlers do.
#include <gtest/gtest.h>
#include <wx/evtloop.h>
#include <wx/wx.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "gui_test_support.h"

namespace sarvoke::test {

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
  if (done()) return true;
  // A nested loop of its own rather than a yield: handlers that run meanwhile may yield themselves.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  wxGUIEventLoop loop;
  wxTimer timer;
  timer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
    if (done() || std::chrono::steady_clock::now() > deadline) loop.Exit();
  });
  timer.Start(5);
  loop.Run();
  timer.Stop();
  return done();
}

void PumpFor(int ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  PumpUntil([&] { return std::chrono::steady_clock::now() >= until; }, ms + 1000);
}

wxString U8(const char8_t* utf8) { return wxString::FromUTF8(reinterpret_cast<const char*>(utf8)); }

std::string MakeTempDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "sarvoke-gui-XXXXXX").string();
  char* made = mkdtemp(pattern.data());
  return made ? std::string(made) : std::string();
}

std::string SaveScreenshot(const std::string& name) {
  std::filesystem::create_directories(SARVOKE_ARTEFACT_DIR);
  const std::string path = std::string(SARVOKE_ARTEFACT_DIR) + "/" + name;
  PumpFor(300);  // let the last changes paint
  const std::string command = "import -window root '" + path + "'";
  return std::system(command.c_str()) == 0 ? path : std::string();
}

wxPoint OffsetOnScreen(wxWindow* widget, wxWindow* origin) {
  return widget->GetScreenPosition() - origin->GetScreenPosition();
}

}  // namespace sarvoke::test

namespace {

class TestApp : public wxApp {
 public:
  bool OnInit() override {
    SetExitOnFrameDelete(false);  // each test closes its own window
    return true;
  }
};

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  wxApp::SetInstance(new TestApp);
  if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) {
    std::fprintf(stderr, "window tests: the toolkit could not start (no display?)\n");
    return 1;
  }
  int result = 1;
  wxTheApp->CallAfter([&] {
    result = RUN_ALL_TESTS();
    wxTheApp->ExitMainLoop();
  });
  wxTheApp->OnRun();
  wxTheApp->OnExit();
  wxEntryCleanup();
  return result;
}
