#include "text/regex_object.h"

#include <exception>

#include "text/char_sequence.h"
#include "text/text_between.h"

namespace sarvoke {

struct RegexObject::Expression {
  Text pattern;                             // as set, for GetPattern
  std::optional<FastWideRegex> engine;      // empty when the pattern did not compile
  std::optional<NarrowRegex> narrowEngine;  // instead, over a text decoded into stand-in codes
};

namespace {

// The component's "." matches everything but a line feed, while the engine's "no dot-newline" also
// leaves out CR, FF and the Unicode line separators: every bare "." becomes "[^\n]". Over a text with no
// line break but LF the two agree, and the engine's own "." is much faster than a class, so with
// `keepDots` the dots stay (the pattern is then compiled with no_mod_s). Escapes, \Q...\E, (?#...)
// comments and character classes are passed over as the engine reads them. Returns false, and leaves
// `out` incomplete, when `keepDots` cannot hold because the pattern switches options inline (a "(?s)"
// would let the engine's "." take line feeds).
bool GiveDotItsMeaning(const std::wstring& p, bool keepDots, std::wstring& out) {
  out.clear();
  out.reserve(p.size() + 16);
  const std::size_t n = p.size();
  std::size_t i = 0;
  while (i < n) {
    const wchar_t c = p[i];
    if (c == L'\\') {
      if (i + 1 < n && p[i + 1] == L'Q') {
        const std::size_t e = p.find(L"\\E", i + 2);
        const std::size_t stop = e == std::wstring::npos ? n : e + 2;
        out.append(p, i, stop - i);
        i = stop;
      } else {
        // \cX names a control character: its X is no dot either.
        const std::size_t len = (i + 1 < n && p[i + 1] == L'c') ? 3 : 2;
        const std::size_t stop = std::min(n, i + len);
        out.append(p, i, stop - i);
        i = stop;
      }
    } else if (c == L'[') {
      std::size_t j = i + 1;
      if (j < n && p[j] == L'^') ++j;
      if (j < n && p[j] == L']') ++j;  // a leading "]" is a member
      while (j < n && p[j] != L']') {
        if (p[j] == L'\\') {
          j += 2;
        } else if (p[j] == L'[' && j + 1 < n && (p[j + 1] == L':' || p[j + 1] == L'=' || p[j + 1] == L'.')) {
          const wchar_t kind = p[j + 1];
          const std::size_t e = p.find(std::wstring{kind, L']'}, j + 2);
          j = e == std::wstring::npos ? j + 1 : e + 2;
        } else {
          ++j;
        }
      }
      const std::size_t stop = std::min(n, j + 1);
      out.append(p, i, stop - i);
      i = stop;
    } else if (c == L'(' && p.compare(i, 3, L"(?#") == 0) {
      const std::size_t e = p.find(L')', i + 3);
      const std::size_t stop = e == std::wstring::npos ? n : e + 1;
      out.append(p, i, stop - i);
      i = stop;
    } else if (keepDots && c == L'(' && i + 2 < n && p[i + 1] == L'?' &&
               std::wstring_view(L"imsx-").find(p[i + 2]) != std::wstring_view::npos) {
      return false;
    } else if (c == L'.' && !keepDots) {
      out += L"[^\\n]";
      ++i;
    } else {
      out += c;
      ++i;
    }
  }
  return true;
}

// Appends the replacement with its $ references expanded for match `m` (0-based) of `table`.
void ExpandReplacement(std::string_view replacement, const MatchTable& table, std::size_t m,
                       std::string_view source, Text& out) {
  const std::size_t groups = table.groups - 1;
  const MatchTable::Span whole = table.spans[m * table.groups];
  for (std::size_t i = 0; i < replacement.size();) {
    const std::size_t len = CharLengthAt(replacement, i);
    if (len == 2 || replacement[i] != '$' || i + 1 >= replacement.size()) {
      out.append(replacement, i, len);
      i += len;
      continue;
    }
    const char next = replacement[i + 1];
    auto digit = [&](std::size_t k) {
      return k < replacement.size() && replacement[k] >= '0' && replacement[k] <= '9' ? replacement[k] - '0'
                                                                                      : -1;
    };
    if (next == '$') {
      out += '$';
      i += 2;
    } else if (next == '&') {
      out.append(SpanText(table, m, 0, source));
      i += 2;
    } else if (next == '`') {
      out.append(source.substr(0, whole.start));
      i += 2;
    } else if (next == '\'') {
      out.append(source.substr(whole.end));
      i += 2;
    } else if (const int d1 = digit(i + 1); d1 >= 0) {
      // Two digits when they name a group, else one; a reference beyond the groups stays as written.
      const int d2 = digit(i + 2);
      if (d2 >= 0 && d1 * 10 + d2 >= 1 && static_cast<std::size_t>(d1 * 10 + d2) <= groups) {
        out.append(SpanText(table, m, d1 * 10 + d2, source));
        i += 3;
      } else if (d1 >= 1 && static_cast<std::size_t>(d1) <= groups) {
        out.append(SpanText(table, m, d1, source));
        i += 2;
      } else {
        out += '$';
        ++i;
      }
    } else {
      out += '$';
      ++i;
    }
  }
}

}  // namespace

RegexObject::RegexObject() = default;
RegexObject::~RegexObject() = default;
RegexObject::RegexObject(const RegexObject& other) = default;
RegexObject& RegexObject::operator=(const RegexObject& other) = default;

bool RegexObject::Search(std::string_view pattern, std::string_view text, std::optional<bool> caseSensitive,
                         std::optional<bool> multiline, std::optional<bool> global,
                         std::optional<bool> quoteToken) {
  regExp.reset();
  matches.reset();
  auto expression = std::make_shared<Expression>();
  expression->pattern =
      quoteToken.value_or(false) ? TextReplaceAll(pattern, kQuoteToken, "\"") : Text(pattern);
  sourceText.assign(text);

  namespace rc = boost::regex_constants;
  const bool ignoreCase = !caseSensitive.value_or(false);
  CharSequence& seq = ThreadCharSequence();
  const std::wstring decodedPattern = DecodeChars(expression->pattern);
  NarrowStandIns standIns;
  const bool narrow = standIns.Assign(decodedPattern);
  const bool decoded =
      narrow ? DecodeCharSequence(sourceText, seq, standIns) : DecodeCharSequence(sourceText, seq);
  rc::syntax_option_type syntax = boost::regex::perl;
  if (ignoreCase) syntax |= boost::regex::icase;
  if (!multiline.value_or(true)) syntax |= boost::regex::no_mod_m;
  std::wstring wide;
  if (decoded && !seq.otherLineBreaks && GiveDotItsMeaning(decodedPattern, true, wide)) {
    syntax |= boost::regex::no_mod_s;
  } else {
    GiveDotItsMeaning(decodedPattern, false, wide);
  }
  // The text was decoded into the stand-ins unless it holds a non-ASCII line break.
  if (seq.narrow) wide = standIns.Apply(wide);
  bool compiled = true;
  try {
    if (seq.narrow) {
      std::string codes(wide.size(), '\0');  // every character is below U+0100 now
      for (std::size_t i = 0; i < wide.size(); ++i) codes[i] = static_cast<char>(wide[i]);
      expression->narrowEngine.emplace(codes, syntax);
    } else {
      expression->engine.emplace(wide, syntax);
    }
  } catch (const std::exception&) {
    compiled = false;
  }
  regExp = expression;
  if (!compiled || !decoded) return false;

  auto table = std::make_shared<MatchTable>();
  // Room for as many matches as the last search had, so that a results page does not grow it by steps.
  table->spans.reserve(lastSpanCount);
  rc::match_flag_type flags = rc::match_default;
  if (!multiline.value_or(true)) flags |= rc::match_single_line;
  const wchar_t firstChar = RequiredFirstChar(wide, ignoreCase);
  const bool all = global.value_or(true);
  if (!(seq.narrow ? FindMatches(*expression->narrowEngine, seq, 0, all, flags, firstChar, *table)
                   : FindMatches(*expression->engine, seq, 0, all, flags, firstChar, *table)))
    return false;
  lastSpanCount = table->spans.size();
  matches = std::move(table);
  return true;
}

Text RegexObject::GetPattern() const { return regExp ? regExp->pattern : Text(); }

Text RegexObject::Replace(std::string_view replacement) const {
  if (!matches) return Text();
  Text out;
  out.reserve(sourceText.size());
  std::size_t copied = 0;
  const std::size_t count = MatchTableCount(*matches);
  for (std::size_t m = 0; m < count; ++m) {
    const MatchTable::Span whole = matches->spans[m * matches->groups];
    out.append(sourceText, copied, whole.start - copied);
    ExpandReplacement(replacement, *matches, m, sourceText, out);
    copied = whole.end;
  }
  out.append(sourceText, copied, Text::npos);
  return out;
}

int RegexObject::MatchCount() const { return matches ? static_cast<int>(MatchTableCount(*matches)) : 0; }

Text RegexObject::MatchText(int matchIndex) const {
  if (!matches || matchIndex < 1) return Text();
  return Text(SpanText(*matches, matchIndex - 1, 0, sourceText));
}

Text RegexObject::SubmatchText(int matchIndex, int groupIndex) const {
  if (!matches || matchIndex < 1 || groupIndex < 1) return Text();
  return Text(SpanText(*matches, matchIndex - 1, groupIndex, sourceText));
}

int RegexObject::SubmatchCount() const {
  return MatchCount() > 0 ? static_cast<int>(matches->groups) - 1 : 0;
}

}  // namespace sarvoke
