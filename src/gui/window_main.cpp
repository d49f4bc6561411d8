// sarvoke-window: the program's window on its own, with the settings file in the program's directory or
// in the directory given by --run-dir DIR.
#include <cstring>
#include <string>
#include <vector>

#include "gui/wx_window.h"
#include "platform/files.h"

int main(int argc, char** argv) {
  std::string runDirectory = sarvoke::ProgramDirectory();
  std::vector<char*> rest{argv[0]};
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--run-dir") == 0 && i + 1 < argc) {
      runDirectory = argv[++i];
    } else {
      rest.push_back(argv[i]);
    }
  }
  int restCount = static_cast<int>(rest.size());
  rest.push_back(nullptr);
  return sarvoke::RunWindowProgram(restCount, rest.data(), runDirectory);
}
