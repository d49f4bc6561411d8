// The pattern update: the publisher keeps the current results-page pattern in a small file on its web
// site, fetched whenever the built-in pattern finds nothing on a page. Nothing of it is kept.
#pragma once

#include "text/text.h"

namespace sarvoke {

// The address of the pattern file on the publisher's site.
Text PatternFileAddress();

// The pattern file's body as a Text (up to the first zero byte, not trimmed); "" when the fetch failed.
Text UpdatePattern();

}  // namespace sarvoke
