#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/files.h"

namespace sarvoke {

bool ReadWholeFile(const std::string& path, Bytes& out) {
  out.clear();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  unsigned char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.insert(out.end(), buffer, buffer + n);
  const bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

bool WriteWholeFile(const std::string& path, std::string_view bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

bool WriteWholeFile(const std::string& path, const Bytes& bytes) {
  return WriteWholeFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

std::string ProgramDirectory() {
  char buffer[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return ".";
  std::string path(buffer, n);
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

std::string TempFolder() {
  std::string dir;
  if (const char* t = std::getenv("TMPDIR"); t && *t)
    dir = t;
  else
    dir = "/tmp";
  if (dir.back() != '/') dir += '/';
  return dir;
}

}  // namespace sarvoke
