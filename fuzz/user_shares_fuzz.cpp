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
    // A line feed ends a record, even behind a lead byte (corpus/user_shares/lead_byte_before_line_break).
    fuzz::Check(re.MatchText(i).find('\n') == Text::npos, "a share record runs over a line break");
    ScriptUnescape(re.SubmatchText(i, 5));
  }
  return 0;
}
