// A user's other shares: from a search hit, the sharer's key is read off the hit's share page and the
// share site's per-user list ("homerecord") is asked for that user's first 100 shares, which then fill
// the result list in place of the hits (listMode UserShares).
//
//   MenuOtherSharesOfUser(app);   // the pop-up menu item "搜索该用户分享的其他文件"
#pragma once

#include "app/app.h"
#include "text/text.h"

namespace sarvoke {

// One record of the share list. Groups: 1 share id, 2 creation time (seconds), 3 views, 4 downloads,
// 5 the file's path behind its escaped leading slash.
inline constexpr std::string_view kUserSharePattern =
    R"re("shareId":(.+?),"fsIds":\[.+?\],"channel":0,"channelInfo":\[\],"status":0,"expiredType":0,)re"
    R"re("passwd":"0","name":"0","description":"0","ctime":(.+?),"appId":.+?,"public":1,"publicChannel":0,)re"
    R"re("tplId":0,"vCnt":"(.+?)","dCnt":"(.+?)","tCnt":".+?","typicalCategory":.+?,"typicalPath":"\\/(.+?)")re";

inline constexpr std::string_view kNoUserShares = "没有找到该用户的分享文件。";

// The markers around the sharer's key in a share page.
inline constexpr std::string_view kUserKeyStart = R"(href="/share/home?uk=)";
inline constexpr std::string_view kUserKeyEnd = R"(")";

// The menu item "搜索该用户分享的其他文件".
void MenuOtherSharesOfUser(App& app);

// The sharer's key named by the share page at `shareUrl`; "" when the page cannot be fetched or names none.
// `pageRead`, when given, tells whether the page came at all.
Text FetchUserKey(const Text& shareUrl, bool* pageRead = nullptr);

// The address of the share list of `userKey`, with the two time readings.
Text UserShareListAddress(const Text& shareSiteHost, const Text& userKey, const Text& firstTime,
                          const Text& secondTime);

// The records of a share list, one per line: every JSON object that holds a "shareId" key of its own,
// innermost first, line breaks inside it made spaces. The pattern's lazy groups cannot cross a line
// break, so a record that does not fit the pattern is skipped instead of running into the next one.
// A body with no such object is returned as it is.
Text UserShareRecordsText(std::string_view body);

// Fetches and shows the shares of `userKey`. When none is found the message says so, the list and
// userShares stay as they were, and listMode becomes `modeOnFailure` (the mode of what the list shows).
void ListUserShares(App& app, const Text& userKey, ListMode modeOnFailure = ListMode::Hits);

}  // namespace sarvoke
