// Text and Bytes: the program's two kinds of strings.
//
// A Text is a byte string in code page 936 (GBK): ASCII bytes stand for themselves, a byte from 0x81 to
// 0xFE followed by a second byte of the code page (0x40 to 0xFE but 0x7F) is one double-byte character,
// and any other byte stands alone. Positions are 1-based byte positions and a
// failed search gives -1. Every find, split and replace steps character by character, so that a match
// never begins on the second byte of a double-byte character. Where an operation ignores letter case it
// folds ASCII letters only, and never the second byte of a double-byte character.
//
// The sources are compiled with -fexec-charset=CP936, so a narrow literal is already a Text:
//   Text word = "淫";                 // two bytes, C0 E5
//   TextFind("abc淫", word)  == 4
//
// Bytes is a counted byte array (what the network returns and what files are written from). A Text made
// from Bytes ends at the first zero byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sarvoke {

using Text = std::string;
using Bytes = std::vector<std::uint8_t>;

// The full-width space of code page 936.
inline constexpr std::string_view kFullWidthSpace = "\xA1\xA1";

// True for a byte that can be the second of a double-byte character.
inline bool IsTrailByte(unsigned char b) { return b >= 0x40 && b <= 0xFE && b != 0x7F; }

// True when the byte at `offset` (0-based) starts a double-byte character: a lead byte with a second byte
// behind it. A lead byte before anything else (a line feed, a quote) stands alone, as the system's own
// converter reads it, so that a damaged character never swallows the markup after it.
inline bool IsDoubleByteAt(std::string_view s, std::size_t offset) {
  const auto b = static_cast<unsigned char>(s[offset]);
  return b >= 0x81 && b <= 0xFE && offset + 1 < s.size() &&
         IsTrailByte(static_cast<unsigned char>(s[offset + 1]));
}

// Length in bytes (1 or 2) of the character that starts at `offset`.
inline std::size_t CharLengthAt(std::string_view s, std::size_t offset) {
  return IsDoubleByteAt(s, offset) ? 2 : 1;
}

// Bytes -> Text, up to the first zero byte.
Text TextFromBytes(const Bytes& bytes);
// Text -> Bytes, without a terminating zero.
Bytes BytesFromText(std::string_view text);

// 1-based position of the first occurrence of `needle` that starts on a character at or after the
// 1-based position `start` (values below 1 mean the beginning); -1 when there is none. An empty needle
// is found at `start` when that lies within the text or just behind it.
int TextFind(std::string_view source, std::string_view needle, int start = 1, bool ignoreCase = false);

// True when `needle` occurs in `source` (character-wise, as TextFind).
inline bool TextContains(std::string_view source, std::string_view needle, bool ignoreCase = false) {
  return TextFind(source, needle, 1, ignoreCase) != -1;
}

// Splits at every occurrence of `separator`. An empty text gives no pieces; empty pieces between two
// separators and before the first stay; the empty piece behind a final separator is dropped. An empty
// separator gives the whole text as its one piece.
std::vector<Text> TextSplit(std::string_view text, std::string_view separator);

// Joins the pieces with `separator` between neighbours.
Text TextJoin(const std::vector<Text>& pieces, std::string_view separator);

// Replaces every occurrence of `from` (left to right, without overlap) by `to`. An empty `from` changes
// nothing.
Text TextReplaceAll(std::string_view text, std::string_view from, std::string_view to,
                    bool ignoreCase = false);

// Removes blanks (the ASCII space and the full-width space A1 A1) at both ends; tabs and line breaks stay.
Text TrimBlanks(std::string_view text);
// Removes every blank wherever it stands.
Text RemoveBlanks(std::string_view text);

// ASCII letters lower-cased / upper-cased; double-byte characters are left whole.
Text AsciiLower(std::string_view text);
Text AsciiUpper(std::string_view text);

// The first `count` bytes / the last `count` bytes (the whole text when it is shorter).
Text TextLeft(std::string_view text, std::size_t count);
Text TextRight(std::string_view text, std::size_t count);

// The leading decimal number of a text as an integer: optional blanks, an optional sign, digits;
// 0 when there are none. Values beyond the 32-bit range saturate.
int TextToInt(std::string_view text);

}  // namespace sarvoke
