// ScriptUnescape over any escaped text.
#include "fuzz_input.h"
#include "text/script_helpers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sarvoke;
  const std::string_view escaped = fuzz::AsText(data, size);
  const Text value = ScriptUnescape(escaped);
  // Printable ASCII with nothing to unescape is its own value. "{$}" is left out: it is how the share
  // site's line breaks travel, and comes back as one.
  bool plain = escaped.find("{$}") == std::string_view::npos;
  for (const char c : escaped) plain = plain && c >= 0x20 && c < 0x7F && c != '\\' && c != '%';
  if (plain) fuzz::Check(value == escaped, "ScriptUnescape changed a text with nothing to unescape");
  return 0;
}
