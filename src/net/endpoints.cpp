#include "net/endpoints.h"

#include <cstdlib>
#include <mutex>

#include "platform/files.h"
#include "platform/ini_file.h"

namespace sarvoke {

Endpoints DefaultEndpoints() {
  Endpoints e;
  e.searchEngineHost = "www.baidu.com";
  e.shareSiteDomain = "pan.baidu.com";
  e.publisherHost = "www.sarvoke.com";
  e.mailPop3Host = "pop.163.com";
  e.mailSmtpHost = "smtp.163.com";
  e.boardMailbox = "sarvoke_lyb@163.com";
  e.qqAvatarHost = "qlogo1.store.qq.com";
  e.qqChatHost = "wpa.qq.com";
  e.qqProfileHost = "r.qzone.qq.com";
  e.qqTimeHost = "cgi.qzone.qq.com";
  e.staticContentHost = "static.sarvoke.com";
  return e;
}

Endpoints LoadEndpointsFile(const std::string& path, bool* ok) {
  Endpoints e = DefaultEndpoints();
  const bool readable = FileExists(path);
  if (ok) *ok = readable;
  if (!readable) return e;
  struct Key {
    const char* name;
    Text Endpoints::*field;
  };
  static const Key keys[] = {
      {"SearchEngineHost", &Endpoints::searchEngineHost},   {"ShareSiteDomain", &Endpoints::shareSiteDomain},
      {"PublisherHost", &Endpoints::publisherHost},         {"MailPop3Host", &Endpoints::mailPop3Host},
      {"MailSmtpHost", &Endpoints::mailSmtpHost},           {"BoardMailbox", &Endpoints::boardMailbox},
      {"QqAvatarHost", &Endpoints::qqAvatarHost},           {"QqChatHost", &Endpoints::qqChatHost},
      {"QqProfileHost", &Endpoints::qqProfileHost},         {"QqTimeHost", &Endpoints::qqTimeHost},
      {"StaticContentHost", &Endpoints::staticContentHost},
  };
  for (const Key& k : keys) {
    Text v = ReadIniValue(path, "endpoints", k.name);
    if (!v.empty()) e.*k.field = std::move(v);
  }
  return e;
}

namespace {
std::mutex endpointsMutex;

Endpoints& Current() {
  static Endpoints current = [] {
    const char* file = std::getenv("SARVOKE_ENDPOINTS");
    return file && *file ? LoadEndpointsFile(file) : DefaultEndpoints();
  }();
  return current;
}
}  // namespace

Endpoints CurrentEndpoints() {
  std::lock_guard lock(endpointsMutex);
  return Current();
}

void SetCurrentEndpoints(const Endpoints& endpoints) {
  std::lock_guard lock(endpointsMutex);
  Current() = endpoints;
}

}  // namespace sarvoke
