// Copies a UTF-8 C++ source file with its narrow literals in code page 936, for the clang build of the
// fuzz targets.
//
// GCC turns the program's UTF-8 literals into code page 936 through -fexec-charset=CP936; clang has no
// such option and keeps a literal's bytes as UTF-8. This copy does what GCC's option does, and nothing
// else: every character of an unprefixed string or character literal becomes its code page 936 bytes,
// through the same converter GCC uses (glibc's iconv). In an ordinary literal they are written as octal
// escapes, always three digits, so that no byte can be read as a quote, a backslash or part of the next
// escape; in a raw literal they stay raw bytes. Identifiers (the program has a few in Chinese), comments
// and L/u/U/u8 literals stay as they are.
//
//   cp936_copy IN OUT
//
// Exits 1 for a literal holding a character that code page 936 lacks, as GCC would refuse it.
#include <iconv.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

bool ToCp936(const std::string& in, std::string& out) {
  iconv_t cd = iconv_open("CP936", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out.assign(in.size() + 16, '\0');
  char* src = const_cast<char*>(in.data());
  std::size_t srcLeft = in.size();
  char* dst = out.data();
  std::size_t dstLeft = out.size();
  // Code page 936 never takes more bytes than UTF-8 for a character, so one pass fits.
  const std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  iconv_close(cd);
  if (r == static_cast<std::size_t>(-1) || srcLeft != 0) return false;
  out.resize(out.size() - dstLeft);
  return true;
}

bool IsIdentifierByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c >= 0x80;
}

class Copier {
 public:
  explicit Copier(const std::string& source) : s(source) {}

  // False, with `error` set, for a literal that code page 936 cannot hold or one that never ends.
  bool Run() {
    while (i < s.size()) {
      const unsigned char c = s[i];
      if (s.compare(i, 2, "//") == 0) {
        CopyLineComment();
      } else if (s.compare(i, 2, "/*") == 0) {
        const std::size_t end = s.find("*/", i + 2);
        const std::size_t stop = end == std::string::npos ? s.size() : end + 2;
        out.append(s, i, stop - i);
        i = stop;
      } else if (c >= '0' && c <= '9') {
        CopyNumber();
      } else if (IsIdentifierByte(c)) {
        const std::size_t start = i;
        while (i < s.size() && IsIdentifierByte(s[i])) ++i;
        const std::string word = s.substr(start, i - start);
        out += word;
        if (i < s.size() && (s[i] == '"' || s[i] == '\'')) {
          if (!Literal(word)) return false;
        }
      } else if (c == '"' || c == '\'') {
        if (!Literal("")) return false;
      } else {
        out += static_cast<char>(c);
        ++i;
      }
    }
    return true;
  }

  std::string out;
  std::string error;

 private:
  void CopyLineComment() {
    // A backslash at the end of the line carries the comment on.
    while (i < s.size() && s[i] != '\n') {
      if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == '\n') out += s[i++];
      out += s[i++];
    }
  }

  // A pp-number, so that a digit separator (1'000) is no character literal.
  void CopyNumber() {
    while (i < s.size()) {
      const unsigned char c = s[i];
      if ((c == '+' || c == '-') &&
          (s[i - 1] == 'e' || s[i - 1] == 'E' || s[i - 1] == 'p' || s[i - 1] == 'P')) {
        out += s[i++];
      } else if (c == '\'' && i + 1 < s.size() && IsIdentifierByte(s[i + 1])) {
        out += s[i++];
      } else if (IsIdentifierByte(c) || c == '.') {
        out += s[i++];
      } else {
        break;
      }
    }
  }

  // The literal at s[i] (a quote) behind the identifier `prefix` already copied.
  bool Literal(const std::string& prefix) {
    const char quote = s[i];
    const bool raw = quote == '"' && !prefix.empty() && prefix.back() == 'R';
    const std::string kind = raw ? prefix.substr(0, prefix.size() - 1) : prefix;
    // L, u, U and u8 literals have their own encodings, which -fexec-charset leaves alone; any other
    // identifier in front (a macro, a user-defined literal operator) leaves an ordinary literal.
    const bool convert = !(kind == "L" || kind == "u" || kind == "U" || kind == "u8");
    if (raw) return RawLiteral(convert);
    out += s[i++];
    while (i < s.size() && s[i] != quote) {
      if (s[i] == '\n') return Fail("a line break inside a literal");
      if (s[i] == '\\') {
        if (i + 1 >= s.size()) return Fail("a literal that never ends");
        out.append(s, i, 2);
        i += 2;
      } else if (static_cast<unsigned char>(s[i]) >= 0x80 && convert) {
        std::string bytes;
        if (!ConvertRun(bytes)) return false;
        for (unsigned char b : bytes) {
          char octal[5];
          std::snprintf(octal, sizeof octal, "\\%03o", b);
          out += octal;
        }
      } else {
        out += s[i++];
      }
    }
    if (i >= s.size()) return Fail("a literal that never ends");
    out += s[i++];
    return true;
  }

  bool RawLiteral(bool convert) {
    const std::size_t open = s.find('(', i);
    if (open == std::string::npos) return Fail("a raw literal without its parenthesis");
    const std::string closing = ")" + s.substr(i + 1, open - i - 1) + "\"";
    const std::size_t end = s.find(closing, open);
    if (end == std::string::npos) return Fail("a raw literal that never ends");
    out.append(s, i, open + 1 - i);
    i = open + 1;
    while (i < end) {
      if (static_cast<unsigned char>(s[i]) >= 0x80 && convert) {
        std::string bytes;
        if (!ConvertRun(bytes, end)) return false;
        out += bytes;
      } else {
        out += s[i++];
      }
    }
    out += closing;
    i = end + closing.size();
    return true;
  }

  // Converts the run of non-ASCII bytes at s[i] (whole UTF-8 characters, as ASCII bytes bound them).
  bool ConvertRun(std::string& bytes, std::size_t limit = std::string::npos) {
    const std::size_t start = i;
    while (i < s.size() && i < limit && static_cast<unsigned char>(s[i]) >= 0x80) ++i;
    if (!ToCp936(s.substr(start, i - start), bytes)) return Fail("a literal that code page 936 cannot hold");
    return true;
  }

  bool Fail(const char* what) {
    std::size_t line = 1;
    for (std::size_t k = 0; k < i && k < s.size(); ++k) line += s[k] == '\n';
    error = std::string(what) + " at line " + std::to_string(line);
    return false;
  }

  const std::string& s;
  std::size_t i = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: cp936_copy IN OUT\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cp936_copy: cannot read %s\n", argv[1]);
    return 1;
  }
  const std::string source((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Copier copier(source);
  if (!copier.Run()) {
    std::fprintf(stderr, "cp936_copy: %s: %s\n", argv[1], copier.error.c_str());
    return 1;
  }
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out.write(copier.out.data(), static_cast<std::streamsize>(copier.out.size()));
  if (!out) {
    std::fprintf(stderr, "cp936_copy: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
