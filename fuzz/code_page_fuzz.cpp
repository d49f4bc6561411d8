// The code page conversions over any bytes, and their round trip: code page 936 text of mapped
// characters only, to UTF-8 and back, is the text it was.
#include "fuzz_input.h"
#include "text/code_page.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sarvoke;
  const std::string_view input = fuzz::AsText(data, size);
  const Text utf8 = AnsiToUtf8(input);
  Utf8ToAnsiText(input);

  // The input's mapped characters: ASCII, and double-byte characters that the code page holds.
  const CodePage936Table& table = CodePage936Decoding();
  Text mapped;
  for (std::size_t i = 0; i < input.size(); ++i) {
    const auto lead = static_cast<unsigned char>(input[i]);
    if (lead < 0x80) {
      mapped += input[i];
    } else if (IsDoubleByteAt(input, i)) {
      const auto trail = static_cast<unsigned char>(input[i + 1]);
      if (table.pairs[(lead - 0x81) * 256 + trail] != 0xFFFD) mapped.append(input.substr(i, 2));
      ++i;
    }
  }
  const Text there = AnsiToUtf8(mapped);
  fuzz::Check(Utf8ToAnsiText(there) == mapped, "code page 936 text does not come back from UTF-8");
  (void)utf8;
  return 0;
}
