// The controls of the "建议反馈" tab, by the names the main window gives them.
#pragma once

#include <string_view>

namespace sarvoke {

inline constexpr std::string_view kBoardBrowser = "Velmora留言系统超文本浏览框1";
inline constexpr std::string_view kPostButton = "Velmora留言系统按钮13";      // "提交"
inline constexpr std::string_view kRefreshButton = "Velmora留言系统按钮14";   // "刷新"
inline constexpr std::string_view kPreviousButton = "Velmora留言系统按钮15";  // "上一页"
inline constexpr std::string_view kNextButton = "Velmora留言系统按钮16";      // "下一页"
inline constexpr std::string_view kGoButton = "Velmora留言系统按钮17";        // "翻页"
inline constexpr std::string_view kPageBox = "Velmora留言系统编辑框16";
inline constexpr std::string_view kPageLabel = "Velmora留言系统标签21";
inline constexpr std::string_view kNicknameBox = "Velmora留言系统编辑框14";
inline constexpr std::string_view kMessageBox = "Velmora留言系统编辑框15";
inline constexpr std::string_view kQqChoice = "Velmora留言系统组合框1";
inline constexpr std::string_view kRateGate = "Velmora留言系统时钟1";

// The five board buttons, which a refresh or a post disables while it runs.
inline constexpr std::string_view kBoardButtons[] = {kPostButton, kRefreshButton, kPreviousButton,
                                                     kNextButton, kGoButton};

}  // namespace sarvoke
