// A sharer's share list from any body: the records cut out of it, the share-site pattern over them, and
// the file names unescaped as the list shows them.
#include "fuzz_input.h"
#include "share/user_shares.h"
#include "text/regex_object.h"
#include "text/script_helpers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sarvoke;
  const Text records = UserShareRecordsText(fuzz::AsText(data, size));
  RegexObject re;
  re.Search(kUserSharePattern, records);
  const int n = re.MatchCount();
  for (int i = 1; i <= n; ++i) {
    // A line feed of its own ends a record; behind a lead byte it is part of one character (text.h).
    const Text match = re.MatchText(i);
    for (std::size_t k = 0; k < match.size(); k += CharLengthAt(match, k))
      fuzz::Check(match[k] != '\n', "a share record runs over a line break");
    ScriptUnescape(re.SubmatchText(i, 5));
  }
  return 0;
}
