#include "platform/ini_file.h"

#include <vector>

#include "platform/files.h"

namespace sarvoke {
namespace {

std::vector<std::string> SplitLines(const Bytes& bytes) {
  std::vector<std::string> lines;
  std::string current;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = static_cast<char>(bytes[i]);
    if (c == '\n') {
      if (!current.empty() && current.back() == '\r') current.pop_back();
      lines.push_back(std::move(current));
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  if (!current.empty()) lines.push_back(std::move(current));
  return lines;
}

std::string_view TrimSpacesTabs(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool SameName(std::string_view a, std::string_view b) { return AsciiLower(a) == AsciiLower(b); }

// The section name when the line is a section header ("[name]"), else false.
bool SectionOf(std::string_view line, std::string_view& name) {
  line = TrimSpacesTabs(line);
  if (line.size() < 2 || line.front() != '[') return false;
  const auto close = line.find(']');
  if (close == std::string_view::npos) return false;
  name = TrimSpacesTabs(line.substr(1, close - 1));
  return true;
}

// The key and value of a "key=value" line, else false.
bool KeyOf(std::string_view line, std::string_view& key, std::string_view& value) {
  const auto eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  key = TrimSpacesTabs(line.substr(0, eq));
  value = line.substr(eq + 1);
  return true;
}

// [first, last) line range of the section's body; first == npos when the section is missing.
void FindSection(const std::vector<std::string>& lines, std::string_view section, std::size_t& first,
                 std::size_t& last) {
  first = std::string::npos;
  last = lines.size();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string_view name;
    if (!SectionOf(lines[i], name)) continue;
    if (first != std::string::npos) {
      last = i;
      return;
    }
    if (SameName(name, section)) first = i + 1;
  }
}

}  // namespace

SmallFileRead LoadIniFile(const std::string& path, IniFile& out) {
  Bytes bytes;
  const SmallFileRead status = ReadSmallFile(path, kIniFileLimit, bytes);
  out = ParseIniFile(bytes);
  return status;
}

IniFile ParseIniFile(const Bytes& bytes) { return IniFile{SplitLines(bytes)}; }

Text IniValue(const IniFile& file, std::string_view section, std::string_view key) {
  const auto& lines = file.lines;
  std::size_t first, last;
  FindSection(lines, section, first, last);
  if (first == std::string::npos) return Text();
  for (std::size_t i = first; i < last; ++i) {
    std::string_view k, v;
    if (!KeyOf(lines[i], k, v) || !SameName(k, key)) continue;
    v = TrimSpacesTabs(v);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
      v = v.substr(1, v.size() - 2);
    }
    if (v.size() > kIniValueLimit) v = v.substr(0, kIniValueLimit);
    return Text(v);
  }
  return Text();
}

void SetIniValue(IniFile& file, std::string_view section, std::string_view key, std::string_view value) {
  auto& lines = file.lines;
  const std::string entry = std::string(key) + "=" + std::string(value);
  std::size_t first, last;
  FindSection(lines, section, first, last);
  if (first == std::string::npos) {
    lines.push_back("[" + std::string(section) + "]");
    lines.push_back(entry);
    return;
  }
  std::size_t lastContent = first;  // insert behind the section's last non-empty line
  for (std::size_t i = first; i < last; ++i) {
    std::string_view k, v;
    if (KeyOf(lines[i], k, v) && SameName(k, key)) {
      lines[i] = entry;
      return;
    }
    if (!TrimSpacesTabs(lines[i]).empty()) lastContent = i + 1;
  }
  lines.insert(lines.begin() + lastContent, entry);
}

bool SaveIniFile(const std::string& path, const IniFile& file) {
  std::string out;
  for (const auto& l : file.lines) out += l + "\r\n";
  return WriteWholeFile(path, out);
}

Text ReadIniValue(const std::string& path, std::string_view section, std::string_view key) {
  IniFile file;
  LoadIniFile(path, file);
  return IniValue(file, section, key);
}

bool WriteIniValue(const std::string& path, std::string_view section, std::string_view key,
                   std::string_view value) {
  IniFile file;
  const SmallFileRead status = LoadIniFile(path, file);
  // A file that could not be read whole is not replaced by one made of nothing but this value.
  if (status != SmallFileRead::Ok && status != SmallFileRead::Missing) return false;
  SetIniValue(file, section, key, value);
  return SaveIniFile(path, file);
}

}  // namespace sarvoke
