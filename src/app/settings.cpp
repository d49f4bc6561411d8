#include "app/settings.h"

#include "app/main_window.h"
#include "platform/ini_file.h"
#include "text/code_page.h"

namespace sarvoke {

std::string SettingsFilePath(const std::string& runDirectory) {
  return runDirectory + "/" + AnsiToUtf8("Sarvoke配置.ini");
}

void LoadSettings(WindowModel& window, const std::string& runDirectory) {
  const std::string file = SettingsFilePath(runDirectory);
  auto read = [&](std::string_view key) { return ReadIniValue(file, kSettingsSection, key); };
  window.SetText("编辑框1", read(kKeySearchWord));
  window.SetText("编辑框2", read(kKeyBlockedWords));
  window.SetSelected("组合框1", TextToInt(read(kKeyPageSize)));
  const Text blocked = read(kKeyBlockedWords);
  window.SetText("编辑框2", blocked.empty() ? Text(kDefaultBlockedWords) : blocked);
  const Text size = read(kKeyPageSize);
  window.SetSelected("组合框1", size.empty() ? kDefaultPageSizeIndex : TextToInt(size));
}

Text SettingsValueForFile(const Text& text) {
  // A line break would end the value and start a line of its own in the file: one key's value could then
  // set another key. The boxes are single-line, so a pasted break stands for a space.
  Text value = text;
  for (char& c : value)
    if (c == '\r' || c == '\n') c = ' ';
  if (value.empty()) return value;
  const auto isSpace = [](char c) { return c == ' ' || c == '\t'; };
  const char first = value.front(), last = value.back();
  const bool losesBlanks = isSpace(first) || isSpace(last);
  const bool losesQuotes = value.size() >= 2 && (first == '"' || first == '\'') && last == first;
  return losesBlanks || losesQuotes ? "\"" + value + "\"" : value;
}

void SaveSettings(const WindowModel& window, const std::string& runDirectory) {
  const std::string file = SettingsFilePath(runDirectory);
  WriteIniValue(file, kSettingsSection, kKeySearchWord, SettingsValueForFile(window.GetText("编辑框1")));
  WriteIniValue(file, kSettingsSection, kKeyBlockedWords, SettingsValueForFile(window.GetText("编辑框2")));
  WriteIniValue(file, kSettingsSection, kKeyPageSize, std::to_string(window.GetSelected("组合框1")));
}

}  // namespace sarvoke
