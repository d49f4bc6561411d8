#include "cli/cli_common.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/settings.h"
#include "cli/cli_search.h"
#include "net/endpoints.h"
#include "platform/files.h"
#include "share/direct_link.h"
#include "share/liveness_check.h"
#include "share/result_export.h"
#include "share/link_codecs.h"
#include "text/code_page.h"

namespace sarvoke {
namespace {

bool ParsePositive(const std::string& s, int& out) {
  if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos) return false;
  out = std::atoi(s.c_str());
  return out >= 1;
}

}  // namespace

int UsageError(const std::string& why) {
  std::fprintf(stderr, "sarvoke: %s\n%s", why.c_str(), CommandLineUsage());
  return 2;
}

std::string UseEndpointsFile(const std::string& path) {
  Endpoints e;
  const Text problem = ReadEndpointsFile(path, e);
  if (!problem.empty()) return AnsiToUtf8(problem);
  SetCurrentEndpoints(e);
  return "";
}

std::shared_ptr<App> CreateHeadlessApp(const std::string& saveAnswer) {
  const char* runDir = std::getenv("SARVOKE_RUN_DIRECTORY");
  auto app = CreateApp(runDir && *runDir ? runDir : SettingsFolder());
  auto view = AttachHeadlessView(app->window, [](const Text& message) {
    std::fprintf(stderr, "%s\n", TerminalSafe(AnsiToUtf8(message), true).c_str());
  });
  view->saveAnswer = saveAnswer;
  return app;
}

std::string TerminalSafe(std::string_view utf8, bool lineBreaks) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (lineBreaks && b == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') continue;
    if (lineBreaks && b == '\n') {
      out.push_back('\n');
    } else if (b < 0x20 || b == 0x7F) {
      out.push_back(' ');
    } else if (b == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
      out.push_back(' ');  // a C1 control, such as the one-character CSI
      ++i;
    } else {
      out.push_back(utf8[i]);
    }
  }
  return out;
}

int PrintResultRows(App& app, bool withUrls, bool withCheck) {
  const auto rows = app.window.Rows("超级列表框1");
  for (std::size_t r = 0; r < rows.size(); ++r) {
    std::string line;
    for (std::size_t c = 0; c < rows[r].size(); ++c) {
      if (c) line += '\t';
      line += TerminalSafe(AnsiToUtf8(rows[r][c]));
    }
    if (withCheck) line += '\t' + std::string(RowMarkName(app.window.GetRowMark("超级列表框1", static_cast<int>(r))));
    if (withUrls && HasRecordAt(app, static_cast<int>(r)))
      line += '\t' + TerminalSafe(AnsiToUtf8(ShareUrlOfRow(app, static_cast<int>(r))));
    std::printf("%s\n", line.c_str());
  }
  std::fflush(stdout);
  return static_cast<int>(rows.size());
}

int LinkKindNamed(const std::string& name) {
  if (name == "plain") return Plain;
  if (name == "thunder") return Thunder;
  if (name == "flashget") return Flashget;
  if (name == "qqdl") return Qqdl;
  return -1;
}

std::string ParseSearchOptions(int argc, char** argv, SearchOptions& o) {
  bool endOfOptions = false;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string v;
    if (endOfOptions || a.size() <= 1 || a[0] != '-') {
      o.words.push_back(a);
    } else if (a == "--") {
      endOfOptions = true;
    } else if (a == "--page") {
      if (!value(v) || !ParsePositive(v, o.page)) return "--page needs a page number from 1";
    } else if (a == "--size") {
      if (!value(v)) return "--size needs 10, 20, 50 or 100";
      const char* sizes[] = {"10", "20", "50", "100"};
      o.sizeIndex = -1;
      for (int k = 0; k < 4; ++k)
        if (v == sizes[k]) o.sizeIndex = k;
      if (o.sizeIndex < 0) return "--size needs 10, 20, 50 or 100";
    } else if (a == "--blocked") {
      if (!value(o.blocked)) return "--blocked needs a text";
      o.haveBlocked = true;
    } else if (a == "--endpoints") {
      if (!value(o.endpointsFile)) return "--endpoints needs a file";
    } else if (a == "--urls") {
      o.urls = true;
    } else if (a == "--check") {
      o.check = true;
    } else if (a == "--json") {
      o.json = true;
    } else if (a == "--export") {
      if (!value(o.exportFile) || o.exportFile.empty()) return "--export needs a file";
    } else {
      return "unknown option " + a;
    }
  }
  if (o.json && !o.exportFile.empty()) return "--json and --export cannot go together";
  if (!o.endpointsFile.empty()) return UseEndpointsFile(o.endpointsFile);
  return "";
}

int RunHeadlessSearch(App& app, const SearchOptions& o, const std::string& word) {
  WindowModel& w = app.window;
  // The settings as the window would show them; nothing of the window's other start-up runs here.
  const Text problem = LoadSettings(w, app.runDirectory);
  if (!problem.empty()) w.MessageBox(problem);
  w.SetText("编辑框1", Utf8ToAnsiText(word));
  if (o.haveBlocked) w.SetText("编辑框2", Utf8ToAnsiText(o.blocked));
  if (o.sizeIndex != -2) w.SetSelected("组合框1", o.sizeIndex);
  app.search.checkRows = o.check;
  if (o.page == 1) {
    w.Fire("编辑框1", Event::KeyPressed, 13);
  } else {
    // Straight to page N: the state a person reaches by paging, then one "下一页".
    app.search.page = o.page - 1;
    w.Fire("按钮2", Event::Clicked);
  }
  if (w.RowCount("超级列表框1") > 0) return 0;
  return app.search.pageFetchFailed ? 3 : 1;
}

int PrintOrExportRows(App& app, const SearchOptions& o) {
  if (o.check) {
    // Every page ends within the check's time-out, a few at a time: the wait has an end of its own.
    const HttpBatchOptions limits = CurrentRowCheckLimits();
    const long places = std::max(1, limits.maxConnections);
    const long rounds = (app.window.RowCount("超级列表框1") + places - 1) / places;
    WaitForRowCheck(app, static_cast<int>(std::min(rounds * limits.timeoutMs + 10000, 3600000L)));
  }
  if (!o.exportFile.empty()) {
    // The window's export, with the file name the view answers its save dialog with.
    return ExportResults(app) ? 0 : 4;
  }
  if (o.json) {
    const std::string json = ResultsJson(RowsForExport(app), o.check);
    std::fwrite(json.data(), 1, json.size(), stdout);
    std::fflush(stdout);
    return 0;
  }
  PrintResultRows(app, o.urls, o.check);
  return 0;
}

}  // namespace sarvoke
