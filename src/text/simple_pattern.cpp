#include "text/simple_pattern.h"

#include <climits>
#include <exception>

#include "text/char_sequence.h"

namespace sarvoke {

struct SimplePattern::Compiled {
  boost::wregex engine;
  wchar_t firstChar = 0;
};

namespace {

std::vector<PatternMatch> Run(const SimplePattern& p, std::string_view text, int start, bool all) {
  std::vector<PatternMatch> out;
  if (!p.compiled || text.size() > static_cast<std::size_t>(INT_MAX)) return out;  // spans are int
  CharSequence& seq = ThreadCharSequence();
  if (!DecodeCharSequence(text, seq)) return out;
  // The 1-based byte position becomes the first character that starts there or behind it.
  std::size_t startChar = 0;
  if (start > 1) {
    const std::size_t target = static_cast<std::size_t>(start) - 1;
    if (target > text.size()) return out;
    for (std::size_t byte = 0; byte < target; byte += CharLengthAt(text, byte)) ++startChar;
  }
  MatchTable table;
  if (!FindMatches(p.compiled->engine, seq, startChar, all, boost::regex_constants::match_default,
                   p.compiled->firstChar, table)) {
    return out;
  }
  const std::size_t count = MatchTableCount(table);
  out.resize(count);
  for (std::size_t m = 0; m < count; ++m) {
    out[m].spans.reserve(table.groups);
    for (std::size_t g = 0; g < table.groups; ++g) {
      const MatchTable::Span& s = table.spans[m * table.groups + g];
      if (s.start == MatchTable::kNoSpan) {
        out[m].spans.emplace_back(-1, -1);
      } else {
        out[m].spans.emplace_back(static_cast<int>(s.start), static_cast<int>(s.end));
      }
    }
  }
  return out;
}

Text SpanOf(const PatternMatch& m, std::string_view text, std::size_t group) {
  if (group >= m.spans.size()) return Text();
  const auto [from, to] = m.spans[group];
  if (from < 0 || to < from || static_cast<std::size_t>(to) > text.size()) return Text();
  return Text(text.substr(from, to - from));
}

}  // namespace

bool CompileSimplePattern(SimplePattern& p, std::string_view pattern, bool caseSensitive) {
  p.compiled.reset();
  // mod_s: "." takes line breaks too, as the callers' patterns expect.
  auto syntax = boost::regex::perl | boost::regex::mod_s;
  if (!caseSensitive) syntax |= boost::regex::icase;
  const std::wstring wide = DecodeChars(pattern);
  try {
    auto compiled = std::make_shared<SimplePattern::Compiled>();
    compiled->engine.assign(wide, syntax);
    compiled->firstChar = RequiredFirstChar(wide, !caseSensitive);
    p.compiled = std::move(compiled);
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

std::vector<PatternMatch> FindAllMatches(const SimplePattern& p, std::string_view text) {
  return Run(p, text, 1, true);
}

std::optional<PatternMatch> FindFirstMatch(const SimplePattern& p, std::string_view text, int start) {
  std::vector<PatternMatch> found = Run(p, text, start, false);
  if (found.empty()) return std::nullopt;
  return std::move(found.front());
}

Text PatternMatchText(const PatternMatch& m, std::string_view text) { return SpanOf(m, text, 0); }

Text PatternGroupText(const PatternMatch& m, std::string_view text, int group) {
  if (group < 1) return Text();
  return SpanOf(m, text, static_cast<std::size_t>(group));
}

void ReleaseSimplePattern(SimplePattern& p) { p.compiled.reset(); }

void ReleaseMatches(std::vector<PatternMatch>& matches) { std::vector<PatternMatch>().swap(matches); }

}  // namespace sarvoke
