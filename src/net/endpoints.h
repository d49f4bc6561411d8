// The hosts of the outside services: built-in defaults, replaced key by key by an endpoints file.
//
// An endpoints file is an INI file with one section [endpoints]:
//   [endpoints]
//   SearchEngineHost=127.0.0.1:18080
//   PublisherHost=127.0.0.1:18081
// A host may carry ":port", which for the mail hosts also replaces their fixed ports. A missing key keeps
// its default. The file is named by --endpoints FILE or by the environment variable SARVOKE_ENDPOINTS.
#pragma once

#include <string>

#include "text/text.h"

namespace sarvoke {

struct Endpoints {
  Text searchEngineHost;
  Text shareSiteDomain;
  Text publisherHost;
  Text mailPop3Host;
  Text mailSmtpHost;
  Text boardMailbox;
  Text qqAvatarHost;
  Text qqChatHost;
  Text qqProfileHost;
  Text qqTimeHost;
  Text staticContentHost;
};

// The built-in hosts.
Endpoints DefaultEndpoints();

// The defaults with every key of the endpoints file at `path` (a UTF-8 file system path) applied.
// A file that cannot be read changes nothing; `ok` (when given) tells whether it could be read.
Endpoints LoadEndpointsFile(const std::string& path, bool* ok = nullptr);

// The endpoints the program uses. They start as the defaults with $SARVOKE_ENDPOINTS applied when that
// is set; the front-ends replace them at start (--endpoints FILE).
Endpoints CurrentEndpoints();
void SetCurrentEndpoints(const Endpoints& endpoints);

}  // namespace sarvoke
