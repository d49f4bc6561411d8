// SimplePattern: the program's fixed patterns (blocked words, board entries, QQ numbers, ticker posts).
// Perl syntax, case-sensitive unless compiled otherwise, and "." matches every character, line breaks
// included. Matching goes by character, so a double-byte character whose second byte is "\" or "|"
// never yields a match boundary inside it.
//
//   SimplePattern p;
//   CompileSimplePattern(p, "(.+?)\\|");
//   for (const PatternMatch& m : FindAllMatches(p, text)) use(PatternGroupText(m, text, 1));
//   ReleaseSimplePattern(p);
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "text/text.h"

namespace sarvoke {

// One compiled pattern; empty (finding nothing) until a compile succeeds.
struct SimplePattern {
  struct Compiled;
  std::shared_ptr<const Compiled> compiled;
};

// One match as byte spans of the text searched: spans[g] is group g (0 the whole match), {-1, -1} when
// the group took no part.
struct PatternMatch {
  std::vector<std::pair<int, int>> spans;
};

// Compiles `pattern` into `p`; true on success. An invalid pattern leaves `p` finding nothing.
bool CompileSimplePattern(SimplePattern& p, std::string_view pattern, bool caseSensitive = true);

// Every match in `text`, left to right and without overlap; empty when nothing matches.
std::vector<PatternMatch> FindAllMatches(const SimplePattern& p, std::string_view text);

// The first match that starts at or after the 1-based byte position `start` (below 1 means the
// beginning); none when there is no such match.
std::optional<PatternMatch> FindFirstMatch(const SimplePattern& p, std::string_view text, int start = 1);

// The whole text of `m` out of the `text` it was found in.
Text PatternMatchText(const PatternMatch& m, std::string_view text);

// The text of group `group` (from 1) of `m`; "" when there is no such group or it took no part.
Text PatternGroupText(const PatternMatch& m, std::string_view text, int group);

// Empties `p`.
void ReleaseSimplePattern(SimplePattern& p);
// Empties a match list.
void ReleaseMatches(std::vector<PatternMatch>& matches);

}  // namespace sarvoke
