#include "text/char_sequence.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <stdexcept>
#include <type_traits>

#include "text/code_page.h"
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <exception>
#include <memory>

namespace sarvoke {
namespace {

// The same test as the engine's for a line break, which looks at the low 16 bits.
inline bool IsOtherLineBreak(wchar_t c) {
  const auto low = static_cast<std::uint16_t>(c);
  return c == L'\r' || c == L'\f' || low == 0x2028u || low == 0x2029u || low == 0x85u;
}

// The code page's characters as the decoder reads them, and whether any double-byte character is a line
// break of the engine's (then each one has to be looked at).
struct DecodeTable {
  const CodePage936Table& cp = CodePage936Decoding();
  const std::array<wchar_t, 126 * 256>& pairs = cp.pairs;
  const std::array<wchar_t, 128>& high = cp.high;
  bool pairsBreakLines = false;
};

std::unique_ptr<DecodeTable> BuildDecodeTable() {
  auto table = std::make_unique<DecodeTable>();
  for (const wchar_t c : table->pairs) table->pairsBreakLines |= IsOtherLineBreak(c);
  return table;
}

const DecodeTable& Table() {
  // Built on first use; a function-local static is initialised once even when threads race for it.
  static const std::unique_ptr<DecodeTable> table = BuildDecodeTable();
  return *table;
}

inline bool IsLead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

template <bool kNarrow>
bool Decode(std::string_view text, CharSequence& seq, const std::uint8_t* narrow) {
  using Out = std::conditional_t<kNarrow, char, wchar_t>;
  seq.bytes = text;
  seq.narrow = false;
  seq.count = 0;
  seq.otherLineBreaks = false;
  seq.wideLineBreaks = false;
  seq.valid = false;
  if (text.size() >= MatchTable::kNoSpan) return false;  // spans are 32-bit
  const DecodeTable& table = Table();
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  // Grown, never shrunk, and never cleared: the decoding below writes every entry it counts.
  std::vector<Out>& buffer = [&]() -> std::vector<Out>& {
    if constexpr (kNarrow)
      return seq.narrowChars;
    else
      return seq.chars;
  }();
  if (buffer.size() < n + 1) buffer.resize(n + 1);
  const std::size_t blocks = n / 64 + 2;
  if (seq.checkpoints.size() < blocks) seq.checkpoints.resize(blocks);
  if (seq.doubleByte.size() < blocks) seq.doubleByte.resize(blocks);
  Out* out = buffer.data();
  std::size_t count = 0;
  std::size_t i = 0;
  unsigned crOrFf = 0;
  bool otherBreaks = false;
  std::size_t block = 0;
  while (i < n) {
    // One block of 64 characters.
    seq.checkpoints[block] = static_cast<std::uint32_t>(i);
    std::uint64_t doubles = 0;
    unsigned k = 0;
    while (k < 64 && i < n) {
      const unsigned char b = p[i];
      wchar_t c;
#if defined(__SSE2__)
      if (b < 0x80 && n - i >= 16) {
        // The ASCII bytes at the front of the next sixteen (as many as the block has room for) are copied
        // as they are. All sixteen are widened: there are fewer characters than bytes before them, so the
        // buffer has the room, and the surplus is written over later.
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(x)) | 0x10000u;
        const unsigned run = std::min<unsigned>(__builtin_ctz(high), 64 - k);
        auto* dst = reinterpret_cast<__m128i*>(out + count);
        if constexpr (kNarrow) {
          _mm_storeu_si128(dst, x);
        } else {
          const __m128i zero = _mm_setzero_si128();
          const __m128i lo = _mm_unpacklo_epi8(x, zero);
          const __m128i hi = _mm_unpackhi_epi8(x, zero);
          _mm_storeu_si128(dst, _mm_unpacklo_epi16(lo, zero));
          _mm_storeu_si128(dst + 1, _mm_unpackhi_epi16(lo, zero));
          _mm_storeu_si128(dst + 2, _mm_unpacklo_epi16(hi, zero));
          _mm_storeu_si128(dst + 3, _mm_unpackhi_epi16(hi, zero));
        }
        // CR and FF differ in the low bit only.
        const __m128i breaks = _mm_cmpeq_epi8(_mm_or_si128(x, _mm_set1_epi8(1)), _mm_set1_epi8(0x0D));
        crOrFf |= static_cast<unsigned>(_mm_movemask_epi8(breaks)) & ((1u << run) - 1);
        count += run;
        i += run;
        k += run;
        continue;
      }
#endif
      if (b < 0x80) {
        c = b;
        crOrFf |= c == L'\r' || c == L'\f';
        ++i;
        out[count++] = static_cast<Out>(c);
        ++k;
        continue;
      } else if (IsLead(b) && i + 1 < n && IsTrailByte(p[i + 1])) {
        // A run of double-byte characters, as Chinese text comes.
        unsigned char lead = b;
        do {
          c = table.pairs[(lead - 0x81) * 256 + p[i + 1]];
          if (table.pairsBreakLines) otherBreaks |= IsOtherLineBreak(c);
          if constexpr (kNarrow) c = narrow[static_cast<std::uint16_t>(c)];
          out[count++] = static_cast<Out>(c);
          doubles |= std::uint64_t{1} << k;
          ++k;
          i += 2;
        } while (k < 64 && i + 1 < n && IsLead(lead = p[i]) && IsTrailByte(p[i + 1]));
        continue;
      } else {
        c = table.high[b - 0x80];
        ++i;
      }
      otherBreaks |= IsOtherLineBreak(c);
      if constexpr (kNarrow) c = narrow[static_cast<std::uint16_t>(c)];
      out[count++] = static_cast<Out>(c);
      ++k;
    }
    seq.doubleByte[block] = doubles;
    ++block;
  }
  // The block of the end position, when the last block was full (or the text empty).
  if ((count & 63) == 0) {
    seq.checkpoints[block] = static_cast<std::uint32_t>(n);
    seq.doubleByte[block] = 0;
  }
  seq.count = count;
  seq.otherLineBreaks = otherBreaks || crOrFf != 0;
  seq.wideLineBreaks = otherBreaks;
  seq.narrow = kNarrow;
  seq.valid = true;
  return true;
}

}  // namespace

