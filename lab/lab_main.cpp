// sarvoke-lab: starts the lab's services on loopback, writes their endpoints file and serves until it is
// stopped (Ctrl-C or SIGTERM).
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "lab_server.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;
void OnSignal(int) { stopRequested = 1; }

void Usage(std::FILE* to) {
  std::fputs(
      "usage: sarvoke-lab [--endpoints-out FILE] [--search-port N] [--publisher-port N] [--share-port N]\n"
      "                   [--static-port N] [--catalogue FILE] [--changed-shape] [--no-hits] "
      "[--never-answer]\n"
      "                   [--mail] [--board FILE]\n"
      "Serves the web search engine, the publisher's site, the share site and the static-content host (the\n"
      "board's pin icon) on 127.0.0.1 and writes an endpoints file for them (printed to standard output as\n"
      "well). Ports default to free ones.\n"
      "The share site serves share pages (/share/link), sharers' pages and share lists (/share/home,\n"
      "/share/homerecord) and the files (/file/SHAREID); the catalogue's kind column marks shares that are\n"
      "taken down (dead), behind an extraction code (password) or whose share page answers only after\n"
      "five minutes (stalled; stalled:MS after MS milliseconds); /lab/share-page-counts on the share site tells\n"
      "how many share pages and connections asking for them there are at once and the most so far.\n"
      "  --changed-shape  results pages of a changed shape that only the publisher's pattern file matches\n"
      "  --no-hits        every results page is empty\n"
      "  --never-answer   every service accepts connections and never answers\n"
      "  --mail           also the board's mailbox: Dovecot (POP3) and an SMTP server with one account,\n"
      "                   board@lab.sarvoke.test, password k_720946.; the endpoints file then names them\n"
      "  --board FILE     (implies --mail) seeds the mailbox with the board in FILE (UTF-8 text, entries\n"
      "                   nickname-content\\time|): it becomes the newest of three mails, in code page 936;\n"
      "                   the lab's own board is lab/board.txt\n",
      to);
}

}  // namespace

int main(int argc, char** argv) {
  sarvoke::lab::LabOptions options;
  std::string endpointsOut;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) {
        Usage(stderr);
        std::exit(2);
      }
      return argv[++i];
    };
    if (a == "--endpoints-out")
      endpointsOut = value();
    else if (a == "--search-port")
      options.searchPort = std::atoi(value().c_str());
    else if (a == "--publisher-port")
      options.publisherPort = std::atoi(value().c_str());
    else if (a == "--share-port")
      options.shareSitePort = std::atoi(value().c_str());
    else if (a == "--static-port")
      options.staticPort = std::atoi(value().c_str());
    else if (a == "--mail")
      options.mail = true;
    else if (a == "--board") {
      options.boardFile = value();
      options.mail = true;
    } else if (a == "--catalogue")
      options.catalogueFile = value();
    else if (a == "--changed-shape")
      options.changedShape = true;
    else if (a == "--no-hits")
      options.noHits = true;
    else if (a == "--never-answer")
      options.neverAnswer = true;
    else if (a == "--help" || a == "-h") {
      Usage(stdout);
      return 0;
    } else {
      Usage(stderr);
      return 2;
    }
  }
  sarvoke::lab::LabServer lab(options);
  if (!lab.Start()) {
    std::fprintf(stderr, "sarvoke-lab: a service could not be started\n");
    return 1;
  }
  if (!endpointsOut.empty() && !lab.WriteEndpointsFile(endpointsOut)) {
    std::fprintf(stderr, "sarvoke-lab: cannot write %s\n", endpointsOut.c_str());
    return 1;
  }
  std::fputs(lab.EndpointsFileText().c_str(), stdout);
  std::fflush(stdout);
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  while (!stopRequested) pause();
  lab.Stop();
  return 0;
}
