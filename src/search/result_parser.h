// Reading the hits out of a results page into SearchState.hits and the result list 超级列表框1.
#pragma once

#include <vector>

#include "app/app.h"
#include "search/search_state.h"

namespace sarvoke {

// The built-in pattern of one hit; its six groups: share page address, file name (with the engine's
// <em> emphasis), size, sharer, share time, download count. Every part of a hit stands on one line.
inline constexpr std::string_view kResultPattern =
    "}\"  href=\"(.+?)\"   target=\"_blank\" >.+?</a></h3>     <font size=-1>文件名:(.+?) 文件大小:(.+?) "
    "分享者:(.+?) 分享时间:(.+?) 下载次数:(.+?)</font>";

// Put in front of the name of a hit whose size occurs three or more times on one page.
inline constexpr std::string_view kSuspiciousMark = "【可疑文件】";

// Said instead when the results page could not be fetched at all.
inline constexpr std::string_view kSearchFetchFailedMessage = "连接搜索服务器失败，请检查网络后再试。";

inline constexpr std::string_view kNoResultMessage =
    "找不到相关文件，请重新输入搜索词，此问题也可能是您首次进行搜索才导致的，请再次点击搜索按钮尝试。";

// Marks every hit whose fileSize is shared (byte for byte) by three or more hits of the list.
void MarkSuspiciousHits(std::vector<SearchHit>& hits);

// Reads SearchState.pageText into hits and the result list, with the pattern update when the built-in
// pattern finds nothing; shows the no-result message when there are no hits.
void ParseResultsPage(App& app);

}  // namespace sarvoke
