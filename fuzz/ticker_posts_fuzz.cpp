// The ticker over any home page: the escapes undone, the UTF-8 read, the posts taken out.
#include "fuzz_input.h"
#include "ticker/ticker.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sarvoke;
  const std::string_view input = fuzz::AsText(data, size);
  const Text raw = PercentDecodeText(input, false);
  fuzz::Check(raw.size() <= input.size(), "undoing escapes made the text longer");
  if (input.find('%') == std::string_view::npos && input.find('\0') == std::string_view::npos)
    fuzz::Check(raw == input, "a text without escapes changed");
  const Text page = PercentDecodeText(input, true);
  for (const TickerPost& p : ParseTickerPosts(page)) {
    for (const Text* field : {&p.views, &p.link, &p.title, &p.comments})
      fuzz::Check(field->size() <= page.size(), "a post's field is longer than the page");
    fuzz::Check(TickerWidth(p.title) >= 0, "a negative headline width");
  }
  return 0;
}
