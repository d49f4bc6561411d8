#include "net/url_parts.h"

#include "text/text_between.h"

namespace sarvoke {

Text UrlHost(std::string_view address, bool registrableOnly, bool keepPort) {
  Text a = AsciiLower(address);
  if (a.empty() || a.back() != '/') a += '/';
  std::string_view marker = "https://";
  if (a.rfind("https://", 0) != 0) {
    marker = "http://";
    if (!TextContains(a, marker)) a.insert(0, marker);
  }
  Text host = TextBetween(a, marker, "/");
  if (registrableOnly) {
    const std::vector<Text> labels = TextSplit(host, ".");
    if (labels.size() >= 2) host = labels[labels.size() - 2] + "." + labels.back();
  }
  if (!keepPort) {
    const int colon = TextFind(host, ":");
    if (colon != -1) host.resize(colon - 1);
  }
  return host;
}

int UrlPort(std::string_view address) {
  const Text host = UrlHost(address, false, true);
  const std::size_t colon = host.rfind(':');
  if (colon == Text::npos) return AsciiLower(TextLeft(address, 5)) == "https" ? 443 : 80;
  return TextToInt(std::string_view(host).substr(colon + 1));
}

Text UrlObjectPath(std::string_view address) {
  // The host is looked for where UrlHost took it from, behind the scheme marker: a host such as "h" or
  // "tp" also occurs in the scheme itself.
  const Text lower = AsciiLower(address);
  int from = 1;
  if (lower.rfind("https://", 0) == 0) {
    from = 9;
  } else if (const int marker = TextFind(lower, "http://"); marker != -1) {
    from = marker + 7;
  }
  const int hostAt = TextFind(address, UrlHost(address), from, true);
  if (hostAt == -1) return "/";
  const int slash = TextFind(address, "/", hostAt);
  if (slash == -1) return "/";
  return Text(address.substr(slash - 1));
}

Text HeaderValue(std::string_view line) {
  const int colon = TextFind(line, ":");
  if (colon == -1) return Text();
  return TrimBlanks(line.substr(colon));
}

}  // namespace sarvoke
