#include "ticker/ticker.h"

#include "net/endpoints.h"
#include "net/http_fetch.h"
#include "net/reachability.h"
#include "platform/url_opener.h"
#include "text/code_page.h"
#include "text/simple_pattern.h"

namespace sarvoke {
namespace {

constexpr std::string_view kHeadline = "滚动条";
constexpr std::string_view kTickerTimer = "广告时钟";
constexpr int kTickMs = 20;

int HexValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

const std::string_view kTickerPattern =
    "<li class=\"meta-views\">\n\t\t\t\t\t(.+?) views\n\t\t\t\t</li>\n\t\t\t\t<li "
    "class=\"meta-comments\">\n\t\t\t\t\t"
    "<a href=\"(.+?)#comments\"\n\t\t\t\t\t\ttitle=\"(.+?) 上的评论\">(.+?) 条评论</a>";

Text PercentDecodeText(std::string_view text, bool convert) {
  Text out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '%') {
      out.push_back(c);
      continue;
    }
    const int h1 = i + 1 < text.size() ? HexValue(static_cast<unsigned char>(text[i + 1])) : -1;
    const int h2 = i + 2 < text.size() ? HexValue(static_cast<unsigned char>(text[i + 2])) : -1;
    if (h1 < 0 || h2 < 0) {
      // Not an escape: the bytes stay as they stand (the % alone when fewer than two bytes follow).
      out.append(text.substr(i, std::min<std::size_t>(3, text.size() - i)));
      i += std::min<std::size_t>(2, text.size() - i - 1);
      continue;
    }
    const int value = h1 * 16 + h2;
    if (value != 0) out.push_back(static_cast<char>(value));
    i += 2;
  }
  return convert ? Utf8ToAnsiText(out) : out;
}

int TickerWidth(const Text& caption) {
  // 6.08 pixels a byte, in integers so that no rounding of the factor shifts a width.
  return static_cast<int>(static_cast<long long>(caption.size()) * 608 / 100);
}

std::vector<TickerPost> ParseTickerPosts(const Text& page) {
  SimplePattern pattern;
  std::vector<TickerPost> posts;
  if (CompileSimplePattern(pattern, kTickerPattern, true)) {
    std::vector<PatternMatch> matches = FindAllMatches(pattern, page);
    for (const PatternMatch& m : matches)
      posts.push_back({PatternGroupText(m, page, 1), PatternGroupText(m, page, 2),
                       PatternGroupText(m, page, 3), PatternGroupText(m, page, 4)});
    ReleaseMatches(matches);
    ReleaseSimplePattern(pattern);
  }
  return posts;
}

void FetchTicker(App& app) {
  WindowModel& w = app.window;
  if (!IsSearchHostReachable(2000)) {
    w.SetText(Text(kHeadline), Text(kTickerOffline));
    return;
  }
  // The page is read as the bytes it came as and converted from UTF-8 once, after the escapes are
  // undone: converting it as it arrives too would garble every Chinese character a second time.
  const Bytes body = HttpFetch("http://" + CurrentEndpoints().publisherHost, {.keepBytes = true});
  const Text page = PercentDecodeText(TextFromBytes(body), true);
  std::vector<TickerPost> posts = ParseTickerPosts(page);
  if (posts.empty()) {
    w.SetText(Text(kHeadline), Text(kTickerFailed));
    return;
  }
  {
    std::lock_guard lock(app.ticker.mutex);
    app.ticker.pageText = page;
    app.ticker.posts = std::move(posts);
    app.ticker.current = 1;
  }
  ShowTickerPost(app);
  w.SetTimerPeriod(Text(kTickerTimer), kTickMs);
}

void ShowTickerPost(App& app) {
  Text caption;
  {
    std::lock_guard lock(app.ticker.mutex);
    TickerState& t = app.ticker;
    if (t.posts.empty()) return;
    if (t.current > static_cast<int>(t.posts.size()) || t.current < 1) t.current = 1;
    const TickerPost& p = t.posts[t.current - 1];
    caption = p.title + " 点击：" + p.views + " 评论：" + p.comments;
  }
  app.window.SetText(Text(kHeadline), caption);
  app.window.SetWidth(Text(kHeadline), TickerWidth(caption));
}

void ScrollTicker(App& app) {
  WindowModel& w = app.window;
  const int left = w.GetLeft(Text(kHeadline)) - 1;
  w.SetLeft(Text(kHeadline), left);
  if (left + w.GetWidth(Text(kHeadline)) < 0) {
    w.SetLeft(Text(kHeadline), w.WindowWidth());
    {
      std::lock_guard lock(app.ticker.mutex);
      app.ticker.current += 1;
    }
    ShowTickerPost(app);
  }
}

void OpenTickerPost(App& app) {
  Text link;
  {
    std::lock_guard lock(app.ticker.mutex);
    const TickerState& t = app.ticker;
    // Before a post is shown (the fetch still running, or failed) there is nothing to open.
    if (t.current < 1 || t.current > static_cast<int>(t.posts.size())) return;
    link = t.posts[t.current - 1].link;
  }
  // The link comes from the web: only an address of the schemes the system is handed goes over.
  if (IsHandedOverAddress(link)) OpenUrl(link);
}

void StartTicker(App& app) {
  StartWorker(app.shared_from_this(), [](App& a) { FetchTicker(a); });
}

void BindTickerEvents(App& app) {
  App* a = &app;
  app.window.Bind(Text(kTickerTimer), Event::Tick, [a](int) { ScrollTicker(*a); });
  app.window.Bind(Text(kHeadline), Event::LeftButtonDown, [a](int) { OpenTickerPost(*a); });
}

}  // namespace sarvoke
