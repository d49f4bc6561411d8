#include "search/result_parser.h"

#include <algorithm>
#include <unordered_map>

#include "search/pattern_update.h"

namespace sarvoke {
namespace {

constexpr int kHitGroups = 6;
constexpr int kMaxHitsReserved = 4096;

}  // namespace

void MarkSuspiciousHits(std::vector<SearchHit>& hits) {
  // Counting first and marking afterwards keeps the marks out of the counts.
  std::unordered_map<Text, int> sizes;
  for (const SearchHit& h : hits) ++sizes[h.fileSize];
  for (SearchHit& h : hits) {
    if (sizes[h.fileSize] >= 3) h.fileName = Text(kSuspiciousMark) + h.fileName;
  }
}

void ParseResultsPage(App& app) {
  SearchState& s = app.search;
  WindowModel& w = app.window;
  RegexObject& regex = app.resultsRegex;
  s.hits.clear();
  w.DeleteAllRows("超级列表框1");
  regex.Search(Text(kResultPattern), s.pageText);
  int n = regex.MatchCount();
  if (n == 0) {
    // The engine may have changed its page: the publisher's current pattern serves this page only.
    const Text pattern = UpdatePattern();
    w.DeleteAllRows("超级列表框1");
    // A failed fetch gives an empty pattern, which would match the empty text once and list an empty hit.
    if (!pattern.empty()) {
      regex.Search(pattern, s.pageText);
      // A pattern of another shape than the six groups of a hit finds nothing here.
      n = regex.SubmatchCount() >= kHitGroups ? regex.MatchCount() : 0;
    }
  }
  s.hits.reserve(std::min(n, kMaxHitsReserved));
  for (int i = 1; i <= n; ++i) {
    // An empty match is no hit: a pattern that matches the empty text would list a row per character.
    if (regex.MatchText(i).empty()) continue;
    SearchHit h;
    h.fileName = TextReplaceAll(TextReplaceAll(regex.SubmatchText(i, 2), "<em>", ""), "</em>", "");
    h.shareUrl = regex.SubmatchText(i, 1);
    h.fileSize = regex.SubmatchText(i, 3);
    h.sharer = regex.SubmatchText(i, 4);
    h.shareTime = regex.SubmatchText(i, 5);
    h.downloadCount = regex.SubmatchText(i, 6);
    s.hits.push_back(std::move(h));
  }
  MarkSuspiciousHits(s.hits);
  if (s.hits.empty()) {
    w.MessageBox(Text(kNoResultMessage));
    return;
  }
  for (const SearchHit& h : s.hits) {
    const int row = w.AppendRow("超级列表框1");
    w.SetCell("超级列表框1", row, 0, h.fileName);
    w.SetCell("超级列表框1", row, 1, h.fileSize);
    w.SetCell("超级列表框1", row, 2, h.sharer);
    w.SetCell("超级列表框1", row, 3, h.shareTime);
    w.SetCell("超级列表框1", row, 4, h.downloadCount);
  }
}

}  // namespace sarvoke
