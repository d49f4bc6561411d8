#include "cli/cli_link.h"

#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "platform/url_opener.h"
#include "share/aria2_download.h"
#include "share/direct_link.h"
#include "share/link_codecs.h"
#include "share/share_actions.h"
#include "text/code_page.h"

namespace sarvoke {
namespace {

struct LinkOptions {
  int kind = Plain;
  bool toAria2 = false;  // --to aria2: the link goes to an aria2 daemon instead of standard output
  bool haveAria2Address = false, haveAria2Secret = false;
  std::string aria2Address, aria2Secret;
  std::string endpointsFile;
  std::vector<std::string> words;
};

std::string ParseLinkOptions(int argc, char** argv, LinkOptions& o) {
  bool endOfOptions = false;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    if (endOfOptions || a.size() <= 1 || a[0] != '-') {
      o.words.push_back(a);
    } else if (a == "--") {
      endOfOptions = true;
    } else if (a == "--to") {
      if (i + 1 < argc && std::string(argv[i + 1]) == "aria2") {
        o.toAria2 = true;
        o.kind = Plain;
        ++i;
      } else if (i + 1 >= argc || (o.kind = LinkKindNamed(argv[++i])) < 0) {
        return "--to needs plain, thunder, flashget, qqdl or aria2";
      }
    } else if (a == "--aria2" || a == "--aria2-secret") {
      if (i + 1 >= argc) return a + " needs a value";
      (a == "--aria2" ? o.aria2Address : o.aria2Secret) = argv[++i];
      (a == "--aria2" ? o.haveAria2Address : o.haveAria2Secret) = true;
    } else if (a == "--endpoints") {
      if (i + 1 >= argc) return "--endpoints needs a file";
      o.endpointsFile = argv[++i];
    } else {
      return "unknown option " + a;
    }
  }
  if (!o.endpointsFile.empty()) return UseEndpointsFile(o.endpointsFile);
  return "";
}

// Prints the link in UTF-8, or the failure text on standard error.
int PrintConverted(const Text& link, int kind) {
  const Text out = kind == Plain ? link : ConvertLink(link, kind);
  if (out.empty() || out == kConversionFailed) {
    std::fprintf(stderr, "%s\n", TerminalSafe(AnsiToUtf8(out.empty() ? Text(kNoDirectLink) : out)).c_str());
    return 1;
  }
  std::printf("%s\n", TerminalSafe(AnsiToUtf8(out)).c_str());
  return 0;
}

// The direct link of `page` goes to the daemon of the settings file, or of the options; prints its
// download id, or the message on standard error.
int SendDirectLinkToAria2(const LinkOptions& o, const Text& page) {
  const Text link = ResolveDirectLink(page);
  if (link.empty() || !IsHandedOverAddress(link)) {
    std::fprintf(stderr, "%s\n", TerminalSafe(AnsiToUtf8(Text(kNoDirectLink))).c_str());
    return 1;
  }
  auto app = CreateHeadlessApp();
  Aria2Endpoint endpoint = LoadAria2Endpoint(app->runDirectory);
  ProgramExit(*app);
  if (o.haveAria2Address) endpoint.address = Utf8ToAnsiText(o.aria2Address);
  if (o.haveAria2Secret) endpoint.secret = Utf8ToAnsiText(o.aria2Secret);
  const Aria2Outcome outcome = SendToAria2(endpoint, link, DownloadHeaderLines(page));
  if (!outcome.accepted) {
    std::fprintf(stderr, "%s\n", TerminalSafe(AnsiToUtf8(outcome.message)).c_str());
    return 1;
  }
  std::printf("%s\n", TerminalSafe(AnsiToUtf8(outcome.gid)).c_str());
  return 0;
}

}  // namespace

int LinkCommand(int argc, char** argv) {
  LinkOptions o;
  const std::string error = ParseLinkOptions(argc, argv, o);
  if (!error.empty()) return UsageError(error);
  if (o.words.size() != 1) return UsageError("link needs one address or link");
  if (o.toAria2 || o.haveAria2Address || o.haveAria2Secret)
    return UsageError("link does not send to aria2: dlink --to aria2 does");
  const Text out = ConvertLink(Utf8ToAnsiText(o.words[0]), o.kind);
  if (out == kConversionFailed) {
    std::fprintf(stderr, "%s\n", AnsiToUtf8(out).c_str());
    return 1;
  }
  std::printf("%s\n", TerminalSafe(AnsiToUtf8(out)).c_str());
  return 0;
}

int DirectLinkCommand(int argc, char** argv) {
  LinkOptions o;
  const std::string error = ParseLinkOptions(argc, argv, o);
  if (!error.empty()) return UsageError(error);
  if (o.words.size() != 1) return UsageError("dlink needs one share page address");
  if ((o.haveAria2Address || o.haveAria2Secret) && !o.toAria2)
    return UsageError("--aria2 and --aria2-secret go with --to aria2");
  const Text page = Utf8ToAnsiText(o.words[0]);
  if (!o.toAria2) return PrintConverted(ResolveDirectLink(page), o.kind);
  return SendDirectLinkToAria2(o, page);
}

}  // namespace sarvoke
