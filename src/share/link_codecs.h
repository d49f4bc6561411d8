// The link formats of three download managers, and the Base64 coder they share.
//
//   ConvertLink("http://a/b", 1)               == "thunder://QUFodHRwOi8vYS9iWlo="
//   ConvertLink("thunder://QUFodHRwOi8vYS9iWlo=", 0) == "http://a/b"
//   ConvertLink("xhttp://a", 0)                == "转换失败"   (a known prefix, but not at the start)
//
// Each scheme wraps an ordinary address in Base64: Thunder as "AA" + address + "ZZ", FlashGet as
// "[FLASHGET]" + address + "[FLASHGET]" with "&1926" behind, QQ Xuanfeng the address alone. Prefixes are
// compared with their letter case as written here. The decoder is lenient, as the download managers are:
// it skips spaces and CR LF pairs and never rejects damaged text.
#pragma once

#include "text/text.h"

namespace sarvoke {

// The form ConvertLink is asked for; any other number gives the failure text.
enum LinkKind { Plain = 0, Thunder = 1, Flashget = 2, Qqdl = 3 };

// What ConvertLink returns in place of a link it cannot make.
inline constexpr std::string_view kConversionFailed = "转换失败";

// `link` (a plain address or a link of one of the three schemes) in the form `kind` names, or
// "转换失败" for an empty text, a text holding a known prefix that it does not begin with, or an unknown
// kind.
Text ConvertLink(const Text& link, int kind);

// The link of each scheme for a plain address.
Text ThunderEncode(const Text& address);
Text FlashgetEncode(const Text& address);
Text QqdlEncode(const Text& address);

// The plain address inside a link of each scheme; the prefix and wrapper are dropped by length, unchecked.
Text ThunderDecode(const Text& link);
Text FlashgetDecode(const Text& link);
Text QqdlDecode(const Text& link);

// Standard Base64 (RFC 4648, padded, no line breaks).
Text Base64Encode(const Bytes& bytes);
// The lenient decoder: spaces (ASCII and full-width) and CR LF pairs are dropped; a byte outside the
// alphabet ends its group of four, whose missing values are those of the group before; missing bytes at
// the end count as 0. On the GUI thread it lets pending window events run now and then.
Bytes Base64Decode(std::string_view text);

}  // namespace sarvoke
