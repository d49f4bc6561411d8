#include "text/script_helpers.h"

#include <ctime>
#include <optional>
#include <string>

#include "text/char_sequence.h"
#include "text/code_page.h"

namespace sarvoke {
namespace {

// Stands for "\r\n" while the text sits in a one-line string literal.
constexpr std::string_view kLineBreakPlaceholder = "{$}";
// Stands for the apostrophe, which would end the literal.
constexpr std::string_view kApostropheStandIn = "’";

int HexValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// `count` hex digits at s[at...] as a number, or -1.
long HexAt(std::u16string_view s, std::size_t at, int count) {
  if (at + count > s.size()) return -1;
  long v = 0;
  for (int k = 0; k < count; ++k) {
    const int h = HexValue(s[at + k]);
    if (h < 0) return -1;
    v = v * 16 + h;
  }
  return v;
}

// The value of a single-quoted JScript string literal whose body is `body`; none when the literal is
// invalid.
std::optional<std::u16string> ReadStringLiteral(const std::wstring& body) {
  std::u16string units;
  units.reserve(body.size());
  // Code page 936 decodes into the Basic Multilingual Plane only, so each character is one UTF-16 unit.
  const std::u16string s(body.begin(), body.end());
  const std::size_t n = s.size();
  auto isOctal = [&](std::size_t k) { return k < n && s[k] >= u'0' && s[k] <= u'7'; };
  for (std::size_t i = 0; i < n;) {
    const char16_t c = s[i];
    if (c == u'\r' || c == u'\n') return std::nullopt;
    if (c != u'\\') {
      units.push_back(c);
      ++i;
      continue;
    }
    if (i + 1 >= n) return std::nullopt;  // the backslash would escape the closing quote
    const char16_t d = s[i + 1];
    i += 2;
    // JScript knows no "\v": like any undefined escape it stands for the letter itself.
    switch (d) {
      case u'\r':
      case u'\n':
        return std::nullopt;
      case u'n':
        units.push_back(u'\n');
        break;
      case u't':
        units.push_back(u'\t');
        break;
      case u'b':
        units.push_back(u'\b');
        break;
      case u'f':
        units.push_back(u'\f');
        break;
      case u'r':
        units.push_back(u'\r');
        break;
      case u'x':
      case u'u': {
        const int digits = d == u'x' ? 2 : 4;
        const long v = HexAt(s, i, digits);
        if (v < 0) {
          units.push_back(d);  // not an escape after all: the letter itself
        } else {
          units.push_back(static_cast<char16_t>(v));
          i += digits;
        }
        break;
      }
      default:
        if (d >= u'0' && d <= u'7') {
          // Octal: up to three digits from 0-3, up to two from 4-7.
          int v = d - u'0';
          const int more = d <= u'3' ? 2 : 1;
          for (int k = 0; k < more && isOctal(i); ++k) v = v * 8 + (s[i++] - u'0');
          units.push_back(static_cast<char16_t>(v));
        } else {
          units.push_back(d);
        }
    }
  }
  return units;
}

// JScript's unescape: %uHHHH and %HH become the unit with that code; any other "%" stays.
std::u16string Unescape(std::u16string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    if (s[i] == u'%') {
      if (i + 1 < s.size() && s[i + 1] == u'u') {
        const long v = HexAt(s, i + 2, 4);
        if (v >= 0) {
          out.push_back(static_cast<char16_t>(v));
          i += 6;
          continue;
        }
      }
      const long v = HexAt(s, i + 1, 2);
      if (v >= 0) {
        out.push_back(static_cast<char16_t>(v));
        i += 3;
        continue;
      }
    }
    out.push_back(s[i++]);
  }
  return out;
}

// UTF-16 -> code page 936. A surrogate without its partner becomes "?", as the platform's converter
// renders it; the value ends at its first zero, as a Text does.
Text ToCodePage936(std::u16string_view s) {
  std::string utf8;
  utf8.reserve(s.size() * 3);
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char16_t u = s[i];
    if (u == 0) break;
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      AppendUtf8(0x10000 + ((u - 0xD800) << 10) + (s[i + 1] - 0xDC00), utf8);
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      utf8.push_back('?');
    } else {
      AppendUtf8(u, utf8);
    }
  }
  return Utf8ToAnsiText(utf8);
}

}  // namespace

Text ScriptTime() {
  std::timespec ts{};
  if (std::timespec_get(&ts, TIME_UTC) != TIME_UTC) return Text();
  const long long ms = static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
  return std::to_string(ms);
}

Text ScriptUnescape(std::string_view escaped) {
  Text t = TextReplaceAll(escaped, "\r\n", kLineBreakPlaceholder);
  if (!t.empty() && t[0] == '\r') t.erase(0, 1);
  t = TextReplaceAll(t, "\\u", "%u");
  t = TextReplaceAll(t, "'", kApostropheStandIn);
  const std::optional<std::u16string> literal = ReadStringLiteral(DecodeChars(t));
  if (!literal) return Text();
  Text value = ToCodePage936(Unescape(*literal));
  value = TextReplaceAll(value, kApostropheStandIn, "'");
  return TextReplaceAll(value, kLineBreakPlaceholder, "\r\n");
}

}  // namespace sarvoke
