// Loads the web view module: beside the program first, then where an install puts it (a path relative to
// the program's folder, so that any prefix works), then where the build put it.
#include <dlfcn.h>

#include <string>

#include "gui/web_view_module.h"
#include "platform/files.h"

namespace sarvoke {

const WebViewModule& LoadWebViewModule() {
  static const WebViewModule module = [] {
    WebViewModule m;
    void* handle = nullptr;
    const std::string here = ProgramDirectory() + "/";
    for (const std::string& path : {here + SARVOKE_WEB_VIEW_MODULE_NAME,
                                    here + SARVOKE_WEB_VIEW_MODULE_INSTALLED "/" SARVOKE_WEB_VIEW_MODULE_NAME,
                                    std::string(SARVOKE_WEB_VIEW_MODULE_PATH)}) {
      handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
      if (handle) break;
    }
    if (!handle) return m;
    auto newView = reinterpret_cast<decltype(&SarvokeNewWebView)>(dlsym(handle, "SarvokeNewWebView"));
    auto load = reinterpret_cast<decltype(&SarvokeWebViewLoad)>(dlsym(handle, "SarvokeWebViewLoad"));
    if (newView && load) {
      m.newView = newView;
      m.load = load;
    }
    return m;  // the module stays loaded: its views live as long as the window
  }();
  return module;
}

}  // namespace sarvoke
