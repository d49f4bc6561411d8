// Downloads through aria2: the resolved direct link goes to an aria2 daemon over its JSON-RPC interface
// (aria2.addUri), with the header lines the share site expects of a download (the agent that read the
// share page, and the share page as the referrer). The daemon's address and secret token stand in a
// section of their own of the settings file:
//
//   [aria2]
//   RpcAddress=http://127.0.0.1:6800/jsonrpc
//   RpcSecret=the --rpc-secret the daemon was started with
//
//   Aria2Outcome r = SendToAria2(LoadAria2Endpoint(app.runDirectory), link, DownloadHeaderLines(page));
//   r.accepted ? r.gid : r.message
#pragma once

#include <string>
#include <vector>

#include "app/app.h"
#include "platform/http_batch.h"
#include "text/text.h"

namespace sarvoke {

inline constexpr std::string_view kAria2Section = "aria2";
inline constexpr std::string_view kAria2KeyAddress = "RpcAddress";
inline constexpr std::string_view kAria2KeySecret = "RpcSecret";
// The local daemon as aria2 starts it with --enable-rpc.
inline constexpr std::string_view kDefaultAria2Address = "http://127.0.0.1:6800/jsonrpc";
// How long the daemon may take to answer.
inline constexpr long kAria2TimeoutMs = 10000;

struct Aria2Endpoint {
  Text address = Text(kDefaultAria2Address);
  Text secret;  // "" when the daemon has none
};

// What came of handing a link to aria2. `message` is for the user, in either case.
struct Aria2Outcome {
  bool accepted = false;
  Text gid;  // aria2's download id when accepted
  Text message;
};

// The endpoint the settings file in `runDirectory` names; the default address for a missing key.
Aria2Endpoint LoadAria2Endpoint(const std::string& runDirectory);

// The header lines a download of a file from the share page at `shareUrl` carries (control characters
// of the address left out).
std::vector<Text> DownloadHeaderLines(const Text& shareUrl);

// The JSON-RPC request (UTF-8) that adds `link` with `headers`, numbered `id`.
std::string Aria2AddUriRequest(const Aria2Endpoint& endpoint, const Text& link, const std::vector<Text>& headers,
                               const std::string& id);

// What an answer of the daemon (or the lack of one) at `endpoint` means.
Aria2Outcome ReadAria2Answer(const Aria2Endpoint& endpoint, const HttpBatchAnswer& answer);

// Sends `link` to the daemon and reads its answer; waits at most kAria2TimeoutMs (the window keeps
// painting meanwhile).
Aria2Outcome SendToAria2(const Aria2Endpoint& endpoint, const Text& link, const std::vector<Text>& headers);

// The pop-up menu item "aria2下载": the selected row's direct link goes to the daemon of the settings
// file, and a message says whether it took it (its download id) or why not.
void MenuAria2Download(App& app);

}  // namespace sarvoke
