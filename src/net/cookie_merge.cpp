#include "net/cookie_merge.h"

#include <algorithm>
#include <vector>

namespace sarvoke {

Text CookieName(std::string_view item) {
  const int eq = TextFind(item, "=");
  return TrimBlanks(eq == -1 ? item : item.substr(0, eq - 1));
}

Text UniqueItems(std::string_view text, std::string_view separator) {
  std::vector<Text> kept;
  for (Text& piece : TextSplit(text, separator)) {
    if (std::find(kept.begin(), kept.end(), piece) == kept.end()) kept.push_back(std::move(piece));
  }
  return TextJoin(kept, separator);
}

Text CookieMerge(Text& cookies, Text& returned) {
  cookies = RemoveBlanks(cookies);
  returned = RemoveBlanks(returned);

  // New items are never compared with each other; kept items are compared with everything before them.
  std::vector<Text> working = TextSplit(returned, ";");
  std::vector<Text> names;
  names.reserve(working.size());
  for (const Text& item : working) names.push_back(CookieName(item));
  for (Text& item : TextSplit(cookies, ";")) {
    Text name = CookieName(item);
    if (std::find(names.begin(), names.end(), name) != names.end()) continue;
    names.push_back(std::move(name));
    working.push_back(std::move(item));
  }

  Text merged;
  for (const Text& item : working) {
    if (TextRight(item, 8) == "=deleted") continue;
    merged += item;
    merged += "; ";
  }
  if (!merged.empty()) merged.resize(merged.size() - 2);
  cookies = UniqueItems(merged, "; ");
  return cookies;
}

}  // namespace sarvoke
