// The lab: local replicas of the outside services, on loopback, for the tests and for running offline.
//
//   LabOptions options;                 // ports 0: the system picks them
//   LabServer lab(options);
//   if (!lab.Start()) ...;
//   lab.WriteEndpointsFile("/tmp/endpoints.ini");   // SearchEngineHost=127.0.0.1:PORT, …
//   ... the program runs against it ...
//   lab.Requests("search")              // what the web search engine was asked
//
// Services so far: the web search engine ("/s", results pages built from the share catalogue), the
// publisher's site ("/rj/bd.txt", the current results-page pattern), on their own ports the share site
// ("/share/link", "/share/home", "/share/homerecord", "/file/SHAREID"; see share_site.h) and the static
// content host (the board's pin icon; see static_site.h), and, when asked for, the board's mailbox: real
// POP3 and SMTP servers (see mailbox.h). Everything it serves over HTTP is UTF-8; the board's mails are
// in code page 936.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sarvoke::lab {

// One share of the catalogue (UTF-8 texts).
struct Share {
  std::string shareId, userKey, sharer, fileName, size, shareTime, downloads;
  // How the share site treats it: "public", "dead" (taken down), "password" (private, behind an
  // extraction code) or "reordered" (public; its share-list record has its keys in another order).
  // The search engine lists every kind.
  std::string kind = "public";
};

// The catalogue file: tab-separated lines, "#" starts a comment line; the kind column may be left out.
std::vector<Share> LoadCatalogue(const std::string& path);

struct LabOptions {
  std::string catalogueFile;  // empty: the catalogue the lab was built with
  int searchPort = 0, publisherPort = 0, shareSitePort = 0, staticPort = 0;
  // Results pages of a changed shape that only the publisher's pattern file matches.
  bool changedShape = false;
  // The search engine answers every query with a page without hits.
  bool noHits = false;
  // Every service accepts connections and never answers: the program must neither freeze nor wait for
  // it at start (a fault mode; the switches above then change nothing).
  bool neverAnswer = false;
  // Starts the board's mailbox too (Dovecot and an SMTP server; they take a few tenths of a second).
  bool mail = false;
  // With `mail`: seeds the mailbox with the board in this UTF-8 file (its final line break dropped), as
  // the newest of three mails. Empty: the mailbox starts empty.
  std::string boardFile;
};

// One request as the lab received it.
struct LabRequest {
  std::string service;  // "search", "publisher", "share", "static"
  std::string method;
  std::string target;  // the request target as sent, query included
  std::string path;
  std::multimap<std::string, std::string> params;   // decoded query
  std::multimap<std::string, std::string> headers;  // names as sent
};

// The query that the search engine understood from q1 (UTF-8).
struct SearchQuery {
  bool siteMatches = false;  // the site restriction names the lab's share site
  std::string word;
  std::vector<std::string> blocked;
};
SearchQuery ParseSearchQuery(const std::string& q1, const std::string& shareSiteDomain);

// The results page for a query: the catalogue's shares that match, from `offset`, at most `count`.
std::string ResultsPage(const std::vector<Share>& catalogue, const SearchQuery& query, int offset, int count,
                        const std::string& shareSiteDomain, bool changedShape);

// The pattern file the publisher serves: the pattern that matches results pages of the given shape.
std::string PatternFile(bool changedShape);

class LabServer {
 public:
  explicit LabServer(LabOptions options);
  ~LabServer();
  LabServer(const LabServer&) = delete;
  LabServer& operator=(const LabServer&) = delete;

  // Starts every service; false when one could not bind its port.
  bool Start();
  void Stop();

  int SearchPort() const;
  int PublisherPort() const;
  int ShareSitePort() const;
  // host:port of each service; the mail hosts are empty when the mailbox was not started.
  std::string SearchEngineHost() const;
  std::string PublisherHost() const;
  std::string ShareSiteDomain() const;
  std::string StaticContentHost() const;
  // The QQ nickname, time and avatar services (see qq_services.h).
  std::string QqServiceHost() const;
  void SetQqTimeEmpty(bool on);
  // The avatar of `number` answers after `ms` milliseconds (0: at once).
  void SetQqAvatarDelay(long long number, int ms);
  std::string MailPop3Host() const;
  std::string MailSmtpHost() const;

  // The board's mailbox: its address (POP3 and SMTP login, sender and recipient) and password.
  std::string BoardMailbox() const;
  static std::string BoardPassword();
  // The board that the lab carries (lab/board.txt), for LabOptions::boardFile.
  static std::string BuiltInBoardFile();

  // The mailbox, for tests; each is false or 0 when the mailbox is not running.
  // Delivers one raw mail through LMTP: it becomes the newest, with the next POP3 message number.
  bool AddMail(const std::string& rfc5322);
  // Removes every mail; the next one delivered is message 1.
  bool ClearMailbox();
  // Back to the mailbox as Start left it: emptied, then seeded with the board file's board.
  bool ReseedMailbox();
  int MailCount() const;
  // Takes the POP3 server down and brings it back, on the same port when it is still free (from the
  // thread that started the lab: the server dies with the thread that starts it).
  void StopPop3();
  bool StartPop3();
  // The board account's Maildir.
  std::string MaildirPath() const;

  // The shares the services are built from.
  const std::vector<Share>& Catalogue() const;

  // The endpoints file text for these services, and writing it.
  std::string EndpointsFileText() const;
  bool WriteEndpointsFile(const std::string& path) const;

  // Requests received so far by one service ("" for all), in order; and forgetting them.
  std::vector<LabRequest> Requests(const std::string& service = "") const;
  void ClearRequests();

  // Switches that may change while the lab runs.
  void SetChangedShape(bool on);
  void SetNoHits(bool on);
  // The publisher's home page ("/"): UTF-8 with or without "charset=utf-8" in its Content-Type line,
  // and with or without posts.
  void SetHomePageDeclaresCharset(bool on);
  void SetHomePageHasPosts(bool on);

 private:
  bool StartMailbox();

  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace sarvoke::lab
