// sarvoke-window: the program's window on its own, with the settings file in the settings folder (beside
// the program or in the user's configuration folder, see SettingsFolder) or in the folder --run-dir DIR.
#include <cstring>
#include <string>
#include <vector>

#include "app/settings.h"
#include "gui/wx_window.h"

int main(int argc, char** argv) {
  std::string runDirectory = sarvoke::SettingsFolder();
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
