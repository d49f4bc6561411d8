#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
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

namespace {

// The process's file creation mask, read without changing it (umask() can only be read by setting it,
// which would race with other threads creating files).
mode_t CurrentUmask() {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  mode_t mask = 022;
  if (!f) return mask;
  char line[256];
  while (std::fgets(line, sizeof line, f)) {
    unsigned value = 0;
    if (std::sscanf(line, "Umask: %o", &value) == 1) {
      mask = static_cast<mode_t>(value);
      break;
    }
  }
  std::fclose(f);
  return mask;
}

}  // namespace

SmallFileRead ReadSmallFile(const std::string& path, std::size_t limit, Bytes& out) {
  out.clear();
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return errno == ENOENT || errno == ENOTDIR ? SmallFileRead::Missing : SmallFileRead::Unreadable;
  if (!S_ISREG(st.st_mode)) return SmallFileRead::NotRegular;
  if (static_cast<std::uintmax_t>(st.st_size) > limit) return SmallFileRead::TooLarge;
  // Opened without waiting, and checked again: the name may have been pointed at a pipe meanwhile.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return SmallFileRead::Unreadable;
  SmallFileRead result = SmallFileRead::Ok;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    result = SmallFileRead::NotRegular;
  } else {
    unsigned char buffer[65536];
    for (;;) {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        result = SmallFileRead::Unreadable;
        break;
      }
      if (n == 0) break;
      if (out.size() + static_cast<std::size_t>(n) > limit) {  // it grew since
        result = SmallFileRead::TooLarge;
        break;
      }
      out.insert(out.end(), buffer, buffer + n);
    }
  }
  ::close(fd);
  if (result != SmallFileRead::Ok) out.clear();
  return result;
}

bool WriteWholeFile(const std::string& path, std::string_view bytes) {
  std::string temp = path + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  // The new file gets the permissions a file created in its place would have.
  ::fchmod(fd, 0666 & ~CurrentUmask());
  bool ok = true;
  for (std::size_t done = 0; ok && done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  ok = ok && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
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
