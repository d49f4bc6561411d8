// The program: with no sub-command it opens the window; `sarvoke search …` runs the search headlessly.
#include <cstdio>
#include <cstring>

#include "cli/cli_search.h"
#include "platform/files.h"
#ifdef SARVOKE_WITH_WINDOW
#include "platform/wx/wx_window.h"
#endif

int main(int argc, char** argv) {
  if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(sarvoke::CommandLineUsage(), stdout);
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "search") == 0) return sarvoke::SearchCommand(argc - 2, argv + 2);
  if (argc >= 2) {
    std::fprintf(stderr, "sarvoke: unknown command %s\n%s", argv[1], sarvoke::CommandLineUsage());
    return 2;
  }
#ifdef SARVOKE_WITH_WINDOW
  const int status = sarvoke::RunWindowProgram(argc, argv, sarvoke::ProgramDirectory());
  if (status != 0) std::fputs("sarvoke: the window cannot be opened (is there a display?)\n", stderr);
  return status;
#else
  std::fputs("sarvoke: this build has no window; use `sarvoke search`\n", stderr);
  return 2;
#endif
}
