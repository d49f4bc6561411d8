#include "app/settings.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "app/main_window.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "text/code_page.h"

namespace sarvoke {
namespace {

// A regular file, or a link to one, that this user may write.
bool WritableFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), W_OK) == 0;
}

// The file is replaced through a new file beside it (WriteWholeFile), so its folder must take new files.
bool WritableFolder(const std::string& path) { return ::access(path.c_str(), W_OK | X_OK) == 0; }

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// Makes `folder` with any parents it lacks. The last part is the program's own and only its owner may
// enter it (0700), as the freedesktop base-directory convention asks; parents get the usual modes.
bool MakeSettingsFolder(const std::string& folder) {
  std::error_code ec;
  if (std::filesystem::is_directory(folder, ec)) return true;
  const std::filesystem::path parent = std::filesystem::path(folder).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent, ec);
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
  return std::filesystem::is_directory(folder, ec);
}

}  // namespace

std::string SettingsFilePath(const std::string& runDirectory) {
  return runDirectory + "/" + AnsiToUtf8("Sarvoke配置.ini");
}

std::string ChooseSettingsFolder(const std::string& programDirectory, const UserFolders& user) {
  // A copy unpacked in a folder of its own keeps its file where it always was.
  if (WritableFile(SettingsFilePath(programDirectory)) && WritableFolder(programDirectory))
    return programDirectory;
  // The base-directory convention: a relative $XDG_CONFIG_HOME is invalid and is ignored.
  if (!user.xdgConfigHome.empty() && user.xdgConfigHome.front() == '/')
    return WithoutTrailingSlashes(user.xdgConfigHome) + "/sarvoke";
  if (!user.home.empty()) return WithoutTrailingSlashes(user.home) + "/.config/sarvoke";
  // A user without a home: the program's folder is the only place left; a failed save says nothing worse.
  return programDirectory;
}

UserFolders CurrentUserFolders() {
  UserFolders user;
  if (const char* x = std::getenv("XDG_CONFIG_HOME")) user.xdgConfigHome = x;
  if (const char* h = std::getenv("HOME"); h && *h) {
    user.home = h;
  } else if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) {
    user.home = entry->pw_dir;
  }
  return user;
}

std::string SettingsFolder() { return ChooseSettingsFolder(ProgramDirectory(), CurrentUserFolders()); }

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
      return Text();
    case SmallFileRead::Missing:
      if (MakeSettingsFolder(runDirectory)) return Text();
      return "设置文件夹“" + Utf8ToAnsiText(runDirectory) + "”无法建立，本次使用默认设置，关闭时也无法保存。";
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
  if (status == SmallFileRead::Missing) MakeSettingsFolder(runDirectory);
  SetIniValue(file, kSettingsSection, kKeySearchWord, SettingsValueForFile(window.GetText("编辑框1")));
  SetIniValue(file, kSettingsSection, kKeyBlockedWords, SettingsValueForFile(window.GetText("编辑框2")));
  SetIniValue(file, kSettingsSection, kKeyPageSize, std::to_string(window.GetSelected("组合框1")));
  SaveIniFile(path, file);
}

}  // namespace sarvoke
