// The program: with no sub-command it opens the window; the sub-commands (search, shares, link, dlink) run
// the same core headlessly.
//
// The window is its own program beside this one (sarvoke-window), started in place of this process: the
// toolkit's libraries take longer to load than a whole search, so the command line does not link them.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/settings.h"
#include "cli/cli_common.h"
#include "cli/cli_link.h"
#include "cli/cli_search.h"
#include "cli/cli_shares.h"
#include "net/endpoints.h"
#include "platform/files.h"
#include "text/code_page.h"

int main(int argc, char** argv) {
  if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(sarvoke::CommandLineUsage(), stdout);
    std::printf("\nSettings file: %s\n",
                sarvoke::TerminalSafe(sarvoke::SettingsFilePath(sarvoke::SettingsFolder())).c_str());
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("sarvoke %s\n", SARVOKE_VERSION);
    return 0;
  }
  // A bad endpoints file named by the environment must not send anything to the built-in hosts.
  if (const sarvoke::Text problem = sarvoke::EndpointsEnvironmentProblem(); !problem.empty() && argc >= 2) {
    std::fprintf(stderr, "sarvoke: %s\n", sarvoke::AnsiToUtf8(problem).c_str());
    return 2;
  }
  if (argc >= 2 && std::strcmp(argv[1], "search") == 0) return sarvoke::SearchCommand(argc - 2, argv + 2);
  if (argc >= 2 && std::strcmp(argv[1], "shares") == 0) return sarvoke::SharesCommand(argc - 2, argv + 2);
  if (argc >= 2 && std::strcmp(argv[1], "link") == 0) return sarvoke::LinkCommand(argc - 2, argv + 2);
  if (argc >= 2 && std::strcmp(argv[1], "dlink") == 0) return sarvoke::DirectLinkCommand(argc - 2, argv + 2);
  if (argc >= 2) {
    std::fprintf(stderr, "sarvoke: unknown command %s\n%s", argv[1], sarvoke::CommandLineUsage());
    return 2;
  }
  // The settings file is where this program says it is (--help), whichever file draws the window.
  const std::string window = sarvoke::ProgramDirectory() + "/sarvoke-window";
  const std::string settings = sarvoke::SettingsFolder();
  const char* args[] = {window.c_str(), "--run-dir", settings.c_str(), nullptr};
  execv(window.c_str(), const_cast<char* const*>(args));
  std::fprintf(stderr, "sarvoke: cannot start the window %s: %s\n", window.c_str(), std::strerror(errno));
  return 2;
}
