// RegexObject: runs one regular expression over one text and keeps the matches and their groups for
// reading by number, with the pattern language and options of the VBScript regular-expression component
// (lazy quantifiers, groups numbered from 1, "." matching every character but a line feed).
//
//   RegexObject re;
//   if (re.Search("name=(\\w+)", "NAME=bob name=amy")) {   // case-insensitive, multiline, global
//     re.MatchCount();          // 2
//     re.SubmatchText(2, 1);    // "amy"
//   }
//
// Matching goes by character: case folding never touches the second byte of a double-byte character
// and no match begins or ends inside one. Indexes count from 1; an index outside the matches or groups,
// and a group that took no part in its match, give "".
#pragma once

#include <memory>
#include <optional>

#include "text/text.h"

namespace sarvoke {

struct MatchTable;

class RegexObject {
 public:
  RegexObject();
  ~RegexObject();
  // A copy shares the compiled pattern and the matches (both immutable) and holds its own source text.
  RegexObject(const RegexObject& other);
  RegexObject& operator=(const RegexObject& other);

  // Runs `pattern` over `text`; true when the pattern was valid and the search ran to its end, also when
  // nothing matched. Left out, the options are: case-insensitive, multiline, global, and "#引号" kept as
  // written (with `quoteToken` every "#引号" in the pattern stands for a double quote). False, with no
  // matches, for an invalid pattern or one that the engine gives up on for its complexity.
  bool Search(std::string_view pattern, std::string_view text,
              std::optional<bool> caseSensitive = std::nullopt, std::optional<bool> multiline = std::nullopt,
              std::optional<bool> global = std::nullopt, std::optional<bool> quoteToken = std::nullopt);

  // The pattern of the last search as it was set; "" before the first search.
  Text GetPattern() const;

  // The text of the last search with its matches (all of them for a global search, else the first)
  // replaced by `replacement`, in which $1..$99, $&, $`, $' and $$ stand for a group, the match, the text
  // before and behind it, and a dollar sign. "" before a search and after a failed one.
  Text Replace(std::string_view replacement) const;

  // The number of matches of the last search; 0 before any search and after a failed one.
  int MatchCount() const;
  // The text of match `matchIndex` (from 1).
  Text MatchText(int matchIndex) const;
  // The text of group `groupIndex` (from 1) of match `matchIndex` (from 1).
  Text SubmatchText(int matchIndex, int groupIndex) const;
  // The number of groups of the pattern, read from the first match; 0 when there is no match.
  int SubmatchCount() const;

 private:
  struct Expression;
  std::shared_ptr<const Expression> regExp;
  std::shared_ptr<const MatchTable> matches;
  Text sourceText;
  std::size_t lastSpanCount = 0;  // spans of the last successful search, to size the next one's table
};

}  // namespace sarvoke
