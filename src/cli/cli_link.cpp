#include "cli/cli_link.h"

#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "share/direct_link.h"
#include "share/link_codecs.h"
#include "share/share_actions.h"
#include "text/code_page.h"

namespace sarvoke {
namespace {

struct LinkOptions {
  int kind = Plain;
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
      if (i + 1 >= argc || (o.kind = LinkKindNamed(argv[++i])) < 0)
        return "--to needs plain, thunder, flashget or qqdl";
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

}  // namespace

int LinkCommand(int argc, char** argv) {
  LinkOptions o;
  const std::string error = ParseLinkOptions(argc, argv, o);
  if (!error.empty()) return UsageError(error);
  if (o.words.size() != 1) return UsageError("link needs one address or link");
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
  return PrintConverted(ResolveDirectLink(Utf8ToAnsiText(o.words[0])), o.kind);
}

}  // namespace sarvoke
