// The pop-up menu's copy and export items through the window model against the lab: what reaches the
// clipboard, what the save dialog is asked and answers, and the messages where nothing can be done.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/main_window.h"
#include "lab_app_fixture.h"
#include "platform/files.h"
#include "share/direct_link.h"
#include "share/result_export.h"
#include "share/share_actions.h"
#include "text/code_page.h"

namespace sarvoke {
namespace {

class RowActions : public LabAppTest {
 protected:
  void Pick(std::string_view item) { ASSERT_TRUE(app->window.Fire(Text(item), Event::MenuSelected)); }
  std::vector<Text> Clipboard() {
    std::lock_guard lock(view->mutex);
    return view->clipboard;
  }
};

TEST_F(RowActions, TheCopyItemsPutTheRowsAddressesOnTheClipboard) {
  Search("流浪地球");
  ASSERT_EQ(Rows().size(), 2u);
  const Text page0 = ShareUrlOfRow(*app, 0), page1 = ShareUrlOfRow(*app, 1);
  struct Case {
    const char* label;
    int row;
    std::string_view item;
    std::vector<Text> clipboard;
    std::vector<Text> messages;
  } cases[] = {
      {"the share page of a live share", 0, kMenuCopySharePage, {page0}, {}},
      {"its direct link, resolved", 0, kMenuCopyDirectLink, {ResolveDirectLink(page0)}, {}},
      {"the share page of a taken-down share", 1, kMenuCopySharePage, {page1}, {}},
      {"a taken-down share has no direct link", 1, kMenuCopyDirectLink, {}, {Text(kNoDirectLink)}},
      {"no row selected", -1, kMenuCopyDirectLink, {}, {Text(kSelectFileFirst)}},
      {"no row selected for the page either", -1, kMenuCopySharePage, {}, {Text(kSelectFileFirst)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    {
      std::lock_guard lock(view->mutex);
      view->clipboard.clear();
      view->messages.clear();
    }
    app->window.SetSelected("超级列表框1", c.row);
    Pick(c.item);
    EXPECT_EQ(Clipboard(), c.clipboard);
    EXPECT_EQ(Messages(), c.messages);
  }
  EXPECT_FALSE(ResolveDirectLink(page0).empty());
}

TEST_F(RowActions, TheExportAsksForAFileAndWritesTheListThere) {
  const std::string csv = runDir + "/导出.csv";
  // Nothing listed yet: said, and no dialog.
  Pick(kMenuExportResults);
  EXPECT_EQ(Messages(), std::vector<Text>{Text(kNothingToExport)});
  EXPECT_TRUE(view->saveAsked.empty());

  Search("流浪地球");
  view->messages.clear();
  view->saveAnswer = "";  // the user cancels: nothing written, nothing said
  Pick(kMenuExportResults);
  EXPECT_EQ(view->saveAsked, std::vector<Text>{Text(kExportSuggestedName)});
  EXPECT_TRUE(Messages().empty());
  EXPECT_FALSE(FileExists(csv));

  view->saveAnswer = csv;
  Pick(kMenuExportResults);
  EXPECT_EQ(Messages(), std::vector<Text>{"已将 2 条结果导出到“" + Utf8ToAnsiText(csv) + "”。"});
  Bytes written;
  ASSERT_TRUE(ReadWholeFile(csv, written));
  EXPECT_EQ(std::string(written.begin(), written.end()), ResultsCsv(RowsForExport(*app)));
  EXPECT_EQ(std::string(written.begin(), written.begin() + 3), "\xEF\xBB\xBF");

  // A folder that does not exist: said, and the earlier file stays as it was.
  view->messages.clear();
  view->saveAnswer = runDir + "/no/such/folder.csv";
  Pick(kMenuExportResults);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0].find("无法写入文件"), 0u);
}

}  // namespace
}  // namespace sarvoke
