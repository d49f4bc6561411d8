// The board's web view lives in a module of its own (libsarvoke_webview), loaded the first time a web view
// is made: WebKitGTK and the libraries below it are most of what the program would otherwise load before
// its window could come up.
#pragma once

class wxPoint;
class wxSize;
class wxString;
class wxWindow;

extern "C" {
// A web view under `parent` that reads pages without a charset declaration as code page 936; null when
// none can be created on this machine.
wxWindow* SarvokeNewWebView(wxWindow* parent, const wxString& name, const wxPoint& pos, const wxSize& size);
// Loads `url` in a view made by SarvokeNewWebView.
void SarvokeWebViewLoad(wxWindow* view, const wxString& url);
}

namespace sarvoke {

// The module's functions, loaded on the first call; both null when the module cannot be loaded.
struct WebViewModule {
  decltype(&SarvokeNewWebView) newView = nullptr;
  decltype(&SarvokeWebViewLoad) load = nullptr;
};
const WebViewModule& LoadWebViewModule();

}  // namespace sarvoke
