#include "share/direct_link.h"

#include "net/endpoints.h"
#include "platform/read_url.h"
#include "share/link_codecs.h"
#include "share/share_actions.h"
#include "text/text_between.h"

namespace sarvoke {

bool HasRecordAt(const App& app, int row) {
  if (row < 0) return false;
  const auto r = static_cast<std::size_t>(row);
  return app.search.listMode == ListMode::UserShares ? r < app.search.userShares.size()
                                                     : r < app.search.hits.size();
}

Text ShareUrlOfRow(const App& app, int row) {
  const SearchState& s = app.search;
  if (s.listMode == ListMode::UserShares) {
    return "http://" + CurrentEndpoints().shareSiteDomain +
           "/share/link?shareid=" + s.userShares[row].shareId + "&uk=" + s.userKey;
  }
  return s.hits[row].shareUrl;
}

Text UnescapeDirectLink(std::string_view escaped) {
  // Replacing the first "\\/" over and over, from the start each time, shrinks every run of backslashes
  // that stands in front of a slash by two until one or none is left; runs elsewhere stay. The first
  // "\\/\\/" made "//" beforehand comes to the same. One pass gives that result without the quadratic
  // rescans, which a long hostile link would make expensive. Backslashes are whole characters only: a
  // 0x5C that is the second byte of a double-byte character is copied with its character.
  Text out;
  out.reserve(escaped.size());
  std::size_t i = 0;
  while (i < escaped.size()) {
    if (escaped[i] != '\\') {
      const std::size_t len = CharLengthAt(escaped, i);
      out.append(escaped.substr(i, len));
      i += len;
      continue;
    }
    std::size_t run = 0;
    while (i + run < escaped.size() && escaped[i + run] == '\\') ++run;
    const bool beforeSlash = i + run < escaped.size() && escaped[i + run] == '/';
    out.append(beforeSlash ? run % 2 : run, '\\');
    i += run;
  }
  return out;
}

Text DirectLinkInPage(const Text& page) {
  return UnescapeDirectLink(TextBetween(page, kDirectLinkStart, kDirectLinkEnd));
}

Text ResolveDirectLink(const Text& shareUrl) { return DirectLinkInPage(TextFromBytes(ReadUrl(shareUrl))); }

void ResultListDoubleClicked(App& app) {
  // A double-click away from every row selects nothing and so does nothing.
  const int row = app.window.GetSelected("超级列表框1");
  if (!HasRecordAt(app, row)) return;
  DownloadRow(app, row, Plain);
}

}  // namespace sarvoke
