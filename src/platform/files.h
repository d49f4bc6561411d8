// Whole-file reads and writes, and the folders the program uses.
#pragma once

#include <string>

#include "text/text.h"

namespace sarvoke {

// The file's bytes; false when it cannot be read.
bool ReadWholeFile(const std::string& path, Bytes& out);
// Replaces the file with `bytes`; false when it cannot be written.
bool WriteWholeFile(const std::string& path, const Bytes& bytes);
bool WriteWholeFile(const std::string& path, std::string_view bytes);
bool FileExists(const std::string& path);

// The directory of the program file, without a trailing separator.
std::string ProgramDirectory();
// The temporary-files folder, with a trailing separator (as GetTempPathA gives it).
std::string TempFolder();

}  // namespace sarvoke
