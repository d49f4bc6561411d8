// ConvertLink over any link and kind. Input: the kind byte, then the link.
#include "fuzz_input.h"
#include "share/link_codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sarvoke;
  if (size == 0) return 0;
  // Kinds 0 to 3 and one beyond them.
  const int kind = data[0] % 5;
  const Text link(fuzz::AsText(data + 1, size - 1));
  const Text converted = ConvertLink(link, kind);
  // A plain address (one that is its own plain form) made into a link of a scheme comes back out of
  // it. A Text ends at a zero byte on its way through Bytes, so the address must hold none.
  if (kind >= 1 && kind <= 3 && converted != kConversionFailed && link.find('\0') == Text::npos &&
      ConvertLink(link, 0) == link) {
    fuzz::Check(ConvertLink(converted, 0) == link, "a link does not convert back to its address");
  }
  return 0;
}
