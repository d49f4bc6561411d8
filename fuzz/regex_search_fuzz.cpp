// A fetched pattern over any page: RegexObject::Search with any pattern, options and text, and the
// reading of every match. The engine's budgets must end every search quickly (libFuzzer's -timeout).
// Input: an options byte, then pattern \0 text.
#include "fuzz_input.h"
#include "text/regex_object.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sarvoke;
  if (size == 0) return 0;
  const std::uint8_t o = data[0];
  const auto parts = fuzz::SplitInput(fuzz::AsText(data + 1, size - 1), 2);
  // Each option left out (the object's default) or given either way.
  auto option = [o](int shift) -> std::optional<bool> {
    const int v = (o >> shift) & 3;
    if (v == 3) return std::nullopt;
    return v == 1;
  };
  RegexObject re;
  const bool ran = re.Search(parts[0], parts[1], option(0), option(2), option(4), option(6));
  const int n = re.MatchCount();
  fuzz::Check(ran || n == 0, "a failed search left matches");
  const int groups = re.SubmatchCount();
  for (int i = 0; i <= n + 1 && i < 2000; ++i) {
    const Text m = re.MatchText(i);
    if (i >= 1 && i <= n)
      fuzz::Check(parts[1].find(m) != std::string_view::npos, "a match is not part of the text");
    for (int g = 0; g <= groups + 1 && g < 100; ++g) re.SubmatchText(i, g);
  }
  re.Replace("[$1|$&|$$]");
  // A copy reads the same matches.
  const RegexObject copy = re;
  fuzz::Check(copy.MatchCount() == n, "a copy lost the matches");
  return 0;
}
