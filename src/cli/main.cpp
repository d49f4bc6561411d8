// The program: with no sub-command it opens the window; `sarvoke search …` runs the search headlessly.
#include <cstdio>
#include <cstring>

#include "cli/cli_search.h"

int main(int argc, char** argv) {
  if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(sarvoke::CommandLineUsage(), stdout);
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "search") == 0) return sarvoke::SearchCommand(argc - 2, argv + 2);
  std::fputs(sarvoke::CommandLineUsage(), stderr);
  return 2;
}
