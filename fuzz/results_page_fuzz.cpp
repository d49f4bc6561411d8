// ParseResultsPage over any results page, through the window model as the search runs it. The pattern
// update, which a page without hits asks for, goes to a closed port on loopback: no network is used.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "app/app.h"
#include "fuzz_input.h"
#include "net/endpoints.h"
#include "search/result_parser.h"

namespace {

using namespace sarvoke;

// The result list 超级列表框1 by its code page 936 bytes: this file is compiled as it stands.
constexpr const char* kResultList =
    "\xB3\xAC\xBC\xB6\xC1\xD0\xB1\xED\xBF\xF2"
    "1";

// A loopback port that nobody listens on: bound by the system's choice, then let go.
int ClosedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
    fuzz::Broken("no loopback port");
  ::close(fd);
  return ntohs(a.sin_port);
}

struct Session {
  std::shared_ptr<App> app;
  std::shared_ptr<HeadlessView> view;
};

Session& TheSession() {
  static Session* s = [] {
    const Text closed = "127.0.0.1:" + std::to_string(ClosedPort());
    Endpoints e = DefaultEndpoints();
    e.publisherHost = closed;
    e.searchEngineHost = closed;
    e.shareSiteDomain = closed;
    SetCurrentEndpoints(e);
    char dir[] = "/tmp/sarvoke-fuzz-XXXXXX";
    if (!::mkdtemp(dir)) fuzz::Broken("no folder for the settings");
    auto* session = new Session;
    session->app = CreateApp(dir);
    session->view = AttachHeadlessView(session->app->window);
    return session;
  }();
  return *s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Session& s = TheSession();
  App& app = *s.app;
  app.search.pageText = Text(fuzz::AsText(data, size));
  ParseResultsPage(app);
  {
    // The view records every message box; one run's are enough.
    std::lock_guard lock(s.view->mutex);
    s.view->messages.clear();
  }
  const auto& hits = app.search.hits;
  fuzz::Check(app.window.RowCount(kResultList) == static_cast<int>(hits.size()),
              "the result list and the hits differ");
  for (const SearchHit& h : hits) {
    // The built-in pattern takes every part of a hit from one line; a line feed is never the second
    // byte of a character, not even behind a lead byte (corpus/results_page/lead_byte_before_line_break).
    for (const Text* field :
         {&h.shareUrl, &h.fileName, &h.fileSize, &h.sharer, &h.shareTime, &h.downloadCount})
      fuzz::Check(field->find('\n') == Text::npos, "a hit's field runs over a line break");
  }
  return 0;
}
