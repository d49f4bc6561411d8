// CookieMerge, CookieName and UniqueItems over any cookie texts. Input: kept \0 returned.
#include "fuzz_input.h"
#include "net/cookie_merge.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sarvoke;
  const auto parts = fuzz::SplitInput(fuzz::AsText(data, size), 2);
  Text kept(parts[0]);
  Text returned(parts[1]);
  const Text merged = CookieMerge(kept, returned);
  fuzz::Check(kept == merged, "CookieMerge left the kept cookies other than its result");
  // Blanks are gone from the items: a space stands only in the "; " between two of them. (In code page
  // 936 a space may be the second byte of a character, so only ASCII input says so.)
  bool ascii = true;
  for (const auto part : parts)
    for (const char c : part) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  for (std::size_t i = 0; ascii && i < merged.size(); ++i) {
    if (merged[i] == ' ') fuzz::Check(i > 0 && merged[i - 1] == ';', "a blank survived in a merged item");
  }
  CookieName(parts[0]);
  UniqueItems(parts[0], parts[1]);
  return 0;
}
