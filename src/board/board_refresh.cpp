#include "board/board_refresh.h"

#include "board/board_controls.h"
#include "board/board_pages.h"
#include "platform/files.h"
#include "platform/mail_text.h"
#include "text/code_page.h"

namespace sarvoke {

BoardRead ReadBoard(App& app, Pop3Session& session) {
  BoardState& b = app.board;
  int count = 0;
  if (!Pop3Status(session, count)) return BoardRead::Failed;
  b.boardText.clear();
  if (count > 0) {
    // A mail that could not be read is no empty board: the page must not invite a "first" post.
    const Bytes mail = Pop3Retrieve(session, count);
    if (mail.empty()) return BoardRead::Failed;
    b.boardText = MailBodyText(mail);
  }
  std::vector<BoardEntry> entries = ParseBoardEntries(b.boardText);
  if (entries.empty()) return BoardRead::NoEntries;
  b.entries = std::move(entries);
  return BoardRead::Entries;
}

void RunBoardRefresh(App& app) {
  WindowModel& w = app.window;
  BoardState& b = app.board;
  b.pages.clear();
  if (app.boardFolder.empty()) app.boardFolder = BoardCacheFolder();
  if (app.boardFolder.empty()) {
    w.MessageBox(Text(kNoBoardFolder));
    w.SetDisabled(Text(kRefreshButton), false);
    return;
  }
  const MailboxAccount& a = app.mailbox;
  Pop3Session session;
  if (!Pop3Connect(session, a.pop3Host, a.pop3Port, a.address, a.password, a.pop3WaitMs)) {
    w.MessageBox(Text(kPop3Failed));
    w.SetDisabled(Text(kRefreshButton), false);
    return;
  }
  const BoardRead read = ReadBoard(app, session);
  Pop3Quit(session);  // the session ends here, not when the server tires of it
  if (read == BoardRead::Failed) {
    w.MessageBox(Text(kPop3Failed));
    w.SetDisabled(Text(kRefreshButton), false);
    return;
  }
  if (read == BoardRead::NoEntries) {
    WriteWholeFile(app.boardFolder + "lyb.html", kNoEntriesPage);
    w.SetBrowserAddress(Text(kBoardBrowser), Utf8ToAnsiText(app.boardFolder) + "lyb.html");
    // The page invites the first post: posting, and refreshing, must then be possible.
    w.SetDisabled(Text(kPostButton), false);
    w.SetDisabled(Text(kRefreshButton), false);
    return;
  }
  b.settings = ReadBoardSettings(b.boardText);
  b.entryCount = static_cast<std::int32_t>(b.entries.size());
  BuildBoardPages(app);
  b.currentPage = 1;
  RenderBoardPage(app);
  w.SetDisabled(Text(kRefreshButton), false);
}

void RefreshBoard(App& app) {
  for (std::string_view button : kBoardButtons) app.window.SetDisabled(Text(button), true);
  if (!StartWorker(app.shared_from_this(), [](App& a) { RunBoardRefresh(a); }))
    app.window.SetDisabled(Text(kRefreshButton), false);
}

void BindBoardEvents(App& app) {
  App* a = &app;
  WindowModel& w = app.window;
  w.Bind("Velmora留言系统按钮14", Event::Clicked, [a](int) { RefreshBoard(*a); });
  w.Bind("Velmora留言系统按钮15", Event::Clicked, [a](int) { BoardPreviousPageClicked(*a); });
  w.Bind("Velmora留言系统按钮16", Event::Clicked, [a](int) { BoardNextPageClicked(*a); });
  w.Bind("Velmora留言系统按钮17", Event::Clicked, [a](int) { BoardGoToPageClicked(*a); });
}

}  // namespace sarvoke
