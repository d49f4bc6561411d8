// The share site: share pages ("/share/link"), a sharer's page ("/share/home") and share list
// ("/share/homerecord"), and the shared files themselves ("/file/SHAREID"). Built from the catalogue; a
// share's kind decides what the site shows of it. Every text here is UTF-8.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "lab_server.h"

namespace httplib {
class Server;
struct Request;
}  // namespace httplib

namespace sarvoke::lab {

// The bytes of a share's file: a header line naming the share, then a pattern that holds NUL and bytes of
// 0x80 and above; 4096 + (share id % 997) bytes in all.
std::string ShareFileContent(const Share& s);

// A name as the site's JSON writes it: non-ASCII as \uXXXX (UTF-16, lower-case hex), "/" as "\/".
std::string JsonEscapeName(const std::string& utf8);

// A catalogue share time ("2013-03-01 10:00", Beijing time) as seconds since 1970 UTC; 0 when unreadable.
long long ShareTimeSeconds(const std::string& catalogueTime);

// The share list of sharer `uk`, one line of JSON: `num` records (100 when not positive) of page `page`
// (from 1), taken-down shares left out.
std::string ShareListBody(const std::vector<Share>& catalogue, const std::string& uk, int num, int page);

// Whether a catalogue kind is "stalled" (the page answers only after five minutes: never, for a client)
// or "stalled:MS" (the page answers after MS milliseconds, as a public share's).
bool IsStalledKind(const std::string& kind);

// The share page of a share as served under `shareSiteHost` (host:port).
std::string SharePage(const Share& s, const std::string& shareSiteHost);

// The share with this id and sharer; nullptr when there is none.
const Share* FindShare(const std::vector<Share>& catalogue, const std::string& shareId,
                       const std::string& uk);

// Registers the share site on `server`. `host` gives its host:port once bound; `record` is called with
// every request it answers (not with those it answers 404: the server's error handler sees them).
// Besides the site's pages, "/lab/share-page-counts" tells how many share page requests are being
// answered now, the most at once so far and how many were answered, and the same of the connections that
// asked for share pages (open from their first such request until they close):
// {"inFlight":0,"peak":5,"served":30,"connections":0,"peakConnections":5} ("?reset=1" starts the peaks
// and the count again).
void AddShareSiteRoutes(httplib::Server& server, const std::vector<Share>& catalogue,
                        std::function<std::string()> host,
                        std::function<void(const httplib::Request&)> record);

}  // namespace sarvoke::lab
