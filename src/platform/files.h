// Whole-file reads and writes, and the folders the program uses.
#pragma once

#include <string>

#include "text/text.h"

namespace sarvoke {

// The file's bytes; false when it cannot be read.
bool ReadWholeFile(const std::string& path, Bytes& out);

// What reading a small file of the user's came to.
enum class SmallFileRead { Ok, Missing, NotRegular, TooLarge, Unreadable };
// Reads the file at `path` when it is a regular file of at most `limit` bytes; a pipe, a device or a
// folder is not opened for reading at all, and nothing past the limit is read.
SmallFileRead ReadSmallFile(const std::string& path, std::size_t limit, Bytes& out);

// Replaces the file with `bytes`, whole: they go to a new file beside it, which is then renamed over it,
// so that a crash or a full disk leaves the old file or the new one, never half of one. False when it
// cannot be written (the old file then stays as it was).
bool WriteWholeFile(const std::string& path, const Bytes& bytes);
bool WriteWholeFile(const std::string& path, std::string_view bytes);
bool FileExists(const std::string& path);

// The directory of the program file, without a trailing separator.
std::string ProgramDirectory();
// The temporary-files folder, with a trailing separator (as GetTempPathA gives it).
std::string TempFolder();

}  // namespace sarvoke
