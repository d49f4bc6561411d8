#include "cli/cli_search.h"

#include "cli/cli_common.h"

namespace sarvoke {

const char* CommandLineUsage() {
  return reinterpret_cast<const char*>(
      u8"usage: sarvoke                      open the window\n"
      u8"       sarvoke search [--page N] [--size 10|20|50|100] [--blocked TEXT] [--endpoints FILE] [--urls] "
      u8"WORD\n"
      u8"                      [--check] [--json | --export FILE]\n"
      u8"       sarvoke shares [search options] ROW WORD\n"
      u8"       sarvoke link [--to plain|thunder|flashget|qqdl] TEXT\n"
      u8"       sarvoke dlink [--to plain|thunder|flashget|qqdl] SHARE-PAGE-ADDRESS\n"
      u8"       sarvoke dlink --to aria2 [--aria2 URL] [--aria2-secret TOKEN] SHARE-PAGE-ADDRESS\n"
      u8"       sarvoke --help | --version\n"
      u8"\n"
      u8"search  types WORD into the search box and presses Enter, as a person would, then prints each row\n"
      u8"        of the result list as one line: file name, size, sharer, share time and download count,\n"
      u8"        separated by tabs. Message boxes are written to standard error.\n"
      u8"        --page N         show results page N (1 is the first)\n"
      u8"        --size S         hits per page: 10, 20, 50 or 100\n"
      u8"        --blocked TEXT   blocked words, each followed by a space (\"a b \")\n"
      u8"        --endpoints FILE the hosts of the outside services, an INI file with a section\n"
      u8"                         [endpoints] (SearchEngineHost=127.0.0.1:18080, ...)\n"
      u8"        --urls           a further field: the row's share page address, for dlink (last)\n"
      u8"        --check          fetches every row's share page, five at a time, and adds a sixth field:\n"
      u8"                         alive (it holds a download address), dead (it holds none, or the site\n"
      u8"                         says the share is gone) or unknown (no answer within 5 s)\n"
      u8"        --json           prints the rows as a JSON array (UTF-8) of objects with the fields\n"
      u8"                         fileName, fileSize, sharer, shareTime, downloadCount, shareUrl (and\n"
      u8"                         check with --check) instead of lines\n"
      u8"        --export FILE    saves the rows as the window's \"导出结果…\" does, as CSV in UTF-8 with a\n"
      u8"                         byte-order mark (for spreadsheet programs); exit status 4 when the file\n"
      u8"                         cannot be written\n"
      u8"        Without --size or --blocked the values come from the settings file Sarvoke配置.ini (its\n"
      u8"        place is named below); the command never writes it.\n"
      u8"        Exit status: 0 rows were listed, 1 nothing was found, 2 usage error, 3 the results page\n"
      u8"        could not be fetched (no connection, no answer, an error page).\n"
      u8"\n"
      u8"shares  searches for WORD as search does, then picks \"搜索该用户分享的其他文件\" on row ROW (0 is\n"
      u8"        the first) and prints the sharer's shares in the same form: file name, an empty size,\n"
      u8"        sharer, share time, download count (and with --urls the share page address).\n"
      u8"        Exit status: 0 shares were listed, 1 a message was shown instead, 2 usage error, 3 the\n"
      u8"        results page could not be fetched.\n"
      u8"\n"
      u8"link    prints TEXT (an address, or a thunder://, Flashget:// or qqdl:// link) in the form --to\n"
      u8"        names (plain when left out). Exit status: 0 printed, 1 \"转换失败\", 2 usage error.\n"
      u8"\n"
      u8"dlink   fetches the share page at SHARE-PAGE-ADDRESS, takes the file's direct download address\n"
      u8"        out of it and prints it, in the form --to names (plain when left out).\n"
      u8"        Exit status: 0 printed, 1 no download address (the message says why), 2 usage error.\n"
      u8"        --to aria2 sends the download address, with the header lines the share site expects, to an\n"
      u8"        aria2 daemon over JSON-RPC (aria2.addUri) and prints aria2's download id; exit status 1 with\n"
      u8"        the message when no daemon answers or it refuses (a wrong token). The daemon is the one of\n"
      u8"        the settings file's section [aria2] (RpcAddress=, RpcSecret=), by default\n"
      u8"        http://127.0.0.1:6800/jsonrpc (aria2c --enable-rpc); --aria2 URL and --aria2-secret TOKEN\n"
      u8"        replace them.\n"
      u8"\n"
      u8"Environment: SARVOKE_ENDPOINTS names an endpoints file; SARVOKE_RUN_DIRECTORY replaces the\n"
      u8"settings file's folder for the sub-commands. The settings file stays beside the program when it\n"
      u8"is there and can be written (a copy in a folder of its own), otherwise it is kept in\n"
      u8"$XDG_CONFIG_HOME/sarvoke (~/.config/sarvoke).\n");
}

int SearchCommand(int argc, char** argv) {
  SearchOptions o;
  const std::string error = ParseSearchOptions(argc, argv, o);
  if (!error.empty()) return UsageError(error);
  if (o.words.empty()) return UsageError("no search word");
  if (o.words.size() > 1) return UsageError("one search word only (quote a word with spaces)");
  auto app = CreateHeadlessApp(o.exportFile);
  int status = RunHeadlessSearch(*app, o, o.words[0]);
  if (status == 0) status = PrintOrExportRows(*app, o);
  ProgramExit(*app);
  return status;
}

}  // namespace sarvoke
