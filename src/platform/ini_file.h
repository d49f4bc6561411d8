// Reading and writing one value of an INI file, with the semantics of the Windows profile functions the
// program's settings file was designed for.
//
// Reading: section and key names match without regard to ASCII letter case; the value loses spaces and
// tabs at both ends, then one pair of single or double quotation marks enclosing the whole value; at most
// kIniValueLimit bytes are kept. A missing file, section or key reads as "".
// Writing creates the file, the section and the key as needed and replaces an existing key's value.
// Paths are UTF-8 file system paths; the content is kept as the bytes it holds (code page 936).
#pragma once

#include <string>
#include <vector>

#include "platform/files.h"
#include "text/text.h"

namespace sarvoke {

inline constexpr std::size_t kIniValueLimit = 10239;
// The largest settings or endpoints file that is read; a larger one is refused.
inline constexpr std::size_t kIniFileLimit = 1u << 20;

// A whole INI file, read once: its lines without their line ends.
struct IniFile {
  std::vector<std::string> lines;
};

// Reads the file at `path` (a regular file of at most kIniFileLimit bytes; see ReadSmallFile). A missing
// file reads as an empty IniFile with the status Missing.
SmallFileRead LoadIniFile(const std::string& path, IniFile& out);
IniFile ParseIniFile(const Bytes& bytes);
// The value of `key` in `section`, by the reading rules above.
Text IniValue(const IniFile& file, std::string_view section, std::string_view key);
// Sets `key`=`value` in `section`, adding the section and the key as needed.
void SetIniValue(IniFile& file, std::string_view section, std::string_view key, std::string_view value);
// Writes the whole file (see WriteWholeFile); false when it could not be written.
bool SaveIniFile(const std::string& path, const IniFile& file);

// The value of `key` in `section` of the file at `path`, by the reading rules above.
Text ReadIniValue(const std::string& path, std::string_view section, std::string_view key);

// Writes `key`=`value` into `section`; returns false when the file could not be written.
bool WriteIniValue(const std::string& path, std::string_view section, std::string_view key,
                   std::string_view value);

}  // namespace sarvoke
