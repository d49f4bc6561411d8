// TextBetween: the text that stands between a start marker and the next end marker.
//
//   TextBetween("a[x]b[y]", "[", "]")        == "x"
//   TextBetween("id=[u]", "ID=[", "]")       == "u"     (letter case ignored by default)
//   TextBetween("say \"hi\"", "#引号", "#引号") == "hi"    ("#引号" in a marker stands for a double quote)
#pragma once

#include "text/text.h"

namespace sarvoke {

// The marker token that stands for a double quote.
inline constexpr std::string_view kQuoteToken = "#引号";

// The bytes between the first `startMarker` at or after the 1-based `startPosition` and the first
// `endMarker` behind it; "" when either is missing. An empty marker matches where the search starts.
Text TextBetween(std::string_view source, std::string_view startMarker, std::string_view endMarker,
                 int startPosition = 1, bool caseSensitive = false);

}  // namespace sarvoke
