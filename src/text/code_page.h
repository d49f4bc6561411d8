// Conversions between code page 936 and UTF-8, done only at the program's edges (the network's UTF-8,
// file names, the toolkit, terminal output).
//
// They behave as the Windows converters the program was written against: a byte sequence that is not
// UTF-8 becomes U+FFFD (one per maximal invalid subsequence), a character that code page 936 lacks
// becomes "?", and a byte sequence that is not code page 936 becomes "?" when read as code page 936.
// Both directions go through one table of the code page, read from iconv once, on first use.
#pragma once

#include <array>

#include "text/text.h"

namespace sarvoke {

// Code page 936 read as Unicode: the code point of each double-byte character at index
// (lead - 0x81) * 256 + trail, and of each single byte from 0x80 up at index byte - 0x80; U+FFFD where
// the code page has no character.
struct CodePage936Table {
  std::array<wchar_t, 126 * 256> pairs;
  std::array<wchar_t, 128> high;
};
// The table, built on first use (safe from any thread).
const CodePage936Table& CodePage936Decoding();

// Code page 936 text -> its UTF-8 bytes.
Text AnsiToUtf8(std::string_view text);
// UTF-8 bytes held in a Text -> code page 936 text.
Text Utf8ToAnsiText(std::string_view utf8);
// Appends the UTF-8 form of one code point.
void AppendUtf8(char32_t codePoint, Text& out);
// The same for a body of Bytes: UTF-8 bytes -> code page 936 bytes. An empty body gives an empty result.
Bytes Utf8BodyToAnsi(const Bytes& body);

}  // namespace sarvoke
