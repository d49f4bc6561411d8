// The news ticker: the publisher's latest posts scrolling across the top of the window.
//
//   FetchTicker(app);     // worker thread: the home page's posts, then the timer starts
//   ScrollTicker(app);    // every 20 ms on the GUI thread: one pixel to the left
#pragma once

#include "app/app.h"

namespace sarvoke {

// One post of the publisher's home page: views, link, title, comments.
extern const std::string_view kTickerPattern;

inline constexpr std::string_view kTickerOffline = "未连接到网络";
inline constexpr std::string_view kTickerFailed = "获取失败";

// `text` with every %HH replaced by the byte it names (a zero byte is dropped; a % not followed by two
// hexadecimal digits stays as it stands), then, with `convert`, read as UTF-8 into code page 936.
Text PercentDecodeText(std::string_view text, bool convert);

// The posts of the home page's text (escapes already undone), in page order.
std::vector<TickerPost> ParseTickerPosts(const Text& page);

// The width of the headline for a caption: 6.08 pixels a byte, cut toward zero.
int TickerWidth(const Text& caption);

// Reads the posts (once, on a worker thread) and starts the ticker; a caption says when it cannot.
void FetchTicker(App& app);
void ScrollTicker(App& app);
void ShowTickerPost(App& app);
void OpenTickerPost(App& app);

// Starts the fetch on its worker thread.
void StartTicker(App& app);
void BindTickerEvents(App& app);

}  // namespace sarvoke
