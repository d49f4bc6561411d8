// The JSON reader over any answer of an aria2 daemon, and JSON quoting of any bytes read back.
#include "fuzz_input.h"
#include "share/json_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sarvoke;
  const std::string_view input = fuzz::AsText(data, size);
  JsonValue value;
  ParseJson(input, value);
  // Any bytes, quoted, read back as one string; quoting what was read gives the same text again (bytes
  // that are no UTF-8 were replaced the first time).
  const std::string quoted = JsonQuoted(input);
  JsonValue back;
  fuzz::Check(ParseJson(quoted, back), "a quoted text is no JSON");
  fuzz::Check(back.kind == JsonValue::Kind::String, "a quoted text did not read back as a string");
  fuzz::Check(JsonQuoted(back.text) == quoted, "quoting what was read back changed it");
  return 0;
}
