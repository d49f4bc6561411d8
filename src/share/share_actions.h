// The download and browse actions on a row of the result list: the four buttons under the list and the
// items of its pop-up menu 右键. Each works on the record that the selected row shows (a search hit, or
// one of a user's shares while those are listed) and hands a text to the system's URL handler.
#pragma once

#include "app/app.h"

namespace sarvoke {

// The messages of the actions.
inline constexpr std::string_view kSelectFileFirst = "请先选择一个文件。";
inline constexpr std::string_view kNoDirectLink = "未能取得下载地址，请稍后再试。";
inline constexpr std::string_view kNoHandlerForLink =
    "没有找到能打开这个链接的程序。链接已复制到剪贴板，可以粘贴到您使用的下载工具中：";
inline constexpr std::string_view kBadSharePageAddress = "这个文件的分享页地址无法打开：";

// The selected row when it shows a record; otherwise the user is asked to pick a file and -1 comes back.
int SelectedRecordRow(App& app);

// The direct link of the record at `row`, resolved afresh, when it is one that can be handed over;
// otherwise the message of a missing link is shown and "" comes back.
Text ResolveRowLinkOrSay(App& app, int row);

// Resolves the direct link of the record at `row`, converts it to `kind` (a LinkKind) unless it is Plain,
// and hands it over; an empty link or a failed conversion is said in a message box instead.
void DownloadRow(App& app, int row, int kind);

// Hands `link` to the system's handler for its scheme. A text the handler is never given shows the
// message of an empty link; when no program takes it, the link goes to the clipboard and a message
// box shows it.
void HandOverLink(App& app, const Text& link);

void MenuDownloadSelected(App& app);
void DownloadSelectedClicked(App& app);
void MenuThunderDownload(App& app);
void ThunderDownloadClicked(App& app);
void MenuFlashgetDownload(App& app);
void FlashgetDownloadClicked(App& app);
void MenuXuanfengDownload(App& app);
void XuanfengDownloadClicked(App& app);
void MenuBrowseSharePage(App& app);
// The selected row's direct link (resolved afresh) or share page address goes to the clipboard.
void MenuCopyDirectLink(App& app);
void MenuCopySharePage(App& app);

// Binds the actions, the double-click, the menu item of a user's other shares and the later items (aria2,
// the copies, the export) in the event table.
void BindShareEvents(App& app);

}  // namespace sarvoke
