#include "text/code_page.h"

#include <iconv.h>

#include <cerrno>
#include <mutex>

namespace sarvoke {
namespace {

// Decodes UTF-8 into code points the way MultiByteToWideChar(CP_UTF8, 0) does on current Windows:
// every maximal ill-formed subsequence becomes one U+FFFD.
std::u32string DecodeUtf8(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  std::size_t i = 0;
  const std::size_t n = s.size();
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  while (i < n) {
    const unsigned char b = byte(i);
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    int need = 0;
    char32_t cp = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
      need = 1;
      cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      need = 2;
      cp = b & 0x0F;
      if (b == 0xE0) lo = 0xA0;
      if (b == 0xED) hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      need = 3;
      cp = b & 0x07;
      if (b == 0xF0) lo = 0x90;
      if (b == 0xF4) hi = 0x8F;
    } else {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    bool ok = true;
    for (int k = 0; k < need; ++k, ++j) {
      if (j >= n || byte(j) < lo || byte(j) > hi) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (byte(j) & 0x3F);
      lo = 0x80;
      hi = 0xBF;
    }
    out.push_back(ok ? cp : 0xFFFD);
    i = j;
  }
  return out;
}


// An iconv descriptor per direction and thread: opening one costs more than converting a short text.
struct Converter {
  iconv_t cd;
  Converter(const char* to, const char* from) : cd(iconv_open(to, from)) {}
  ~Converter() {
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  }
};

iconv_t ToGbk() {
  thread_local Converter c("CP936", "UTF-32LE");
  return c.cd;
}
iconv_t FromGbk() {
  thread_local Converter c("UTF-32LE", "CP936");
  return c.cd;
}

// Code points -> code page 936; a code point the code page lacks becomes "?".
std::string EncodeGbk(const std::u32string& cps) {
  std::string out;
  out.reserve(cps.size() * 2);
  iconv_t cd = ToGbk();
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    for (char32_t c : cps) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
  }
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  // iconv takes UTF-32LE bytes; on this little-endian platform that is the u32string's memory.
  const char* in = reinterpret_cast<const char*>(cps.data());
  std::size_t inLeft = cps.size() * 4;
  char buffer[16384];
  while (inLeft > 0) {
    char* dst = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t r = iconv(cd, const_cast<char**>(&in), &inLeft, &dst, &outLeft);
    out.append(buffer, dst - buffer);
    if (r == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ: a character without a code page 936 form; EINVAL cannot happen on whole code points.
      out.push_back('?');
      in += 4;
      inLeft -= 4;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  return out;
}

}  // namespace

void AppendUtf8(char32_t cp, Text& out) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

Text Utf8ToAnsiText(std::string_view utf8) {
  if (utf8.empty()) return Text();
  return EncodeGbk(DecodeUtf8(utf8));
}

Bytes Utf8BodyToAnsi(const Bytes& body) {
  if (body.empty()) return Bytes();
  const Text out =
      Utf8ToAnsiText(std::string_view(reinterpret_cast<const char*>(body.data()), body.size()));
  return Bytes(out.begin(), out.end());
}

Text AnsiToUtf8(std::string_view text) {
  Text out;
  if (text.empty()) return out;
  out.reserve(text.size() * 3 / 2);
  iconv_t cd = FromGbk();
  // Convert character by character only where iconv refuses, so that whole texts stay fast.
  std::size_t i = 0;
  char32_t buffer[4096];
  if (cd != reinterpret_cast<iconv_t>(-1)) iconv(cd, nullptr, nullptr, nullptr, nullptr);
  while (i < text.size()) {
    if (cd == reinterpret_cast<iconv_t>(-1)) {
      const unsigned char b = text[i];
      out.push_back(b < 0x80 ? static_cast<char>(b) : '?');
      ++i;
      continue;
    }
    const char* in = text.data() + i;
    std::size_t inLeft = text.size() - i;
    char* dst = reinterpret_cast<char*>(buffer);
    std::size_t outLeft = sizeof buffer;
    const std::size_t r = iconv(cd, const_cast<char**>(&in), &inLeft, &dst, &outLeft);
    const std::size_t produced = (dst - reinterpret_cast<char*>(buffer)) / 4;
    for (std::size_t k = 0; k < produced; ++k) AppendUtf8(buffer[k], out);
    i = in - text.data();
    if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
      // Not a code page 936 sequence: the whole character (or the lone byte) becomes "?".
      out.push_back('?');
      i += CharLengthAt(text, i);
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  return out;
}

}  // namespace sarvoke