bool DecodeCharSequence(std::string_view text, CharSequence& seq) {
  return Decode<false>(text, seq, nullptr);
}

bool DecodeCharSequence(std::string_view text, CharSequence& seq, const NarrowStandIns& standIns) {
  return Decode<true>(text, seq, standIns.Table()) &&
         (!seq.wideLineBreaks || Decode<false>(text, seq, nullptr));
}

namespace {

// The codes, in the order they are given out; the first stands for every character the pattern does not
// name. U+0085 is a line break to the engine; U+00AA, U+00B5 and U+00BA are letters in some locales.
constexpr std::array<std::uint8_t, 60> kStandInCodes = [] {
  std::array<std::uint8_t, 60> codes{};
  std::size_t n = 0;
  for (unsigned c = 0x80; c < 0xC0; ++c)
    if (c != 0x85 && c != 0xAA && c != 0xB5 && c != 0xBA) codes[n++] = static_cast<std::uint8_t>(c);
  return codes;
}();

std::array<std::uint8_t, 0x10000>& StandInTable() {
  thread_local std::array<std::uint8_t, 0x10000> table = [] {
    std::array<std::uint8_t, 0x10000> t;
    for (unsigned c = 0; c < t.size(); ++c) t[c] = c < 0x80 ? static_cast<std::uint8_t>(c) : kStandInCodes[0];
    return t;
  }();
  return table;
}

// An escape that stands for one ASCII character, neither a class nor an assertion nor a reference.
bool IsPlainEscape(wchar_t c) {
  if (c >= 0x80) return false;
  if (c == L'n' || c == L'r' || c == L't' || c == L'f' || c == L'v') return true;
  if ((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z')) return false;
  return c != L'<' && c != L'>';  // word start and end
}

// Whether `pattern` compares non-ASCII characters by equality alone (see NarrowStandIns).
bool ComparesByEquality(const std::wstring& p) {
  const std::size_t n = p.size();
  for (std::size_t i = 0; i < n; ++i) {
    const wchar_t c = p[i];
    if (c == L'\\') {
      if (i + 1 >= n || !IsPlainEscape(p[i + 1])) return false;
      ++i;
    } else if (c == L'[') {
      std::size_t j = i + 1;
      if (j < n && p[j] == L'^') ++j;
      if (j < n && p[j] == L']') ++j;
      for (; j < n && p[j] != L']'; ++j) {
        if (p[j] >= 0x80 || p[j] == L'[') return false;
        if (p[j] == L'\\') {
          if (j + 1 >= n || !IsPlainEscape(p[j + 1])) return false;
          ++j;
        }
      }
      if (j >= n) return false;
      i = j;
    } else if (c == L'(' && i + 1 < n && p[i + 1] == L'?') {
      // Groups and look-arounds only: inline options (a "(?x)" would skip non-ASCII spaces), comments,
      // names, conditions and recursion are left to the plain path.
      const std::wstring_view rest = std::wstring_view(p).substr(i + 2);
      if (!(rest.starts_with(L":") || rest.starts_with(L"=") || rest.starts_with(L"!") ||
            rest.starts_with(L"<=") || rest.starts_with(L"<!") || rest.starts_with(L">")))
        return false;
    }
  }
  return true;
}

}  // namespace

NarrowStandIns::~NarrowStandIns() {
  auto& table = StandInTable();
  for (const wchar_t c : assigned_) table[static_cast<std::uint16_t>(c)] = kStandInCodes[0];
}

bool NarrowStandIns::Assign(const std::wstring& pattern) {
  if (!assigned_.empty() || !ComparesByEquality(pattern)) return false;
  auto& table = StandInTable();
  for (const wchar_t c : pattern) {
    if (c < 0x80 || std::find(assigned_.begin(), assigned_.end(), c) != assigned_.end()) continue;
    if (static_cast<std::uint32_t>(c) > 0xFFFFu || assigned_.size() + 1 >= kStandInCodes.size()) {
      for (const wchar_t a : assigned_) table[static_cast<std::uint16_t>(a)] = kStandInCodes[0];
      assigned_.clear();
      return false;
    }
    assigned_.push_back(c);
    table[static_cast<std::uint16_t>(c)] = kStandInCodes[assigned_.size()];
  }
  return true;
}

std::wstring NarrowStandIns::Apply(const std::wstring& pattern) const {
  const auto& table = StandInTable();
  std::wstring out = pattern;
  for (wchar_t& c : out)
    if (c >= 0x80) c = table[static_cast<std::uint16_t>(c)];
  return out;
}

const std::uint8_t* NarrowStandIns::Table() const { return StandInTable().data(); }

// A class mask is a union of classes and the test asks for any of them, so one class at a time is enough.
// The table depends on the locale alone, so it is kept per thread for the last named locale: a pattern is
// compiled for every search.
void AsciiFoldTraits::FillAsciiClasses() {
  thread_local std::string cachedLocale;
  thread_local std::array<char_class_type, 128> cached{};
  const std::string locale = getloc().name();
  if (!cachedLocale.empty() && locale == cachedLocale) {
    asciiClasses_ = cached;
    return;
  }
  for (unsigned c = 0; c < 128; ++c) {
    char_class_type classes = 0;
    for (unsigned bit = 0; bit < 32; ++bit) {
      const char_class_type one = char_class_type{1} << bit;
      if (Base::isctype(static_cast<wchar_t>(c), one)) classes |= one;
    }
    asciiClasses_[c] = classes;
  }
  if (locale != "*") {  // an unnamed locale may be any
    cachedLocale = locale;
    cached = asciiClasses_;
  }
}

CharSequence& ThreadCharSequence() {
  thread_local CharSequence seq;
  return seq;
}

std::wstring DecodeChars(std::string_view text) {
  CharSequence seq;
  if (!DecodeCharSequence(text, seq)) return std::wstring();
  return std::wstring(seq.chars.data(), seq.count);
}

wchar_t RequiredFirstChar(const std::wstring& pattern, bool ignoreCase) {
  if (pattern.empty()) return 0;
  const wchar_t c = pattern[0];
  // A "}" that opens a pattern closes no repeat: the engine reads it as a literal.
  if (c >= 0x80 || std::wstring_view(L"\\[](){.*+?^$|#").find(c) != std::wstring_view::npos) return 0;
  if (ignoreCase && ((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'))) return 0;
  if (pattern.size() > 1 && std::wstring_view(L"*+?{").find(pattern[1]) != std::wstring_view::npos) return 0;
  // Any alternation, at whatever depth, may offer a match that starts elsewhere.
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == L'\\') {
      ++i;
    } else if (pattern[i] == L'[') {
      std::size_t j = i + 1;
      if (j < pattern.size() && pattern[j] == L'^') ++j;
      if (j < pattern.size() && pattern[j] == L']') ++j;
      while (j < pattern.size() && pattern[j] != L']') j += pattern[j] == L'\\' ? 2 : 1;
      i = j;
    } else if (pattern[i] == L'|') {
      return 0;
    }
  }
  return c;
}

std::string_view SpanText(const MatchTable& table, std::size_t match, std::size_t group,
                          std::string_view source) {
  if (group >= table.groups || match >= MatchTableCount(table)) return {};
  const MatchTable::Span& span = table.spans[match * table.groups + group];
  if (span.start == MatchTable::kNoSpan || span.end > source.size() || span.start > span.end) return {};
  return source.substr(span.start, span.end - span.start);
}

namespace {

// What one call of the engine may spend before it gives up. The engine's own limit grows with the square
// of the pattern times the length of the text, so that over a large page a pattern built to backtrack
// could run for minutes; the limit below grows with the text searched by the call but has a ceiling, and
// a search over a whole text has a time limit besides.
constexpr std::ptrdiff_t kStatesPerChar = 64;
constexpr std::ptrdiff_t kMinStates = 1000000;
constexpr std::ptrdiff_t kMaxStates = 30000000;     // one call over the rest of the text, about half a second
constexpr std::ptrdiff_t kMaxLineStates = 5000000;  // one call over one line
constexpr double kSearchSeconds = 4.0;              // every call of one search together
// No text of the program's has a million matches; a pattern that matches everywhere stops there.
constexpr std::size_t kMaxMatches = 1000000;

thread_local std::ptrdiff_t stateBudget = kMaxStates;

std::ptrdiff_t Budget(std::size_t chars, std::ptrdiff_t ceiling) {
  const auto wanted =
      static_cast<std::ptrdiff_t>(std::min<std::size_t>(chars, PTRDIFF_MAX / kStatesPerChar)) *
      kStatesPerChar;
  return std::clamp(wanted, kMinStates, ceiling);
}

double MonotonicSeconds() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

}  // namespace

}  // namespace sarvoke

// The engine asks how many states a call may visit; for the program's three kinds of expression over
// plain pointers the answer is the budget set for the call.
namespace boost::BOOST_REGEX_DETAIL_NS {
template <>
void perl_matcher<const wchar_t*, std::allocator<boost::sub_match<const wchar_t*>>,
                  boost::regex_traits<wchar_t>>::estimate_max_state_count(std::random_access_iterator_tag*) {
  max_state_count = sarvoke::stateBudget;
}
template <>
void perl_matcher<const wchar_t*, std::allocator<boost::sub_match<const wchar_t*>>,
                  sarvoke::AsciiFoldTraits>::estimate_max_state_count(std::random_access_iterator_tag*) {
  max_state_count = sarvoke::stateBudget;
}
template <>
void perl_matcher<const char*, std::allocator<boost::sub_match<const char*>>,
                  sarvoke::NarrowFoldTraits>::estimate_max_state_count(std::random_access_iterator_tag*) {
  max_state_count = sarvoke::stateBudget;
}
}  // namespace boost::BOOST_REGEX_DETAIL_NS

namespace sarvoke {

template <class Regex>
bool FindMatches(const Regex& expression, const CharSequence& seq, std::size_t startChar, bool all,
                 boost::regex_constants::match_flag_type flags, wchar_t firstChar, MatchTable& table) {
  table.spans.clear();
  table.groups = expression.mark_count() + 1;
  using CharT = typename Regex::value_type;
  if (!seq.valid || seq.narrow != std::is_same_v<CharT, char>) return false;  // too long to decode
  const CharT* const base = [&] {
    if constexpr (std::is_same_v<CharT, char>)
      return seq.narrowChars.data();
    else
      return seq.chars.data();
  }();
  const std::size_t count = seq.count;
  const CharT* const last = base + count;
  auto find = [&](const CharT* from, CharT c) -> const CharT* {
    if constexpr (std::is_same_v<CharT, char>)
      return static_cast<const char*>(std::memchr(from, c, last - from));
    else
      return std::wmemchr(from, c, last - from);
  };
  const double deadline = MonotonicSeconds() + kSearchSeconds;
  // Once the engine has given up over the rest of the text, the search goes on one line at a time, and
  // a line it gives up on is skipped: one poisoned line must not cost the matches of all the others.
  bool byLine = false, gaveUp = false;
  std::size_t start = startChar;
  boost::match_results<const CharT*> m;  // reused, so that the loop does not allocate per match
  try {
    while (start <= count) {
      if (MonotonicSeconds() > deadline || MatchTableCount(table) >= kMaxMatches) {
        gaveUp = true;
        break;
      }
      if (firstChar != 0) {
        const CharT* hit = find(base + start, static_cast<CharT>(firstChar));
        if (!hit) break;
        start = hit - base;
      }
      auto f = flags;
      if (start > 0) f |= boost::regex_constants::match_prev_avail;
      const CharT* end = last;
      if (byLine) {
        const CharT* lf = find(base + start, static_cast<CharT>('\n'));
        end = lf ? lf : last;
      }
      stateBudget = Budget(end - (base + start), byLine ? kMaxLineStates : kMaxStates);
      bool found;
      try {
        found = boost::regex_search(base + start, end, m, expression, f, base);
      } catch (const std::runtime_error&) {
        // The state budget or the engine's memory for backtracking ran out.
        gaveUp = true;
        if (!byLine) {
          byLine = true;
        } else {
          start = end - base + 1;
        }
        continue;
      }
      if (!found) {
        if (!byLine || end == last) break;
        start = end - base + 1;
        continue;
      }
      const std::size_t matchEnd = m[0].second - base;
      for (std::size_t g = 0; g < table.groups; ++g) {
        const auto& sub = m[static_cast<int>(g)];
        if (!sub.matched) {
          table.spans.push_back({MatchTable::kNoSpan, MatchTable::kNoSpan});
        } else {
          // A \K inside a look-ahead can set a start behind the end: such a span is empty at its end.
          const CharT* from = std::min(sub.first, sub.second);
          table.spans.push_back({seq.ByteOffset(from - base), seq.ByteOffset(sub.second - base)});
        }
      }
      if (!all) break;
      // Always forward: an empty match, or one that ends where the search began (a \K in a look-ahead),
      // moves the next search one character on.
      std::size_t next = m[0].first == m[0].second ? matchEnd + 1 : matchEnd;
      if (next <= start) next = start + 1;
      start = next;
    }
  } catch (const std::exception&) {
    // Out of memory for the matches: no result.
    table.spans.clear();
    return false;
  }
  return !gaveUp || MatchTableCount(table) > 0;
}

template bool FindMatches(const boost::wregex&, const CharSequence&, std::size_t, bool,
                          boost::regex_constants::match_flag_type, wchar_t, MatchTable&);
template bool FindMatches(const FastWideRegex&, const CharSequence&, std::size_t, bool,
                          boost::regex_constants::match_flag_type, wchar_t, MatchTable&);
template bool FindMatches(const NarrowRegex&, const CharSequence&, std::size_t, bool,
                          boost::regex_constants::match_flag_type, wchar_t, MatchTable&);

}  // namespace sarvoke
