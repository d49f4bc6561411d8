#include "share/result_export.h"

#include "platform/files.h"
#include "share/direct_link.h"
#include "share/json_text.h"
#include "share/liveness_check.h"
#include "text/code_page.h"

namespace sarvoke {
namespace {

constexpr std::string_view kResultList = "超级列表框1";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr const char* kJsonNames[] = {"fileName", "fileSize", "sharer", "shareTime", "downloadCount"};

// What the check found, in the words of the CSV file (which is read by people).
Text MarkForPeople(RowMark mark) {
  switch (mark) {
    case RowMark::Alive:
      return "有效";
    case RowMark::Dead:
      return "已失效";
    case RowMark::Unknown:
      return "未知";
    case RowMark::None:
      break;
  }
  return Text();
}

std::string Utf8(const Text& text) { return AnsiToUtf8(text); }

}  // namespace

std::vector<ExportRow> RowsForExport(const App& app) {
  const Text list(kResultList);
  const auto rows = app.window.Rows(list);
  const auto marks = app.window.RowMarks(list);
  std::vector<ExportRow> out;
  out.reserve(rows.size());
  for (std::size_t r = 0; r < rows.size(); ++r) {
    ExportRow row;
    row.cells = rows[r];
    row.cells.resize(std::size(kJsonNames));
    if (HasRecordAt(app, static_cast<int>(r))) row.shareUrl = ShareUrlOfRow(app, static_cast<int>(r));
    if (r < marks.size()) row.mark = marks[r];
    out.push_back(std::move(row));
  }
  return out;
}

std::string CsvField(std::string_view utf8) {
  std::string field(utf8);
  if (!field.empty() && (field[0] == '=' || field[0] == '+' || field[0] == '-' || field[0] == '@' || field[0] == '\t'))
    field.insert(0, 1, '\'');
  if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
  std::string quoted = "\"";
  for (const char c : field) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string ResultsCsv(const std::vector<ExportRow>& rows) {
  std::string out(kByteOrderMark);
  out += Utf8("文件名,文件大小,分享者,分享时间,下载次数,分享页地址,检查结果") + "\r\n";
  for (const ExportRow& row : rows) {
    for (const Text& cell : row.cells) out += CsvField(Utf8(cell)) + ",";
    out += CsvField(Utf8(row.shareUrl)) + "," + CsvField(Utf8(MarkForPeople(row.mark))) + "\r\n";
  }
  return out;
}

std::string ResultsJson(const std::vector<ExportRow>& rows, bool withCheck) {
  std::string out = "[";
  for (std::size_t r = 0; r < rows.size(); ++r) {
    out += r ? ",\n " : "\n ";
    out += "{";
    for (std::size_t c = 0; c < std::size(kJsonNames); ++c) {
      const Text cell = c < rows[r].cells.size() ? rows[r].cells[c] : Text();
      out += JsonQuoted(kJsonNames[c]) + ":" + JsonQuoted(Utf8(cell)) + ",";
    }
    out += "\"shareUrl\":" + JsonQuoted(Utf8(rows[r].shareUrl));
    if (withCheck) out += ",\"check\":" + JsonQuoted(RowMarkName(rows[r].mark));
    out += "}";
  }
  return out + (rows.empty() ? "]\n" : "\n]\n");
}

bool ExportResults(App& app) {
  const std::vector<ExportRow> rows = RowsForExport(app);
  if (rows.empty()) {
    app.window.MessageBox(Text(kNothingToExport));
    return false;
  }
  const std::string path = app.window.AskSaveFileName(Text(kExportDialogTitle), Text(kExportSuggestedName));
  if (path.empty()) return false;  // the user cancelled
  const Text where = Utf8ToAnsiText(path);
  if (!WriteWholeFile(path, ResultsCsv(rows))) {
    app.window.MessageBox("无法写入文件“" + where + "”，结果没有导出。");
    return false;
  }
  app.window.MessageBox("已将 " + std::to_string(rows.size()) + " 条结果导出到“" + where + "”。");
  return true;
}

void MenuExportResults(App& app) { ExportResults(app); }

}  // namespace sarvoke
