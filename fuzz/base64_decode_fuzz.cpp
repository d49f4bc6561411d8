// The lenient Base64 decoder over any text, and the coder's round trip over any bytes.
#include "fuzz_input.h"
#include "share/link_codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sarvoke;
  const Bytes decoded = Base64Decode(fuzz::AsText(data, size));
  // Three bytes per group of four, a short last group filled up with zeros.
  fuzz::Check(decoded.size() <= (size + 3) / 4 * 3, "Base64Decode made more bytes than its groups hold");
  const Bytes bytes(data, data + size);
  fuzz::Check(Base64Decode(Base64Encode(bytes)) == bytes, "Base64 does not give back what it encoded");
  return 0;
}
