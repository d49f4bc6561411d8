// Running a wide-character regular expression over a code page 936 Text.
//
// Both pattern facilities match by character, not by byte: the Text is decoded into Unicode code points
// (one wchar_t per character, with a table back into the source bytes), the expression runs over the code
// points, and the matches come back as byte spans of the source. So ASCII case folding never touches the
// second byte of a double-byte character, and no match starts or ends inside one.
//
//   CharSequence seq;
//   DecodeCharSequence("a文b", seq);   // chars {'a', U+6587, 'b'}
//   MatchTable table;
//   FindMatches(expression, seq, 0, true, boost::regex_constants::match_default, 0, table);
//   std::string_view whole = SpanText(table, 0, 0, text);
//
// Internal to src/text: the RegexObject and SimplePattern are built on it.
#pragma once

#include <array>
#include <boost/regex.hpp>
#include <cstdint>
#include <string>
#include <vector>

#include "text/text.h"

namespace sarvoke {

// A Text as characters: chars[i] is the code point of the i-th character. Byte offsets are kept for every
// 64th character, with a bit per character telling a double-byte one, so that the offset of any character
// is its block's offset plus its index in the block plus the double-byte characters before it.
struct CharSequence {
  std::string_view bytes;                  // the Text itself, which must outlive the sequence
  std::vector<wchar_t> chars;              // reused from search to search, so its capacity stays
  std::vector<char> narrowChars;           // instead of `chars` when `narrow`: the stand-in codes
  bool narrow = false;                     // decoded into the codes of a NarrowStandIns
  std::size_t count = 0;                   // characters in use
  std::vector<std::uint32_t> checkpoints;  // byte offset of character 64 * k; count / 64 + 1 in use
  std::vector<std::uint64_t> doubleByte;   // bit j of word k: character 64 * k + j has two bytes
  // Some character other than LF that the engine takes for a line break (CR, FF, U+0085, U+2028, U+2029).
  bool otherLineBreaks = false;
  bool wideLineBreaks = false;  // one of them is U+0085, U+2028 or U+2029
  bool valid = false;           // false when the text was too long to decode

  // Byte offset of character `charIndex` (up to `count`).
  std::uint32_t ByteOffset(std::size_t charIndex) const {
    const std::size_t block = charIndex >> 6;
    const unsigned inBlock = charIndex & 63;
    const std::uint64_t before = inBlock == 0 ? 0 : doubleByte[block] & (~std::uint64_t{0} >> (64 - inBlock));
    return checkpoints[block] + inBlock + BitCount(before);
  }
  // Without a popcount instruction in the target, the compiler's builtin is a library call.
  static std::uint32_t BitCount(std::uint64_t x) {
    x -= (x >> 1) & 0x5555555555555555ull;
    x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return static_cast<std::uint32_t>((x * 0x0101010101010101ull) >> 56);
  }
};

// Decodes `text` into `seq`. A lead byte with a second byte behind it is one character (IsDoubleByteAt,
// as everywhere in the program); a pair that is not code page 936 becomes U+FFFD. False for a text of 4 GB or more.
bool DecodeCharSequence(std::string_view text, CharSequence& seq);

// Stand-ins below U+0100 for the non-ASCII characters of one pattern: each character of the pattern gets a
// code of its own, every other non-ASCII character one shared code. The engine can then tell at a glance
// whether a character may go on with the rest of the pattern, where above U+00FF it has to stop and try;
// that is most of the time of a lazy ".+?" over Chinese text. Only for a pattern that looks at non-ASCII
// characters by equality alone: no class escapes, word boundaries, back references, inline options or
// non-ASCII class members, which could tell two characters apart that share a code. The codes are C1
// controls and Latin-1 signs, never a letter or a line break in any locale. Per thread; the table is
// restored when the object goes.
class NarrowStandIns {
 public:
  NarrowStandIns() = default;
  NarrowStandIns(const NarrowStandIns&) = delete;
  NarrowStandIns& operator=(const NarrowStandIns&) = delete;
  ~NarrowStandIns();

  // Assigns the codes for `pattern` (decoded, as the engine will read it); false, with nothing assigned,
  // when the pattern is not of the kind above or has too many different non-ASCII characters.
  bool Assign(const std::wstring& pattern);
  // `pattern` with its non-ASCII characters replaced by their codes.
  std::wstring Apply(const std::wstring& pattern) const;
  // The table from code point to code (ASCII to itself), for the decoder.
  const std::uint8_t* Table() const;

 private:
  std::vector<wchar_t> assigned_;
};

// As above, into `narrowChars` with every non-ASCII character replaced by its code in `standIns`. When
// the text holds a non-ASCII line break, which the codes do not keep, it is decoded as above instead
// (`narrow` then false).
bool DecodeCharSequence(std::string_view text, CharSequence& seq, const NarrowStandIns& standIns);

// Regular-expression traits for wide characters with the default traits' behaviour in the classic locale,
// where only ASCII letters have a case, but with case folding and the class tests of ASCII characters
// done inline: the engine calls them for nearly every character it looks at, and the locale's facets
// cost a virtual call each.
class AsciiFoldTraits : public boost::regex_traits<wchar_t> {
  using Base = boost::regex_traits<wchar_t>;

