// The settings and endpoints reader over any file: ParseIniFile and IniValue, and a value written with
// SetIniValue read back. Input: section \0 key \0 file.
#include "fuzz_input.h"
#include "platform/ini_file.h"

namespace {

using namespace sarvoke;

// A name that a line of the file can hold as it is, and that reads back as itself.
bool WritableName(std::string_view name, std::string_view forbidden) {
  if (name.empty() || name.front() == ' ' || name.front() == '\t' || name.back() == ' ' ||
      name.back() == '\t')
    return false;
  return name.find_first_of(forbidden) == std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parts = fuzz::SplitInput(fuzz::AsText(data, size), 3);
  const std::string_view section = parts[0], key = parts[1];
  IniFile file = ParseIniFile(Bytes(parts[2].begin(), parts[2].end()));
  fuzz::Check(IniValue(file, section, key).size() <= kIniValueLimit, "a value over the limit");
  fuzz::Check(IniValue(file, "endpoints", "SearchEngineHost").size() <= kIniValueLimit,
              "a value over the limit");

  // A key never starts a line that reads as a section header, and neither name spans lines.
  if (!WritableName(section, std::string_view("]\r\n", 3)) ||
      !WritableName(key, std::string_view("=\r\n", 3)) || key.front() == '[')
    return 0;
  SetIniValue(file, section, key, "written");
  fuzz::Check(IniValue(file, section, key) == "written", "a value written is not read back");
  // And the same after the file's text is read again.
  std::string text;
  for (const auto& line : file.lines) text += line + "\r\n";
  const IniFile again = ParseIniFile(Bytes(text.begin(), text.end()));
  fuzz::Check(IniValue(again, section, key) == "written", "a value written is not read back from the file");
  return 0;
}
