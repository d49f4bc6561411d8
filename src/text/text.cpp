#include "text/text.h"

#include <climits>
#include <cstring>

namespace sarvoke {
namespace {

inline unsigned char FoldAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

// Does `needle` stand at byte `offset` of `source`? `offset` is a character boundary of `source`; the
// needle is walked by its own characters, so only its single-byte characters are folded.
bool MatchesAt(std::string_view source, std::size_t offset, std::string_view needle, bool ignoreCase) {
  if (source.size() - offset < needle.size()) return false;
  if (!ignoreCase) return std::memcmp(source.data() + offset, needle.data(), needle.size()) == 0;
  for (std::size_t j = 0; j < needle.size();) {
    const std::size_t len = CharLengthAt(needle, j);
    if (len == 2) {
      if (source[offset + j] != needle[j] || source[offset + j + 1] != needle[j + 1]) return false;
    } else if (FoldAscii(source[offset + j]) != FoldAscii(needle[j])) {
      return false;
    }
    j += len;
  }
  return true;
}

// 0-based offset of the first character boundary at or after `from` (0-based), walking from the start.
std::size_t BoundaryAtOrAfter(std::string_view s, std::size_t from) {
  std::size_t i = 0;
  while (i < from && i < s.size()) i += CharLengthAt(s, i);
  return i;
}

// 0-based offset of the first match at or after the boundary `i`, or npos.
std::size_t FindFrom(std::string_view source, std::string_view needle, std::size_t i, bool ignoreCase) {
  if (needle.empty()) return i <= source.size() ? i : std::string_view::npos;
  const unsigned char first = needle[0];
  const bool foldFirst = ignoreCase && first < 0x80;
  while (i < source.size() && source.size() - i >= needle.size()) {
    const unsigned char c = source[i];
    if ((c == first || (foldFirst && FoldAscii(c) == FoldAscii(first))) &&
        MatchesAt(source, i, needle, ignoreCase)) {
      return i;
    }
    i += CharLengthAt(source, i);
  }
  return std::string_view::npos;
}

}  // namespace

Text TextFromBytes(const Bytes& bytes) {
  // Empty Bytes may hold no buffer at all, and the C library must not be handed a null pointer.
  if (bytes.empty()) return Text();
  const void* zero = std::memchr(bytes.data(), 0, bytes.size());
  const std::size_t n = zero ? static_cast<const std::uint8_t*>(zero) - bytes.data() : bytes.size();
  return Text(reinterpret_cast<const char*>(bytes.data()), n);
}

Bytes BytesFromText(std::string_view text) { return Bytes(text.begin(), text.end()); }

int TextFind(std::string_view source, std::string_view needle, int start, bool ignoreCase) {
  const std::size_t from = start > 1 ? static_cast<std::size_t>(start - 1) : 0;
  if (from > source.size()) return -1;
  const std::size_t at = FindFrom(source, needle, BoundaryAtOrAfter(source, from), ignoreCase);
  return at == std::string_view::npos ? -1 : static_cast<int>(at + 1);
}

std::vector<Text> TextSplit(std::string_view text, std::string_view separator) {
  std::vector<Text> pieces;
  if (text.empty()) return pieces;
  if (separator.empty()) {
    pieces.emplace_back(text);
    return pieces;
  }
  std::size_t begin = 0;
  for (;;) {
    const std::size_t at = FindFrom(text, separator, begin, false);
    if (at == std::string_view::npos) {
      if (begin < text.size()) pieces.emplace_back(text.substr(begin));
      return pieces;
    }
    pieces.emplace_back(text.substr(begin, at - begin));
    begin = at + separator.size();
  }
}

Text TextJoin(const std::vector<Text>& pieces, std::string_view separator) {
  Text out;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (i) out.append(separator);
    out.append(pieces[i]);
  }
  return out;
}

Text TextReplaceAll(std::string_view text, std::string_view from, std::string_view to, bool ignoreCase) {
  if (from.empty()) return Text(text);
  Text out;
  out.reserve(text.size());
  std::size_t begin = 0;
  for (;;) {
    const std::size_t at = FindFrom(text, from, begin, ignoreCase);
    if (at == std::string_view::npos) break;
    out.append(text.substr(begin, at - begin));
    out.append(to);
    begin = at + from.size();
  }
  out.append(text.substr(begin));
  return out;
}

namespace {
// Length of the blank that starts at `offset`, 0 when none does.
std::size_t BlankAt(std::string_view s, std::size_t offset) {
  if (s[offset] == ' ') return 1;
  if (IsDoubleByteAt(s, offset) && s.substr(offset, 2) == kFullWidthSpace) return 2;
  return 0;
}
}  // namespace

Text TrimBlanks(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size()) {
    const std::size_t n = BlankAt(text, begin);
    if (!n) break;
    begin += n;
  }
  // Walk forward so that the full-width space is recognised on character boundaries only.
  std::size_t end = begin;
  for (std::size_t i = begin; i < text.size();) {
    const std::size_t n = BlankAt(text, i);
    const std::size_t len = n ? n : CharLengthAt(text, i);
    i += len;
    if (!n) end = i;
  }
  return Text(text.substr(begin, end - begin));
}

Text RemoveBlanks(std::string_view text) {
  Text out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = BlankAt(text, i);
    if (n) {
      i += n;
      continue;
    }
    const std::size_t len = CharLengthAt(text, i);
    out.append(text.substr(i, len));
    i += len;
  }
  return out;
}

namespace {
Text MapAscii(std::string_view text, char lo, char hi, int delta) {
  Text out(text);
  for (std::size_t i = 0; i < out.size();) {
    const std::size_t len = CharLengthAt(out, i);
    if (len == 1 && out[i] >= lo && out[i] <= hi) out[i] = static_cast<char>(out[i] + delta);
    i += len;
  }
  return out;
}
}  // namespace

Text AsciiLower(std::string_view text) { return MapAscii(text, 'A', 'Z', 'a' - 'A'); }
Text AsciiUpper(std::string_view text) { return MapAscii(text, 'a', 'z', 'A' - 'a'); }

Text TextLeft(std::string_view text, std::size_t count) { return Text(text.substr(0, count)); }
Text TextRight(std::string_view text, std::size_t count) {
  return count >= text.size() ? Text(text) : Text(text.substr(text.size() - count));
}

int TextToInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  if (value < INT_MIN) value = INT_MIN;
  return static_cast<int>(value);
}

}  // namespace sarvoke
