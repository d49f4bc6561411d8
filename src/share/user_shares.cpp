#include "share/user_shares.h"

#include <cstdint>
#include <limits>

#include "net/endpoints.h"
#include "net/http_fetch.h"
#include "share/direct_link.h"
#include "share/liveness_check.h"
#include "share/share_actions.h"
#include "text/date_time.h"
#include "text/regex_object.h"
#include "text/script_helpers.h"
#include "text/text_between.h"

namespace sarvoke {
namespace {

constexpr std::string_view kResultList = "超级列表框1";

// The leading decimal number of a text as a 64-bit integer (blanks, a sign, digits); saturates.
std::int64_t TextToInt64(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  std::uint64_t v = 0;
  const std::uint64_t limit = negative ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    v = v * 10 + static_cast<unsigned>(text[i] - '0');
    if (v >= limit) {
      v = limit;
      break;
    }
  }
  if (negative) return v == limit ? std::numeric_limits<std::int64_t>::min() : -static_cast<std::int64_t>(v);
  return static_cast<std::int64_t>(v);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && AsciiLower(a) == AsciiLower(b);
}

}  // namespace

Text FetchUserKey(const Text& shareUrl, bool* pageRead) {
  const Text page = TextFromBytes(HttpFetch(shareUrl));
  if (pageRead) *pageRead = !page.empty();
  return TextBetween(page, kUserKeyStart, kUserKeyEnd);
}

Text UserShareListAddress(const Text& shareSiteHost, const Text& userKey, const Text& firstTime,
                          const Text& secondTime) {
  return "http://" + shareSiteHost + "/share/homerecord?channel=chunlei&clienttype=0&web=1&uk=" + userKey +
         "&num=100&t=" + firstTime + "&page=1&dir=%2F&t=0.48316&_=" + secondTime;
}

Text UserShareRecordsText(std::string_view body) {
  struct Frame {
    std::size_t start;
    bool ownsShareId;
  };
  std::vector<Frame> open;
  std::vector<std::pair<std::size_t, std::size_t>> records;  // [start, end) in closing order
  bool inString = false;
  std::size_t stringStart = 0;
  for (std::size_t i = 0; i < body.size(); ++i) {
    const char c = body[i];
    if (inString) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        inString = false;
        // A key "shareId" of the innermost open object (the pattern ignores letter case, so does this).
        std::size_t j = i + 1;
        while (j < body.size() && (body[j] == ' ' || body[j] == '\t' || body[j] == '\r' || body[j] == '\n'))
          ++j;
        if (!open.empty() && j < body.size() && body[j] == ':' &&
            EqualsIgnoringCase(body.substr(stringStart + 1, i - stringStart - 1), "shareId"))
          open.back().ownsShareId = true;
      }
      continue;
    }
    if (c == '"') {
      inString = true;
      stringStart = i;
    } else if (c == '{') {
      open.push_back({i, false});
    } else if (c == '}' && !open.empty()) {
      const Frame f = open.back();
      open.pop_back();
      // Innermost records only: an object around a record already taken is not a record itself.
      if (f.ownsShareId && (records.empty() || records.back().first < f.start))
        records.emplace_back(f.start, i + 1);
    }
  }
  if (records.empty()) return Text(body);
  Text out;
  out.reserve(body.size());
  for (const auto& [start, end] : records) {
    if (!out.empty()) out.push_back('\n');
    for (std::size_t k = start; k < end; ++k) out.push_back(body[k] == '\n' ? ' ' : body[k]);
  }
  return out;
}

void ListUserShares(App& app, const Text& userKey, ListMode modeOnFailure) {
  WindowModel& w = app.window;
  SearchState& s = app.search;
  const Text first = ScriptTime();
  const Text second = ScriptTime();
  const Text body = TextFromBytes(
      HttpFetch(UserShareListAddress(CurrentEndpoints().shareSiteDomain, userKey, first, second)));
  RegexObject regex;
  regex.Search(kUserSharePattern, UserShareRecordsText(body));
  const int n = regex.MatchCount();
  if (n == 0) {
    w.MessageBox(Text(kNoUserShares));
    s.listMode = modeOnFailure;
    return;
  }
  std::vector<UserShare> shares;
  shares.reserve(n);
  for (int i = 1; i <= n; ++i) {
    UserShare u;
    u.fileName = ScriptUnescape(regex.SubmatchText(i, 5));
    u.downloadCount = regex.SubmatchText(i, 4);
    u.shareTime = 时间_到文本(UnixToTime(TextToInt64(regex.SubmatchText(i, 2)), true), 2);
    u.shareId = regex.SubmatchText(i, 1);
    shares.push_back(std::move(u));
  }
  CancelRowCheck(app);
  s.userShares = std::move(shares);
  w.DeleteAllRows(Text(kResultList));
  for (const UserShare& u : s.userShares) {
    const int row = w.AppendRow(Text(kResultList));
    w.SetCell(Text(kResultList), row, 0, u.fileName);
    w.SetCell(Text(kResultList), row, 1, Text());
    w.SetCell(Text(kResultList), row, 2, s.userName);
    w.SetCell(Text(kResultList), row, 3, u.shareTime);
    w.SetCell(Text(kResultList), row, 4, u.downloadCount);
  }
  StartRowCheck(app);
}

void MenuOtherSharesOfUser(App& app) {
  SearchState& s = app.search;
  const int row = app.window.GetSelected(Text(kResultList));
  if (s.listMode == ListMode::UserShares) {
    // The selected row is one of the listed user's own shares, never a search hit: the same user is
    // listed again rather than whichever hit happens to share the row number.
    if (!HasRecordAt(app, row)) {
      app.window.MessageBox(Text(kSelectFileFirst));
      return;
    }
    ListUserShares(app, s.userKey, ListMode::UserShares);
    return;
  }
  if (row < 0 || static_cast<std::size_t>(row) >= s.hits.size()) {
    app.window.MessageBox(Text(kSelectFileFirst));
    return;
  }
  s.listMode = ListMode::UserShares;
  s.userName = s.hits[row].sharer;
  bool pageRead = false;
  s.userKey = FetchUserKey(s.hits[row].shareUrl, &pageRead);
  if (!pageRead) {
    // The share site gave no page (it may not answer at all): asking it for the list as well would only
    // make the user wait for it a second time.
    app.window.MessageBox(Text(kNoUserShares));
    s.listMode = ListMode::Hits;
    return;
  }
  ListUserShares(app, s.userKey, ListMode::Hits);
}

}  // namespace sarvoke
