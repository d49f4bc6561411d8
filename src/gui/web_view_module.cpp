// The web view module itself: built as libsarvoke_webview, the only code that links wxWebView and WebKitGTK.
#include "gui/web_view_module.h"

#include <webkit2/webkit2.h>
#include <wx/webview.h>

namespace {

bool SetDefaultCharset(wxWebView* view, const char* charset) {
  void* native = view->GetNativeBackend();
  if (!native || !WEBKIT_IS_WEB_VIEW(native)) return false;
  WebKitSettings* settings = webkit_web_view_get_settings(WEBKIT_WEB_VIEW(native));
  if (!settings) return false;
  webkit_settings_set_default_charset(settings, charset);
  return true;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) wxWindow* SarvokeNewWebView(wxWindow* parent,
                                                                              const wxString& name,
                                                                              const wxPoint& pos,
                                                                              const wxSize& size) {
  if (!wxWebView::IsBackendAvailable(wxWebViewBackendDefault)) return nullptr;
  wxWebView* view =
      wxWebView::New(parent, wxID_ANY, "about:blank", pos, size, wxWebViewBackendDefault, 0, name);
  // The board page carries no charset; it is code page 936.
  if (view) SetDefaultCharset(view, "GBK");
  return view;
}

extern "C" __attribute__((visibility("default"))) void SarvokeWebViewLoad(wxWindow* view,
                                                                          const wxString& url) {
  if (auto* web = dynamic_cast<wxWebView*>(view)) web->LoadURL(url);
}
