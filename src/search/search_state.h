// The program-wide state of the search and of the result list 超级列表框1: the results page last fetched,
// its hits, the other shares of one user, and which of the two record lists the list is showing.
// GUI thread only: every writer is an event handler of the main window.
#pragma once

#include <memory>
#include <vector>

#include "text/text.h"

namespace sarvoke {

// One hit of a results page.
struct SearchHit {
  Text fileName;  // as shown in the list, possibly with the suspicious-file mark in front
  Text shareUrl;  // the hit's share page, as the results page linked to it
  Text fileSize;
  Text sharer;
  Text shareTime;
  Text downloadCount;
};

// One share of the user whose shares are listed.
struct UserShare {
  Text fileName;
  Text downloadCount;
  Text shareTime;
  Text shareId;
};

// Which record list the result list shows: row r is record r of that list.
enum class ListMode { Hits = 0, UserShares = 1 };

struct RowCheck;  // share/liveness_check.h

struct SearchState {
  int page = 0;  // the current results page, 1-based once a search was made
  Text pageText;
  bool pageFetchFailed = false;  // the last results page could not be fetched at all
  std::vector<SearchHit> hits;
  ListMode listMode = ListMode::Hits;
  std::vector<UserShare> userShares;
  Text userKey;
  Text userName;
  // Whether each listed row's share page is checked in the background (the window asks for it; the
  // command line with --check).
  bool checkRows = false;
  std::shared_ptr<RowCheck> rowCheck;  // the check of the rows listed now, while one runs or ran
};

}  // namespace sarvoke
