// The contents of the main window: every control with its kind, place, size and start text, the pop-up
// menu, the help text and the release notes.
#pragma once

#include <vector>

#include "app/window_model.h"

namespace sarvoke {

inline constexpr std::string_view kWindowTitle = "Sarvoke工具v2.1";
inline constexpr int kWindowLeft = 50, kWindowTop = 50, kWindowWidth = 614, kWindowHeight = 467;

// The four tab pages of 高级选择夹1, in order.
inline constexpr std::string_view kSearchPage = "文件搜索";
inline constexpr std::string_view kBoardPage = "建议反馈";
inline constexpr std::string_view kHelpPage = "使用帮助";
inline constexpr std::string_view kNotesPage = "更新详情";

// The result list's pop-up menu and its item captions.
inline constexpr std::string_view kResultMenu = "右键";
inline constexpr std::string_view kMenuDownloadSelected = "下载选中文件";
inline constexpr std::string_view kMenuThunder = "迅雷下载";
inline constexpr std::string_view kMenuFlashget = "快车下载";
inline constexpr std::string_view kMenuXuanfeng = "旋风下载";
inline constexpr std::string_view kMenuBrowseSharePage = "浏览分享页";
inline constexpr std::string_view kMenuOtherShares = "搜索该用户分享的其他文件";
// Items past the original menu, after a separator: an aria2 download, the two copies and the export.
inline constexpr std::string_view kMenuAria2 = "aria2下载";
inline constexpr std::string_view kMenuCopyDirectLink = "复制下载地址";
inline constexpr std::string_view kMenuCopySharePage = "复制分享页地址";
inline constexpr std::string_view kMenuExportResults = "导出结果…";

// The blocked words a new installation starts with (nine words, each followed by one space).
inline constexpr std::string_view kDefaultBlockedWords = "淫 骚 妞 嫩 騒 荡 粿 裸 色 ";

// The publisher's web site and personal space page behind the two links of 简单超文本框2.
inline constexpr std::string_view kPublisherSiteLink = "http://www.sarvoke.com/";
inline constexpr std::string_view kPublisherSpaceLink = "http://www.sarvoke.com/space/";

// Every control of the main window, in creation order.
std::vector<Control> MainWindowControls();
// The entries of the pop-up menu 右键 (separators have an empty caption).
std::vector<MenuEntry> ResultMenuEntries();

// The fixed texts of the help page (编辑框3) and the release notes page (编辑框4), lines joined by CR LF.
Text HelpText();
Text ReleaseNotes();

}  // namespace sarvoke
