#include "share/share_actions.h"

#include "app/main_window.h"
#include "platform/url_opener.h"
#include "share/aria2_download.h"
#include "share/direct_link.h"
#include "share/result_export.h"
#include "share/link_codecs.h"
#include "share/user_shares.h"

namespace sarvoke {
namespace {

constexpr std::string_view kResultList = "超级列表框1";

void DownloadSelected(App& app, int kind) {
  const int row = SelectedRecordRow(app);
  if (row >= 0) DownloadRow(app, row, kind);
}

}  // namespace

int SelectedRecordRow(App& app) {
  const int row = app.window.GetSelected(Text(kResultList));
  if (HasRecordAt(app, row)) return row;
  app.window.MessageBox(Text(kSelectFileFirst));
  return -1;
}

void HandOverLink(App& app, const Text& link) {
  if (!IsHandedOverAddress(link)) {
    app.window.MessageBox(Text(kNoDirectLink));
    return;
  }
  if (OpenUrl(link)) return;
  // Nothing took the link (no browser, no download manager for the scheme): keep it within reach.
  app.window.SetClipboardText(link);
  app.window.MessageBox(Text(kNoHandlerForLink) + "\r\n" + link);
}

void DownloadRow(App& app, int row, int kind) {
  // Fetched afresh every time: a direct link expires after a few hours.
  const Text link = ResolveDirectLink(ShareUrlOfRow(app, row));
  if (link.empty()) {
    app.window.MessageBox(Text(kNoDirectLink));
    return;
  }
  if (kind == Plain) {
    HandOverLink(app, link);
    return;
  }
  const Text converted = ConvertLink(link, kind);
  if (converted == kConversionFailed) {
    app.window.MessageBox(converted);
    return;
  }
  HandOverLink(app, converted);
}

void MenuDownloadSelected(App& app) { DownloadSelected(app, Plain); }
void DownloadSelectedClicked(App& app) { DownloadSelected(app, Plain); }
void MenuThunderDownload(App& app) { DownloadSelected(app, Thunder); }
void ThunderDownloadClicked(App& app) { DownloadSelected(app, Thunder); }
void MenuFlashgetDownload(App& app) { DownloadSelected(app, Flashget); }
void FlashgetDownloadClicked(App& app) { DownloadSelected(app, Flashget); }
void MenuXuanfengDownload(App& app) { DownloadSelected(app, Qqdl); }
void XuanfengDownloadClicked(App& app) { DownloadSelected(app, Qqdl); }

void MenuBrowseSharePage(App& app) {
  const int row = SelectedRecordRow(app);
  if (row < 0) return;
  const Text address = ShareUrlOfRow(app, row);
  if (!IsHandedOverAddress(address)) {
    app.window.MessageBox(Text(kBadSharePageAddress) + address);
    return;
  }
  HandOverLink(app, address);
}

Text ResolveRowLinkOrSay(App& app, int row) {
  // Fetched afresh every time: a direct link expires after a few hours.
  const Text link = ResolveDirectLink(ShareUrlOfRow(app, row));
  if (!link.empty() && IsHandedOverAddress(link)) return link;
  app.window.MessageBox(Text(kNoDirectLink));
  return Text();
}

void MenuCopyDirectLink(App& app) {
  const int row = SelectedRecordRow(app);
  if (row < 0) return;
  const Text link = ResolveRowLinkOrSay(app, row);
  if (!link.empty()) app.window.SetClipboardText(link);
}

void MenuCopySharePage(App& app) {
  const int row = SelectedRecordRow(app);
  if (row >= 0) app.window.SetClipboardText(ShareUrlOfRow(app, row));
}

void BindShareEvents(App& app) {
  App* a = &app;
  WindowModel& w = app.window;
  w.Bind(Text(kResultList), Event::DoubleClicked, [a](int) { ResultListDoubleClicked(*a); });
  w.Bind("按钮4", Event::Clicked, [a](int) { DownloadSelectedClicked(*a); });
  w.Bind("按钮5", Event::Clicked, [a](int) { ThunderDownloadClicked(*a); });
  w.Bind("按钮6", Event::Clicked, [a](int) { FlashgetDownloadClicked(*a); });
  w.Bind("按钮7", Event::Clicked, [a](int) { XuanfengDownloadClicked(*a); });
  w.Bind(Text(kMenuDownloadSelected), Event::MenuSelected, [a](int) { MenuDownloadSelected(*a); });
  w.Bind(Text(kMenuThunder), Event::MenuSelected, [a](int) { MenuThunderDownload(*a); });
  w.Bind(Text(kMenuFlashget), Event::MenuSelected, [a](int) { MenuFlashgetDownload(*a); });
  w.Bind(Text(kMenuXuanfeng), Event::MenuSelected, [a](int) { MenuXuanfengDownload(*a); });
  w.Bind(Text(kMenuBrowseSharePage), Event::MenuSelected, [a](int) { MenuBrowseSharePage(*a); });
  w.Bind(Text(kMenuOtherShares), Event::MenuSelected, [a](int) { MenuOtherSharesOfUser(*a); });
  w.Bind(Text(kMenuAria2), Event::MenuSelected, [a](int) { MenuAria2Download(*a); });
  w.Bind(Text(kMenuCopyDirectLink), Event::MenuSelected, [a](int) { MenuCopyDirectLink(*a); });
  w.Bind(Text(kMenuCopySharePage), Event::MenuSelected, [a](int) { MenuCopySharePage(*a); });
  w.Bind(Text(kMenuExportResults), Event::MenuSelected, [a](int) { MenuExportResults(*a); });
}

}  // namespace sarvoke
