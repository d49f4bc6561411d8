// Reading the board from its mailbox and refreshing the "建议反馈" tab on a worker thread.
//
//   RefreshBoard(app);   // the board buttons go grey; a worker reads the newest mail and shows page 1
#pragma once

#include "app/app.h"
#include "platform/pop3_client.h"

namespace sarvoke {

inline constexpr std::string_view kPop3Failed = "连接收信服务器失败";
inline constexpr std::string_view kNoEntriesPage = "还没有任何人发表留言，快来抢沙发吧~";
inline constexpr std::string_view kNoBoardFolder =
    "无法使用留言板的缓存文件夹（它不是您自己的文件夹），留言板无法显示。";

// What reading the board's newest mail came to.
enum class BoardRead {
  Entries,    // the mail holds at least one entry
  NoEntries,  // the mailbox is empty, or its newest mail holds no entry
  Failed,     // the mailbox's status or the mail could not be read
};

// Reads the newest mail of the logged-in session into board.boardText and its entries (entries are left
// as they were unless it holds some).
BoardRead ReadBoard(App& app, Pop3Session& session);

// Starts a refresh on a worker thread and returns at once.
void RefreshBoard(App& app);

// The refresh itself, as the worker runs it (tests call it directly).
void RunBoardRefresh(App& app);

// Binds "刷新" and the paging controls.
void BindBoardEvents(App& app);

}  // namespace sarvoke
