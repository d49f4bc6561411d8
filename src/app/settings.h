// The settings file "Sarvoke配置.ini" in the run directory: the last search word, the blocked words and
// the chosen page size, read when the window is created and written when it is about to be destroyed.
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

// Fills 编辑框1, 编辑框2 and 组合框1 from the settings file (read once), with their defaults. Returns ""
// or, for a file that is not a regular file, is over 1 MB or cannot be read, a message for the user; the
// controls then take their defaults.
Text LoadSettings(WindowModel& window, const std::string& runDirectory);
// Writes the three controls back, in the order search word, blocked words, page size, the file replaced
// whole. A file that could not be read (see LoadSettings) is left as it is.
void SaveSettings(const WindowModel& window, const std::string& runDirectory);

// The value as written to the file: line breaks become spaces, and the value is quoted when the reader
// would otherwise lose blanks at its ends or a pair of enclosing quotes, so that it reads back whole.
Text SettingsValueForFile(const Text& value);

}  // namespace sarvoke
