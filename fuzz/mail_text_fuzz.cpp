// MailBodyText over any retrieved mail: headers, transfer encodings, charsets, multipart.
#include "fuzz_input.h"
#include "platform/mail_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sarvoke;
  MailBodyText(Bytes(data, data + size));
  return 0;
}
