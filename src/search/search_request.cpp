#include "search/search_request.h"

#include "net/http_fetch.h"
#include "search/result_parser.h"
#include "share/liveness_check.h"
#include "text/code_page.h"
#include "text/simple_pattern.h"

namespace sarvoke {

Text PageSizeText(int selectedIndex) {
  static const char* const sizes[] = {"10", "20", "50", "100"};
  return selectedIndex >= 0 && selectedIndex < 4 ? Text(sizes[selectedIndex]) : Text();
}

Text UrlEncode(std::string_view text, bool keepAlnum, bool toUtf8) {
  const Text bytes = toUtf8 ? AnsiToUtf8(text) : Text(text);
  static const char hex[] = "0123456789ABCDEF";
  Text out;
  out.reserve(bytes.size() * 3);
  for (unsigned char b : bytes) {
    const bool literal = keepAlnum && (b == '-' || b == '.' || (b >= '0' && b <= '9') ||
                                       (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z'));
    if (literal) {
      out.push_back(static_cast<char>(b));
    } else {
      out.push_back('%');
      out.push_back(hex[b >> 4]);
      out.push_back(hex[b & 0x0F]);
    }
  }
  return out;
}

Text BlockedWordsQuery(const Text& text) {
  SimplePattern pattern;
  CompileSimplePattern(pattern, "(.+?) ");
  auto matches = FindAllMatches(pattern, text);
  Text list;
  for (std::size_t k = 0; k < matches.size(); ++k) {
    list += k == 0 ? "%28" : "+%7C+";
    list += UrlEncode(PatternGroupText(matches[k], text, 1), false, true);
    if (k + 1 == matches.size()) list += "%29";
  }
  ReleaseMatches(matches);
  ReleaseSimplePattern(pattern);
  return " -" + list;
}

Text SearchAddress(const Endpoints& endpoints, int page, const Text& encodedWord, const Text& blockedSuffix,
                   const Text& pageSize) {
  Text address = "http://" + endpoints.searchEngineHost + "/s?q1=site%3A%28" + endpoints.shareSiteDomain +
                 "%29 " + encodedWord + blockedSuffix;
  if (page != 1) {
    const long long offset = static_cast<long long>(page - 1) * TextToInt(pageSize);
    address += "&pn=" + std::to_string(offset) + "&tn=pubgen_pg";
  }
  address += "&rn=" + pageSize + "&ie=utf-8";
  return address;
}

void RunSearch(App& app) {
  WindowModel& w = app.window;
  SearchState& s = app.search;
  // The rows being checked are about to go: their check gives way to the next list's.
  CancelRowCheck(app);
  const Text pageSize = PageSizeText(w.GetSelected("组合框1"));
  w.SetText("标签5", "当前第" + std::to_string(s.page) + "页");
  if (s.page - 1 >= 1) {
    w.SetDisabled("按钮3", false);
  } else {
    s.page = 1;
    w.SetDisabled("按钮3", true);
  }
  const Text word = UrlEncode(w.GetText("编辑框1"), true, true);
  const Text suffix = BlockedWordsQuery(w.GetText("编辑框2"));
  const Text address = SearchAddress(CurrentEndpoints(), s.page, word, suffix, pageSize);
  int status = 0;
  s.pageText = TextFromBytes(HttpFetch(address, {.status = &status}));
  s.pageFetchFailed = status < 200 || status > 299;
  if (s.pageFetchFailed) {
    // No page came (no connection, no answer, an error status, a limit): that is no sign of a changed
    // page, so the pattern file is not asked for, and the user hears of the network, not of the words.
    s.hits.clear();
    s.pageText.clear();
    w.DeleteAllRows("超级列表框1");
    w.MessageBox(Text(kSearchFetchFailedMessage));
    return;
  }
  ParseResultsPage(app);
  StartRowCheck(app);
}

}  // namespace sarvoke
