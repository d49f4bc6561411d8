#include "board/board_pages.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "app/window_model.h"
#include "board/board_controls.h"
#include "net/endpoints.h"
#include "platform/files.h"
#include "text/code_page.h"

namespace sarvoke {
namespace {

// `dir` as the board's folder: created for the user alone, or found to be the user's own folder.
bool UsableFolder(const std::string& dir) {
  if (::mkdir(dir.c_str(), 0700) == 0) return true;
  if (errno != EEXIST) return false;
  struct stat st {};
  // lstat: a link planted in the folder's place is not followed, and the folder is refused.
  if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) return false;
  if ((st.st_mode & 077) != 0 && ::chmod(dir.c_str(), 0700) != 0) return false;
  return true;
}

bool AllDigits(std::string_view s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

std::string BoardCacheFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && runtime[0] == '/') {
    struct stat st {};
    if (::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid()) {
      const std::string dir = std::string(runtime) + "/sarvoke";
      return UsableFolder(dir) ? dir + "/" : std::string();
    }
  }
  const std::string dir = TempFolder() + "sarvoke-" + std::to_string(::getuid());
  return UsableFolder(dir) ? dir + "/" : std::string();
}

Text MultiReplace(std::string_view text, std::initializer_list<Replacement> pairs, int count, int start,
                  bool caseSensitive) {
  Text out(text);
  if (start < 1) start = 1;
  for (const Replacement& r : pairs) {
    if (r.find.empty()) continue;
    int done = 0;
    for (int at = start; count < 0 || done < count; ++done) {
      at = TextFind(out, r.find, at, !caseSensitive);
      if (at == -1) break;
      out.replace(at - 1, r.find.size(), r.with);
      at += static_cast<int>(r.with.size());
    }
  }
  return out;
}

