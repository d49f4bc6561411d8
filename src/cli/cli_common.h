// What the sub-commands share: usage errors, the endpoints option, a headless program state whose
// message boxes go to standard error, and the result list printed as lines.
#pragma once

#include <memory>
#include <string>

#include "app/app.h"

namespace sarvoke {

// Writes "sarvoke: WHY" and the usage to standard error; returns 2, the status of a usage error.
int UsageError(const std::string& why);

// Makes the endpoints file at `path` the current endpoints; "" when it could, otherwise what is wrong with
// it (UTF-8).
std::string UseEndpointsFile(const std::string& path);

// The program's state with the event table bound and a headless view that writes each message box to
// standard error; the settings file is looked for in $SARVOKE_RUN_DIRECTORY or in the settings folder that
// the window uses (SettingsFolder).
// `saveAnswer` is what the view answers a save dialog with (the file named by --export).
std::shared_ptr<App> CreateHeadlessApp(const std::string& saveAnswer = "");

// `utf8` fit for a terminal: control characters (tabs, CR, ESC and the rest) become spaces, so that a
// field from the web can neither break the columns nor send the terminal escapes; with `lineBreaks`
// a CR LF or LF stays a line break (messages).
std::string TerminalSafe(std::string_view utf8, bool lineBreaks = false);

// Writes every row of the result list as one line of tab-separated UTF-8 fields; with `withCheck` a
// field with what the background check found (alive, dead, unknown), with `withUrls` the row's share
// page address last. Returns the number of rows.
int PrintResultRows(App& app, bool withUrls, bool withCheck = false);

// The link kind named by an option value ("plain", "thunder", "flashget", "qqdl"); -1 for any other.
int LinkKindNamed(const std::string& name);

// Reads the sub-command's options into `out` and its positional arguments; "" when they are fine,
// otherwise what is wrong.
struct SearchOptions {
  int page = 1;
  int sizeIndex = -2;  // -2: as the settings file says
  bool haveBlocked = false;
  std::string blocked, endpointsFile;
  bool urls = false;
  bool check = false;      // check every row's share page and print what was found
  bool json = false;       // print the rows as JSON
  std::string exportFile;  // save the rows as CSV there, through the window's export
  std::vector<std::string> words;  // positional arguments, in order
};
std::string ParseSearchOptions(int argc, char** argv, SearchOptions& out);

// Types the word into the search box as the options say and runs the search (with --check the rows'
// check too, waited for). Returns 0 when rows were listed, 1 when nothing was found, 3 when the results
// page could not be fetched.
int RunHeadlessSearch(App& app, const SearchOptions& options, const std::string& word);

// What the search options ask for once the rows are in: with --check the check waited for, then the
// rows printed as lines or as JSON, or exported as CSV. Returns 0, or 4 when the export could not be
// written (its message says why).
int PrintOrExportRows(App& app, const SearchOptions& options);

}  // namespace sarvoke
