#include "cli/cli_search.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/app.h"
#include "app/settings.h"
#include "net/endpoints.h"
#include "platform/files.h"
#include "text/code_page.h"

namespace sarvoke {

const char* CommandLineUsage() {
  return reinterpret_cast<const char*>(
      u8"usage: sarvoke                      open the window\n"
      u8"       sarvoke search [--page N] [--size 10|20|50|100] [--blocked TEXT] [--endpoints FILE] WORD\n"
      u8"       sarvoke --help\n"
      u8"\n"
      u8"search  types WORD into the search box and presses Enter, as a person would, then prints each row\n"
      u8"        of the result list as one line: file name, size, sharer, share time and download count,\n"
      u8"        separated by tabs. Message boxes are written to standard error.\n"
      u8"        --page N         show results page N (1 is the first)\n"
      u8"        --size S         hits per page: 10, 20, 50 or 100\n"
      u8"        --blocked TEXT   blocked words, each followed by a space (\"a b \")\n"
      u8"        --endpoints FILE the hosts of the outside services, an INI file with a section\n"
      u8"                         [endpoints] (SearchEngineHost=127.0.0.1:18080, ...)\n"
      u8"        Without --size or --blocked the values come from the settings file Sarvoke配置.ini beside\n"
      u8"        the program; the command never writes it.\n"
      u8"        Exit status: 0 rows were listed, 1 nothing was found, 2 usage error.\n"
      u8"\n"
      u8"Environment: SARVOKE_ENDPOINTS names an endpoints file; SARVOKE_RUN_DIRECTORY replaces the\n"
      u8"program's directory as the place of the settings file.\n");
}

namespace {

int UsageError(const std::string& why) {
  std::fprintf(stderr, "sarvoke: %s\n%s", why.c_str(), CommandLineUsage());
  return 2;
}

bool ParsePositive(const std::string& s, int& out) {
  if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos) return false;
  out = std::atoi(s.c_str());
  return out >= 1;
}

}  // namespace

int SearchCommand(int argc, char** argv) {
  int page = 1;
  int sizeIndex = -2;  // -2: as the settings file says
  bool haveBlocked = false;
  std::string blocked, word, endpointsFile;
  bool haveWord = false;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string v;
    if (a == "--page") {
      if (!value(v) || !ParsePositive(v, page)) return UsageError("--page needs a page number from 1");
    } else if (a == "--size") {
      if (!value(v)) return UsageError("--size needs 10, 20, 50 or 100");
      if (v == "10")
        sizeIndex = 0;
      else if (v == "20")
        sizeIndex = 1;
      else if (v == "50")
        sizeIndex = 2;
      else if (v == "100")
        sizeIndex = 3;
      else
        return UsageError("--size needs 10, 20, 50 or 100");
    } else if (a == "--blocked") {
      if (!value(blocked)) return UsageError("--blocked needs a text");
      haveBlocked = true;
    } else if (a == "--endpoints") {
      if (!value(endpointsFile)) return UsageError("--endpoints needs a file");
    } else if (a == "--") {
      if (i + 1 < argc && !haveWord) {
        word = argv[++i];
        haveWord = true;
      }
    } else if (a.size() > 1 && a[0] == '-') {
      return UsageError("unknown option " + a);
    } else if (!haveWord) {
      word = a;
      haveWord = true;
    } else {
      return UsageError("one search word only (quote a word with spaces)");
    }
  }
  if (!haveWord) return UsageError("no search word");
  if (!endpointsFile.empty()) {
    bool ok = false;
    const Endpoints e = LoadEndpointsFile(endpointsFile, &ok);
    if (!ok) return UsageError("cannot read the endpoints file " + endpointsFile);
    SetCurrentEndpoints(e);
  }

  const char* runDir = std::getenv("SARVOKE_RUN_DIRECTORY");
  auto app = CreateApp(runDir && *runDir ? runDir : ProgramDirectory());
  AttachHeadlessView(app->window,
                     [](const Text& message) { std::fprintf(stderr, "%s\n", AnsiToUtf8(message).c_str()); });
  WindowModel& w = app->window;
  // The settings as the window would show them; nothing of the window's other start-up runs here.
  LoadSettings(w, app->runDirectory);
  w.SetText("编辑框1", Utf8ToAnsiText(word));
  if (haveBlocked) w.SetText("编辑框2", Utf8ToAnsiText(blocked));
  if (sizeIndex != -2) w.SetSelected("组合框1", sizeIndex);
  if (page == 1) {
    w.Fire("编辑框1", Event::KeyPressed, 13);
  } else {
    // Straight to page N: the state a person reaches by paging, then one "下一页".
    app->search.page = page - 1;
    w.Fire("按钮2", Event::Clicked);
  }
  for (const auto& row : w.Rows("超级列表框1")) {
    std::string line;
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (c) line += '\t';
      line += AnsiToUtf8(row[c]);
    }
    std::printf("%s\n", line.c_str());
  }
  std::fflush(stdout);
  const bool listed = w.RowCount("超级列表框1") > 0;
  ProgramExit(*app);
  return listed ? 0 : 1;
}

}  // namespace sarvoke
