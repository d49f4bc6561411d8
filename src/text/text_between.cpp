#include "text/text_between.h"

namespace sarvoke {

Text TextBetween(std::string_view source, std::string_view startMarker, std::string_view endMarker,
                 int startPosition, bool caseSensitive) {
  const Text start = TextReplaceAll(startMarker, kQuoteToken, "\"");
  const Text end = TextReplaceAll(endMarker, kQuoteToken, "\"");
  const int s = TextFind(source, start, startPosition, !caseSensitive);
  if (s == -1) return Text();
  const int inner = s + static_cast<int>(start.size());
  const int e = TextFind(source, end, inner, !caseSensitive);
  if (e == -1) return Text();
  return Text(source.substr(inner - 1, e - inner));
}

}  // namespace sarvoke
