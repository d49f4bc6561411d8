// What the window needs from GTK and WebKitGTK below wxWidgets: a compact style sheet, so that controls
// fit the heights the window gives them, and the web view's default charset.
#pragma once

class wxWebView;

namespace sarvoke {

// Installs the window's style sheet on the default screen (once).
void InstallCompactStyle();
// Makes the web view read pages without a charset declaration as `charset`; false when it is no WebKit view.
bool SetWebViewDefaultCharset(wxWebView* view, const char* charset);

}  // namespace sarvoke
