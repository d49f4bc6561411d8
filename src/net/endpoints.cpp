#include "net/endpoints.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "platform/files.h"
#include "platform/ini_file.h"
#include "text/code_page.h"

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

Text ReadEndpointsFile(const std::string& path, Endpoints& out) {
  out = DefaultEndpoints();
  const Text name = "服务地址文件“" + Utf8ToAnsiText(path) + "”";
  IniFile file;
  switch (LoadIniFile(path, file)) {
    case SmallFileRead::Ok:
      break;
    case SmallFileRead::Missing:
      return name + "不存在。";
    case SmallFileRead::NotRegular:
      return name + "不是普通文件。";
    case SmallFileRead::TooLarge:
      return name + "超过 1 MB，不予读取。";
    case SmallFileRead::Unreadable:
      return name + "无法读取。";
  }
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
  Endpoints e = DefaultEndpoints();
  int found = 0;
  for (const Key& k : keys) {
    Text v = IniValue(file, "endpoints", k.name);
    // A host is a name or address with an optional port: a value with a zero byte, a blank or a control
    // character is no host (a binary file).
    const bool host = !v.empty() && std::all_of(v.begin(), v.end(), [](char c) {
      return static_cast<unsigned char>(c) > 0x20 && c != 0x7F;
    });
    if (!host) continue;
    e.*k.field = std::move(v);
    ++found;
  }
  if (found == 0) return name + "中没有 [endpoints] 一节的服务地址。";
  out = e;
  return Text();
}

Endpoints LoadEndpointsFile(const std::string& path, bool* ok) {
  Endpoints e;
  const bool usable = ReadEndpointsFile(path, e).empty();
  if (ok) *ok = usable;
  return e;
}

namespace {
std::mutex endpointsMutex;

struct Environment {
  Endpoints endpoints;
  Text problem;
};

// Read once, when the endpoints are first wanted.
Environment& FromEnvironment() {
  static Environment env = [] {
    Environment e;
    e.endpoints = DefaultEndpoints();
    const char* file = std::getenv("SARVOKE_ENDPOINTS");
    if (file && *file) e.problem = ReadEndpointsFile(file, e.endpoints);
    return e;
  }();
  return env;
}

Endpoints& Current() {
  static Endpoints current = FromEnvironment().endpoints;
  return current;
}
}  // namespace

Text EndpointsEnvironmentProblem() {
  std::lock_guard lock(endpointsMutex);
  return FromEnvironment().problem;
}

Endpoints CurrentEndpoints() {
  std::lock_guard lock(endpointsMutex);
  return Current();
}

void SetCurrentEndpoints(const Endpoints& endpoints) {
  std::lock_guard lock(endpointsMutex);
  Current() = endpoints;
}

}  // namespace sarvoke
