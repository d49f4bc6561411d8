// The poster's QQ identity: the QQ accounts logged in on this desktop (one window of the QQ client's
// window class each, its number in the title), offered in the board's QQ choice with the chosen
// number's avatar beside it, instead of the nickname box.
//
//   ChooseQqIdentity(app);   // at the window's creation: the QQ pair or the nickname pair
//   ... the user picks an item of the choice: ShowQqAvatar(app)
#pragma once

#include "app/app.h"

namespace sarvoke {

inline constexpr std::string_view kQqWindowClass = "5B3838F5-0C81-46D9-A4C0-6EA28CA3E942";
inline constexpr std::string_view kQqAvatarBox = "Velmora留言系统图片框1";
inline constexpr std::string_view kNicknameLabel = "Velmora留言系统标签19";
inline constexpr int kAvatarJpegQuality = 75;

// The number of QQ windows; with `keepList`, `numbers` gets one item per window, in the order found: the
// first run of five or more digits not starting with 0 in its title, "" when the title has none.
int FindQqNumbers(bool keepList, std::vector<Text>* numbers = nullptr);

// Adds the numbers after "不使用QQ登录", selects the first, sets QQ mode and starts the first avatar
// display on a worker thread.
void FillQqChoice(App& app);

// The start-up choice: the QQ choice and the avatar when QQ windows are found, else the nickname box.
void ChooseQqIdentity(App& app);

// The QQ choice's item-selected handler (also the first run on its worker): item 0 switches to the
// nickname box for the rest of the run; a number fetches its avatar, converts it to JPEG and shows it.
// One run at a time: a run on the GUI thread waits, painting, for one still working on the worker.
void ShowQqAvatar(App& app);
// The same run; `onWorker` for the first one, started by FillQqChoice.
void RunQqAvatar(App& app, bool onWorker);

void BindQqEvents(App& app);

}  // namespace sarvoke
