// Posting to the board: the checks of the nickname and the message, the board read and the entry
// appended, the whole text mailed back to the mailbox, and the rate gate that keeps the next post 30 s
// away from a successful one.
#pragma once

#include "app/app.h"

namespace sarvoke {

inline constexpr std::string_view kPostSucceeded = "提交成功！管理员会及时查看！如需回复请留下联系方式。";
inline constexpr std::string_view kPostFailed = "提交失败。";
inline constexpr std::string_view kPostUnreadableBoard = "连接收信服务器失败，请稍后再提交。";
inline constexpr int kRateGateMs = 30000;

// The message of the first check a post fails, in the order the checks run; "" when it passes them all.
Text CheckBoardPost(const App& app, const Text& nickname, const Text& message);

// The "提交" button.
void PostBoardEntry(App& app);
// The rate gate's timer tick: posting is open again.
void RateGateTicked(App& app);

// The QQ nickname of number `qq` from the QQ profile service; "" when it names none. The characters that
// separate a board's entries (-, \, |) are taken out of it.
Text FetchQqNickname(const Text& qq);
// The QQ time service's time text, CR LF pairs removed; "" on failure.
Text FetchServerTime();
// The local time in the time service's shape ("2013-04-20 12:00:00"), for when the service gives nothing.
Text LocalTimeText();

void BindPostEvents(App& app);

}  // namespace sarvoke
