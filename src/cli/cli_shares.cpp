#include "cli/cli_shares.h"

#include <cstdlib>

#include "app/main_window.h"
#include "cli/cli_common.h"

namespace sarvoke {

int SharesCommand(int argc, char** argv) {
  SearchOptions o;
  const std::string error = ParseSearchOptions(argc, argv, o);
  if (!error.empty()) return UsageError(error);
  if (o.words.size() != 2) return UsageError("shares needs a row number and a search word");
  const std::string& rowText = o.words[0];
  if (rowText.empty() || rowText.size() > 9 || rowText.find_first_not_of("0123456789") != std::string::npos)
    return UsageError("the row is a number from 0");
  const int row = std::atoi(rowText.c_str());

  auto app = CreateHeadlessApp(o.exportFile);
  // The search's own rows are not what is asked about: only the sharer's shares are checked.
  SearchOptions search = o;
  search.check = false;
  int status = RunHeadlessSearch(*app, search, o.words[1]);
  if (status == 0) {
    status = 1;
    // The row is chosen as a click would choose it; a row the list does not have is no choice at all.
    app->window.SetSelected("超级列表框1", row);
    app->search.checkRows = o.check;
    app->window.Fire(Text(kMenuOtherShares), Event::MenuSelected);
    if (app->search.listMode == ListMode::UserShares && app->window.RowCount("超级列表框1") > 0)
      status = PrintOrExportRows(*app, o);
  }
  ProgramExit(*app);
  return status;
}

}  // namespace sarvoke
