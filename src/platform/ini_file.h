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

#include "text/text.h"

namespace sarvoke {

inline constexpr std::size_t kIniValueLimit = 10239;

// The value of `key` in `section` of the file at `path`, by the reading rules above.
Text ReadIniValue(const std::string& path, std::string_view section, std::string_view key);

// Writes `key`=`value` into `section`; returns false when the file could not be written.
bool WriteIniValue(const std::string& path, std::string_view section, std::string_view key,
                   std::string_view value);

}  // namespace sarvoke
