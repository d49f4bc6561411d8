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

// Reads the endpoints file at `path` (a UTF-8 file system path) into `out`: the defaults with every key of
// the file applied. Returns "" when the file can be used, otherwise a message for the user that names
// the file and says what is wrong: missing, not a regular file, over 1 MB, unreadable, or holding no
// host of its section [endpoints] (an empty or binary file). `out` is then the defaults.
Text ReadEndpointsFile(const std::string& path, Endpoints& out);

// The same, for callers that need only whether it worked.
Endpoints LoadEndpointsFile(const std::string& path, bool* ok = nullptr);

// What is wrong with the endpoints file that $SARVOKE_ENDPOINTS names; "" when it is fine or not set.
// While it is wrong the front-ends fetch nothing: the command line stops with status 2, the window shows
// the message and does not open.
Text EndpointsEnvironmentProblem();

// The endpoints the program uses. They start as the defaults with $SARVOKE_ENDPOINTS applied when that
// is set and usable; the front-ends replace them at start (--endpoints FILE).
Endpoints CurrentEndpoints();
void SetCurrentEndpoints(const Endpoints& endpoints);

}  // namespace sarvoke