Text EscapeHtml(std::string_view text) {
  // Trail bytes of code page 936 lie from 0x40 up, so these ASCII bytes are always characters of
  // their own.
  Text out;
  out.reserve(text.size() + text.size() / 8);
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

Text NicknameHtml(std::string_view nickname) {
  // <img src="AVATAR"/>QQNICK(<a href="CHAT">N</a>)
  const Endpoints e = CurrentEndpoints();
  const std::string_view head = R"(<img src="http://)";
  if (nickname.substr(0, head.size()) == head) {
    std::string_view rest = nickname.substr(head.size());
    const Text avatarHost = e.qqAvatarHost + "/qzone/";
    if (rest.substr(0, avatarHost.size()) == avatarHost) {
      rest.remove_prefix(avatarHost.size());
      const auto slash = rest.find('/');
      const std::string_view number = rest.substr(0, slash);
      const Text avatarTail = "/" + Text(number) + "/30\"/>";
      if (slash != std::string_view::npos && AllDigits(number) && number.size() >= 5 &&
          rest.substr(slash, avatarTail.size()) == avatarTail) {
        rest.remove_prefix(slash + avatarTail.size());
        const Text chat = "http://" + e.qqChatHost + "/msgrd?v=3&uin=" + Text(number) + "&site=qq&menu=yes";
        const Text tail = "(<a href=\"" + chat + "\">" + Text(number) + "</a>)";
        if (rest.size() >= tail.size() && rest.substr(rest.size() - tail.size()) == tail) {
          const std::string_view qqNickname = rest.substr(0, rest.size() - tail.size());
          const Text avatar =
              "http://" + e.qqAvatarHost + "/qzone/" + Text(number) + "/" + Text(number) + "/30";
          return "<img src=\"" + EscapeHtml(avatar) + "\"/>" + EscapeHtml(qqNickname) + "(<a href=\"" +
                 EscapeHtml(chat) + "\">" + Text(number) + "</a>)";
        }
      }
    }
  }
  return EscapeHtml(nickname);
}

Text EntryFragment(const BoardEntry& entry, int number, const BoardSettings& s) {
  Text f =
      "<li id=\"comment-253\">\r\n\t\t\t<div class=\"comment-body\">\r\n\t\t\t\t<div "
      "class=\"commenttext\"><font color=";
  f += s.indexColor;
  f += ">";
  f += std::to_string(number);
  f += "</font>.<font color=";
  f += s.nicknameColor;
  f += ">";
  f += NicknameHtml(entry.nickname);
  f += "</font>的评论：<font color=";
  f += s.contentColor;
  f += ">";
  f += EscapeHtml(entry.content);
  f += "</font><br/>\r\n";
  f += EscapeHtml(entry.time);
  f += "</div></div></ul><ul class=\"children\"></li>\r\n";
  return f;
}

Text BoardPage(const Text& fragment, const BoardSettings& s, const Text& folder) {
  const Endpoints e = CurrentEndpoints();
  Text p = "<html><head><base target=\"_blank\"><link href=\"";
  p += EscapeHtml(folder);
  p += "lyb.css\" rel=\"stylesheet\" type=\"text/css\" /></head><body><font style=\"font-size:";
  p += std::to_string(s.fontSize);
  p += ";\"><font color=#FF0000 style=\"font-size:13;\"><img src=\"";
  p += EscapeHtml("http://" + e.staticContentHost + "/tb/static-frs/img/icon/zding.gif?v=1");
  p += "\" title=\"置顶内容\" />";
  p += EscapeHtml(s.pinnedText);
  p += "</font><br/><ol class=\"commentlist\">";
  p += fragment;
  p += "</ol></font><ol class=\"commentlist\">\r\n\t\t<li id=\"comment-253\">\r\n\t\t\t<div "
       "class=\"comment-body\">"
       "\r\n\t\t\t\t<div class=\"commenttext\"><font size=\"3\" color=\"#999999\">本留言板程序为\"<a href=\"";
  p += EscapeHtml("http://" + e.publisherHost + "/");
  p += "\">Velmora软件开发</a>\"原创，程序详情<a href=\"";
  p += EscapeHtml("http://" + e.publisherHost + "/post-58.html");
  p += "\">点此查看</a></font>。</div></div></ul><ul "
       "class=\"children\"></li>\r\n</ol></body></div></div></html>";
  return p;
}

void BuildBoardPages(App& app) {
  BoardState& b = app.board;
  const std::string& folder = app.boardFolder;
  WriteWholeFile(folder + "lyb.css", BoardStylesheet(b.settings.borderColor));
  WriteWholeFile(folder + "zd.jpg", PinBadgeImage());
  const auto n = static_cast<std::int64_t>(b.entries.size());
  const std::int64_t s = std::max<std::int32_t>(b.settings.pageSize, 1);
  const std::int64_t pageCount = (n + s - 1) / s;
  b.pages.clear();
  b.pages.reserve(static_cast<std::size_t>(pageCount));
  for (std::int64_t p = 1; p <= pageCount; ++p) {
    Text fragment;
    for (std::int64_t j = 1; j <= s; ++j) {
      const std::int64_t k = (p - 1) * s + j;
      if (k > b.entryCount || k > n) break;
      fragment += EntryFragment(b.entries[k - 1], static_cast<int>(n - k + 1), b.settings);
    }
    b.pages.push_back(std::move(fragment));
  }
}

void RenderBoardPage(App& app) {
  BoardState& b = app.board;
  WindowModel& w = app.window;
  for (;;) {
    w.SetDisabled(Text(kPreviousButton), false);
    w.SetDisabled(Text(kNextButton), false);
    if (b.currentPage >= 1 && b.currentPage <= static_cast<std::int64_t>(b.pages.size())) break;
    w.MessageBox("无此页数，请返回。");
    b.currentPage = 1;
    if (b.pages.empty()) return;  // nothing to show: no page 1 either
  }
  const auto count = static_cast<std::int32_t>(b.pages.size());
  if (b.currentPage == 1) w.SetDisabled(Text(kPreviousButton), true);
  if (b.currentPage == count) w.SetDisabled(Text(kNextButton), true);
  const Text folder = Utf8ToAnsiText(app.boardFolder);
  WriteWholeFile(app.boardFolder + "lyb.html", BoardPage(b.pages[b.currentPage - 1], b.settings, folder));
  w.SetBrowserAddress(Text(kBoardBrowser), folder + "lyb.html");
  w.SetText(Text(kPageLabel), "当前第" + std::to_string(b.currentPage) + "页");
  // Usable again once the page stands: a refresh or a page asked for sooner would write it under this one.
  for (std::string_view button : {kPostButton, kRefreshButton, kGoButton}) w.SetDisabled(Text(button), false);
}

void BoardPreviousPageClicked(App& app) {
  app.board.currentPage -= 1;
  RenderBoardPage(app);
}

void BoardNextPageClicked(App& app) {
  if (app.board.currentPage < INT32_MAX) app.board.currentPage += 1;
  RenderBoardPage(app);
}

void BoardGoToPageClicked(App& app) {
  app.board.currentPage = TextToInt(app.window.GetText(Text(kPageBox)));
  RenderBoardPage(app);
}

}  // namespace sarvoke
