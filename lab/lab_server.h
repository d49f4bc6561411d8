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
// publisher's site ("/rj/bd.txt", the current results-page pattern) and, on its own port, the share site
// ("/share/link", "/share/home", "/share/homerecord", "/file/SHAREID"; see share_site.h).
// Everything it serves is UTF-8.
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
  int searchPort = 0, publisherPort = 0, shareSitePort = 0;
  // Results pages of a changed shape that only the publisher's pattern file matches.
  bool changedShape = false;
  // The search engine answers every query with a page without hits.
  bool noHits = false;
  // Every service accepts connections and never answers: the program must neither freeze nor wait for
  // it at start (a fault mode; the switches above then change nothing).
  bool neverAnswer = false;
};

// One request as the lab received it.
struct LabRequest {
  std::string service;  // "search", "publisher", "share"
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
  // host:port of each service.
  std::string SearchEngineHost() const;
  std::string PublisherHost() const;
  std::string ShareSiteDomain() const;

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

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace sarvoke::lab