 public:
  AsciiFoldTraits() { FillAsciiClasses(); }

  static wchar_t Fold(wchar_t c) { return static_cast<unsigned>(c) - L'A' < 26u ? c + (L'a' - L'A') : c; }
  static wchar_t Unfold(wchar_t c) { return static_cast<unsigned>(c) - L'a' < 26u ? c - (L'a' - L'A') : c; }

  wchar_t translate(wchar_t c) const { return c; }
  wchar_t translate_nocase(wchar_t c) const { return Fold(c); }
  wchar_t translate(wchar_t c, bool icase) const { return icase ? Fold(c) : c; }
  wchar_t tolower(wchar_t c) const { return Fold(c); }
  wchar_t toupper(wchar_t c) const { return Unfold(c); }
  bool isctype(wchar_t c, char_class_type mask) const {
    return static_cast<unsigned>(c) < 128u ? (asciiClasses_[c] & mask) != 0 : Base::isctype(c, mask);
  }
  locale_type imbue(locale_type l) {
    locale_type old = Base::imbue(l);
    FillAsciiClasses();
    return old;
  }

 private:
  void FillAsciiClasses();
  std::array<char_class_type, 128> asciiClasses_{};
};

using FastWideRegex = boost::basic_regex<wchar_t, AsciiFoldTraits>;

// The same over the stand-in codes of NarrowStandIns, one byte each: ASCII as the classic locale has it,
// the codes above it plain characters of no class and no case, whatever the locale says of those bytes.
class NarrowFoldTraits : public boost::regex_traits<char> {
  using Base = boost::regex_traits<char>;
  static bool Ascii(char c) { return static_cast<unsigned char>(c) < 0x80u; }

 public:
  static char Fold(char c) {
    return static_cast<unsigned>(static_cast<unsigned char>(c) - 'A') < 26u ? c + ('a' - 'A') : c;
  }
  static char Unfold(char c) {
    return static_cast<unsigned>(static_cast<unsigned char>(c) - 'a') < 26u ? c - ('a' - 'A') : c;
  }

  char translate(char c) const { return c; }
  char translate_nocase(char c) const { return Fold(c); }
  char translate(char c, bool icase) const { return icase ? Fold(c) : c; }
  char tolower(char c) const { return Fold(c); }
  char toupper(char c) const { return Unfold(c); }
  bool isctype(char c, char_class_type mask) const { return Ascii(c) && Base::isctype(c, mask); }
  boost::regex_constants::syntax_type syntax_type(char c) const {
    return Ascii(c) ? Base::syntax_type(c) : 0;
  }
  boost::regex_constants::escape_syntax_type escape_syntax_type(char c) const {
    return Ascii(c) ? Base::escape_syntax_type(c) : 0;
  }
};

using NarrowRegex = boost::basic_regex<char, NarrowFoldTraits>;

// A sequence kept per thread for the searches of that thread, so that its buffer is not allocated, and
// its memory not touched for the first time, on every search.
CharSequence& ThreadCharSequence();

// The characters of `text` alone, for patterns.
std::wstring DecodeChars(std::string_view text);

// The matches of one search as byte spans: for match m (0-based) and group g (0 the whole match),
// spans[m * groups + g] holds its start and end offsets, or kNoSpan when the group took no part.
struct MatchTable {
  static constexpr std::uint32_t kNoSpan = 0xFFFFFFFFu;
  struct Span {
    std::uint32_t start;
    std::uint32_t end;
  };
  std::size_t groups = 0;  // the groups of one match, the whole match included
  std::vector<Span> spans;
};

// Number of matches in the table.
inline std::size_t MatchTableCount(const MatchTable& table) {
  return table.groups == 0 ? 0 : table.spans.size() / table.groups;
}

// The bytes of group `group` (0 the whole match) of match `match` (both 0-based) out of `source`; empty
// when either index is outside the table or the group took no part.
std::string_view SpanText(const MatchTable& table, std::size_t match, std::size_t group,
                          std::string_view source);

// The character that every match of `pattern` must begin with, when the pattern opens with a plain
// literal that no alternative, quantifier or case folding can get round; 0 when there is none. Searches
// use it to skip to the candidates.
wchar_t RequiredFirstChar(const std::wstring& pattern, bool ignoreCase);

// Runs `expression` over `seq` from character `startChar` and fills `table` with the first match, or with
// every match when `all` is set: left to right without overlap, every search starting at least one
// character behind the one before. The work is bounded whatever the text and pattern: each call of the
// engine has a state budget with a ceiling, a search stops after a few seconds or a million matches,
// and once the engine gives up over the rest of the text the search goes on line by line, skipping the
// lines it gives up on. Returns false (and an empty table) when the engine gave up and nothing was
// found; true otherwise, also when nothing matched.
// Instantiated for boost::wregex and FastWideRegex over `chars`, and for NarrowRegex over `narrowChars`
// (with `firstChar` as its code).
template <class Regex>
bool FindMatches(const Regex& expression, const CharSequence& seq, std::size_t startChar, bool all,
                 boost::regex_constants::match_flag_type flags, wchar_t firstChar, MatchTable& table);

}  // namespace sarvoke
