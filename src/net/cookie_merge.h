// Cookie merging: folding the cookies a response set into the cookie text a caller keeps between requests.
//
// A cookie text is a run of name=value items separated by ";" (with or without a space behind it).
//   Text kept = "A=1; B=2", returned = "B=3; C=4;";
//   CookieMerge(kept, returned) == "B=3; C=4; A=1"   (and kept now holds that text, returned "B=3;C=4;")
// A cookie set to "deleted" disappears; items are split with TextSplit's rules.
#pragma once

#include "text/text.h"

namespace sarvoke {

// The merged cookie text: the returned items first, then the kept items whose names are new, without
// items ending in "=deleted" and without repeated items, joined by "; ". Both arguments lose every blank
// (ASCII and full-width, values included); `cookies` receives the result.
Text CookieMerge(Text& cookies, Text& returned);

// The text ahead of the first "=" of an item (the whole item when it has none), trimmed.
Text CookieName(std::string_view item);

// The items of `text` split at `separator`, every repetition of an earlier item dropped, joined by
// `separator`.
Text UniqueItems(std::string_view text, std::string_view separator);

}  // namespace sarvoke
