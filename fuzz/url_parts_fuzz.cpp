// The address helpers over any address, and HeaderValue over any header line.
#include "fuzz_input.h"
#include "net/url_parts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sarvoke;
  const std::string_view address = fuzz::AsText(data, size);
  const Text host = UrlHost(address);
  UrlHost(address, true);
  const Text withPort = UrlHost(address, false, true);
  fuzz::Check(host.size() <= address.size() && withPort.size() <= address.size(),
              "UrlHost is longer than the address");
  // Any number, a sign included: HttpFetch refuses a port outside 0 to 65535.
  UrlPort(address);
  const Text path = UrlObjectPath(address);
  fuzz::Check(!path.empty() && path[0] == '/', "UrlObjectPath does not begin with a slash");
  HeaderValue(address);
  return 0;
}
