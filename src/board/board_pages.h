// The board as HTML: a stylesheet, one fragment per page, the page file the browser box shows, and the
// paging controls of the "建议反馈" tab.
//
//   BuildBoardPages(app);     // lyb.css, zd.jpg and board.pages from the entries and settings
//   RenderBoardPage(app);     // lyb.html for board.currentPage, the browser box, label and buttons
//
// Every text that comes from the board (a content, a nickname, a time, the pinned text) is escaped on
// its way into the page: a post is shown as text, never run as markup. A nickname of the QQ form is
// shown with its avatar and chat link only when it has exactly the shape the program writes.
#pragma once

#include <string>

#include "app/app.h"
#include "board/board_format.h"

namespace sarvoke {

// The board's own folder for its files, with a trailing "/": a folder of the user's alone (mode 0700)
// under $XDG_RUNTIME_DIR, else under the temporary folder with the user's id in its name. "" when that
// folder exists and is not a folder of the user's (a link, or another user's), which is then never used.
std::string BoardCacheFolder();

// The stylesheet with the border colour put in.
Text BoardStylesheet(std::string_view borderColor);
// The stored badge image written as zd.jpg.
const Bytes& PinBadgeImage();

// `text` with up to five (find, replacement) pairs applied one after another, each over the result of
// the one before; `count` replacements at most per pair (-1: all), from the 1-based `start`.
struct Replacement {
  std::string_view find;
  std::string_view with;
};
Text MultiReplace(std::string_view text, std::initializer_list<Replacement> pairs, int count = -1,
                  int start = 1, bool caseSensitive = false);

// `text` safe inside HTML text and attribute values.
Text EscapeHtml(std::string_view text);

// The nickname as the page shows it: the QQ form rebuilt from its pieces when it has exactly that shape
// (a number of five or more digits, the avatar and chat addresses of the current hosts), its QQ nickname
// escaped; anything else escaped as text.
Text NicknameHtml(std::string_view nickname);

// One entry of a page with its display number.
Text EntryFragment(const BoardEntry& entry, int number, const BoardSettings& settings);
// The page around a page fragment; `folder` is the board's folder (CP936 text, trailing "/").
Text BoardPage(const Text& fragment, const BoardSettings& settings, const Text& folder);

// Writes lyb.css and zd.jpg and builds board.pages.
void BuildBoardPages(App& app);
// Shows board.currentPage (page 1 after "无此页数，请返回。" when it is out of range).
void RenderBoardPage(App& app);

// The paging controls: "上一页", "下一页" and "翻页".
void BoardPreviousPageClicked(App& app);
void BoardNextPageClicked(App& app);
void BoardGoToPageClicked(App& app);

}  // namespace sarvoke
