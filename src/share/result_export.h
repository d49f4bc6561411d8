// The result list written out: as CSV for spreadsheet programs (UTF-8 with a byte-order mark, which
// those programs on Chinese Windows need to read UTF-8; RFC 4180 quoting; CR LF line ends) through the
// pop-up menu's "导出结果…", and as JSON for scripts (sarvoke search --json).
//
//   std::vector<ExportRow> rows = RowsForExport(app);   // the rows as the list shows them
//   std::string csv = ResultsCsv(rows);                  // "\xEF\xBB\xBF文件名,文件大小,…\r\n…"
//   std::string json = ResultsJson(rows, true);          // [{"fileName":"…",…,"check":"alive"}, …]
#pragma once

#include <string>
#include <vector>

#include "app/app.h"

namespace sarvoke {

inline constexpr std::string_view kExportDialogTitle = "导出结果";
inline constexpr std::string_view kExportSuggestedName = "Sarvoke搜索结果.csv";
inline constexpr std::string_view kNothingToExport = "列表中没有可以导出的结果。";

// One row of the list: its five cells as shown, its share page and its mark.
struct ExportRow {
  std::vector<Text> cells;
  Text shareUrl;
  RowMark mark = RowMark::None;
};

// The rows of the result list, with the share page of each row's record.
std::vector<ExportRow> RowsForExport(const App& app);

// A CSV field: quoted when it holds a comma, a quote or a line break, quotes doubled. A field that a
// spreadsheet would take for a formula (=, +, -, @ or a tab first) gets an apostrophe in front, so that
// a file name from the web cannot run one.
std::string CsvField(std::string_view utf8);

// The rows as a CSV file: the byte-order mark, a header line, one line per row (the five columns, the
// share page and the check's finding).
std::string ResultsCsv(const std::vector<ExportRow>& rows);

// The rows as a JSON array, one object per line: fileName, fileSize, sharer, shareTime, downloadCount,
// shareUrl, and with `withCheck` check ("alive", "dead", "unknown" or "" for a row not checked).
std::string ResultsJson(const std::vector<ExportRow>& rows, bool withCheck);

// Asks the front-end for a file name and writes the list there as CSV, saying in a message how it went;
// true when the file was written. An empty list is said instead, a cancelled dialog does nothing.
bool ExportResults(App& app);
// The pop-up menu item "导出结果…".
void MenuExportResults(App& app);

}  // namespace sarvoke
