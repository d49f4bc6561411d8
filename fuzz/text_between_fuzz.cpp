// TextBetween over any source and markers. Input: a flags byte, then source \0 start marker \0 end marker.
#include "fuzz_input.h"
#include "text/text_between.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sarvoke;
  if (size == 0) return 0;
  const std::uint8_t flags = data[0];
  const auto parts = fuzz::SplitInput(fuzz::AsText(data + 1, size - 1), 3);
  // Start positions around the ends of short texts, below 1 included.
  const int start = static_cast<int>(flags >> 1) - 4;
  const Text between = TextBetween(parts[0], parts[1], parts[2], start, (flags & 1) != 0);
  // Whatever it returns was cut out of the source.
  fuzz::Check(between.empty() || parts[0].find(between) != std::string_view::npos,
              "TextBetween returned bytes that are not in the source");
  return 0;
}
