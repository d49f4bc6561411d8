// The direct download address ("dlink") of a row of the result list: the row's share page is fetched
// with a plain GET and the link is cut out of the JSON text that the page embeds in a script.
//
//   Text page = ShareUrlOfRow(app, row);     // the hit's shareUrl, or the share site's link for a user share
//   Text link = ResolveDirectLink(page);     // "http://d.pcs.baidu.com/file/…", or "" when there is none
//
// In the page the link stands as dlink\":\"http:\\/\\/host\\/file…\" (a JSON text inside a script's string
// literal); UnescapeDirectLink turns its doubled escapes back into plain slashes.
#pragma once

#include "app/app.h"
#include "text/text.h"

namespace sarvoke {

// The markers around the direct link in a share page.
inline constexpr std::string_view kDirectLinkStart = R"(dlink\":\")";
inline constexpr std::string_view kDirectLinkEnd = R"(\")";

// True when the list that listMode names has a record at `row`.
bool HasRecordAt(const App& app, int row);

// The share page address of the record at `row` (which must exist, see HasRecordAt).
Text ShareUrlOfRow(const App& app, int row);

// `escaped` with the first "\\/\\/" made "//", then every "\\/" made "/", each search starting from the
// start again: a run of backslashes in front of a slash shrinks two at a time until one or none is left.
Text UnescapeDirectLink(std::string_view escaped);

// The direct link a share page holds, unescaped; "" when it holds none.
Text DirectLinkInPage(const Text& page);

// The direct link of the share page at `shareUrl`; "" when the page cannot be fetched or holds none.
Text ResolveDirectLink(const Text& shareUrl);

// The double-click on the result list: the selected row's file goes to the browser.
void ResultListDoubleClicked(App& app);

}  // namespace sarvoke
