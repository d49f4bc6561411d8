// The program's window entry: initialises wxWidgets, opens the main window of the program-wide state and
// runs the message loop until the window is closed.
//
//   int main(int argc, char** argv) {
//     return sarvoke::RunWindowProgram(argc, argv, sarvoke::ProgramDirectory());
//   }
#pragma once

#include <memory>
#include <string>

namespace sarvoke {

struct App;

// Opens the window of `app` and runs the message loop until it is closed (a fit for ProgramStart's
// showWindowAndRunLoop). SIGTERM and SIGINT close the window as its close box does. Returns 0, or
// non-zero when the toolkit could not start (no display).
int ShowWindowAndRunLoop(const std::shared_ptr<App>& app, int argc, char** argv);

// The whole windowed program: ProgramStart with the window. Returns the program's exit status.
int RunWindowProgram(int argc, char** argv, std::string runDirectory);

}  // namespace sarvoke
