// Two helpers with the results of the script host's JScript: the current time in milliseconds, and the
// un-escaping of the share site's JSON text.
//
//   ScriptTime()                         == "1386601503123"   (13 digits for current dates)
//   ScriptUnescape("\\u4e2d\\u6587.txt") == "中文.txt"
//   ScriptUnescape("it's")               == "it's"
//   ScriptUnescape("a\nb")               == ""      (a line feed would break the script's string literal)
#pragma once

#include "text/text.h"

namespace sarvoke {

// Milliseconds since 1970-01-01 00:00:00 UTC as decimal digits.
Text ScriptTime();

// `escaped` read as the body of a JScript string literal in single quotes and passed through JScript's
// unescape: "\r\n" survives as a line break, a lone leading CR is dropped, \uHHHH and %uHHHH give that
// UTF-16 character, %HH the character with that code, the literal's backslash escapes apply and an
// apostrophe stays an apostrophe. "" when the literal would be invalid (a CR or LF inside it, or a
// backslash at its very end). Characters that code page 936 lacks become "?".
Text ScriptUnescape(std::string_view escaped);

}  // namespace sarvoke
