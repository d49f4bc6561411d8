// The settings file "Sarvoke配置.ini" in the settings folder: the last search word, the blocked words and
// the chosen page size, read when the window is created and written when it is about to be destroyed.
//
// The settings folder is the program's own folder when the file is there and both can be written (a copy
// unpacked in a folder of its own); an installed program keeps the file in the user's configuration folder:
//
//   ChooseSettingsFolder("/opt/sarvoke", {"", "/home/a"})   // "/opt/sarvoke" with a writable file there,
//                                                           // else "/home/a/.config/sarvoke"
#pragma once

#include <string>

#include "app/window_model.h"

namespace sarvoke {

inline constexpr std::string_view kSettingsSection = "配置";
inline constexpr std::string_view kKeySearchWord = "关键词";
inline constexpr std::string_view kKeyBlockedWords = "屏蔽词";
inline constexpr std::string_view kKeyPageSize = "每页条数";
inline constexpr int kDefaultPageSizeIndex = 3;  // 100 hits a page

// The settings file's path (UTF-8) in `runDirectory`.
std::string SettingsFilePath(const std::string& runDirectory);

// The user's folders that the choice depends on, as the environment gives them (UTF-8 paths).
struct UserFolders {
  std::string xdgConfigHome;  // $XDG_CONFIG_HOME; used only when it is an absolute path
  std::string home;           // $HOME, or the password database's home folder when that is unset
};
// The settings folder of a program whose file is in `programDirectory`: that folder when the settings file
// there is a regular file that can be written and the folder can be written too; otherwise
// $XDG_CONFIG_HOME/sarvoke, or ~/.config/sarvoke. Only looks; LoadSettings creates the folder.
std::string ChooseSettingsFolder(const std::string& programDirectory, const UserFolders& user);
// The folders of the user running the program.
UserFolders CurrentUserFolders();
// ChooseSettingsFolder for this program and this user.
std::string SettingsFolder();

// Fills 编辑框1, 编辑框2 and 组合框1 from the settings file (read once), with their defaults. Returns ""
// or, for a file that is not a regular file, is over 1 MB or cannot be read, a message for the user; the
// controls then take their defaults. A missing folder is created (only the user may enter its last
// part); one that cannot be gets a message too, since nothing will be saved.
Text LoadSettings(WindowModel& window, const std::string& runDirectory);
// Writes the three controls back, in the order search word, blocked words, page size, the file replaced
// whole. A file that could not be read (see LoadSettings) is left as it is; a folder removed since the
// start is made again.
void SaveSettings(const WindowModel& window, const std::string& runDirectory);

// The value as written to the file: line breaks become spaces, and the value is quoted when the reader
// would otherwise lose blanks at its ends or a pair of enclosing quotes, so that it reads back whole.
Text SettingsValueForFile(const Text& value);

}  // namespace sarvoke
