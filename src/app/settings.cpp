#include "app/settings.h"

#include "app/main_window.h"
#include "platform/ini_file.h"
#include "text/code_page.h"

namespace sarvoke {

std::string SettingsFilePath(const std::string& runDirectory) {
  return runDirectory + "/" + AnsiToUtf8("Sarvoke配置.ini");
}

Text LoadSettings(WindowModel& window, const std::string& runDirectory) {
  const std::string path = SettingsFilePath(runDirectory);
  IniFile file;
  const SmallFileRead status = LoadIniFile(path, file);
  auto read = [&](std::string_view key) { return IniValue(file, kSettingsSection, key); };
  window.SetText("编辑框1", read(kKeySearchWord));
  window.SetText("编辑框2", read(kKeyBlockedWords));
  window.SetSelected("组合框1", TextToInt(read(kKeyPageSize)));
  const Text blocked = read(kKeyBlockedWords);
  window.SetText("编辑框2", blocked.empty() ? Text(kDefaultBlockedWords) : blocked);
  const Text size = read(kKeyPageSize);
  window.SetSelected("组合框1", size.empty() ? kDefaultPageSizeIndex : TextToInt(size));
  const Text name = "设置文件“" + Utf8ToAnsiText(path) + "”";
  const Text after = "，本次使用默认设置，也不会改写它。";
  switch (status) {
    case SmallFileRead::Ok:
    case SmallFileRead::Missing:
      return Text();
    case SmallFileRead::NotRegular:
      return name + "不是普通文件" + after;
    case SmallFileRead::TooLarge:
      return name + "超过 1 MB" + after;
    case SmallFileRead::Unreadable:
      break;
  }
  return name + "无法读取" + after;
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
  const std::string path = SettingsFilePath(runDirectory);
  IniFile file;
  const SmallFileRead status = LoadIniFile(path, file);
  // What could not be read is not replaced by a file of three keys.
  if (status != SmallFileRead::Ok && status != SmallFileRead::Missing) return;
  SetIniValue(file, kSettingsSection, kKeySearchWord, SettingsValueForFile(window.GetText("编辑框1")));
  SetIniValue(file, kSettingsSection, kKeyBlockedWords, SettingsValueForFile(window.GetText("编辑框2")));
  SetIniValue(file, kSettingsSection, kKeyPageSize, std::to_string(window.GetSelected("组合框1")));
  SaveIniFile(path, file);
}

}  // namespace sarvoke
