// The lab's faulty services: one HTTP server and two mail servers on loopback ports of their own, which
// answer as broken or hostile servers do, so that the program's handlers can be driven into every fault
// without touching the well-behaved services.
//
//   FaultServer faults(lab.Catalogue());
//   if (!faults.Start()) ...;
//   faults.SetHttpFault(HttpFault::ResetInBody, "/share/link");   // share pages are cut off by a reset
//   ... endpoints' ShareSiteDomain = faults.HttpHost() ...
//   faults.SetMailFault(MailFault::SmtpRefusesLogin);
//   ... smtp://127.0.0.1:<faults.SmtpPort()> ...
//
// HTTP: a request whose path starts with the faulted prefix gets the fault; "/s" otherwise answers as the
// search engine does, with the catalogue's shares linked to this server's own share pages
// ("/share/link?shareid=…"), so that a search leads the program to the faulted pages. Anything else is a
// 404. The POP3 server holds one mail (SetPop3Mail) for the board's account; the SMTP server takes any
// login and mail unless its fault says otherwise. Everything a server sends drips one byte a second when
// its fault asks for it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "lab_server.h"

namespace sarvoke::lab {

enum class HttpFault {
  None,
  Stall,               // reads the request and never answers
  StallInBody,         // sends the header and the first part of the body, then nothing more
  ResetInBody,         // sends the header and the first part of the body, then resets the connection
  RedirectLoop301,     // "301 Moved Permanently" back to the same address, for ever
  RedirectLoop302,     // "302 Found" between two addresses, for ever
  Garbage50MB,         // 50 MB of random bytes as a "200 OK" body whose end is the connection's end
  InvalidUtf8,         // the page as it would be, declared UTF-8, with broken UTF-8 in its texts
  ShareLinkUnended,    // a 10 MB share page where the direct link starts and its end marker never comes
  DripOneByteASecond,  // a well-formed answer, one byte a second
};

enum class MailFault {
  None,
  Pop3Drips,           // every POP3 answer one byte a second, the greeting included
  Pop3DripsTheMail,    // the greeting and the answers at once, the retrieved mail one byte a second
  Pop3RefusesTheMail,  // the status counts the mail, its retrieval is answered "-ERR"
  SmtpRefusesLogin,    // AUTH is answered 535
  SmtpRefusesAtOnce,   // the greeting is 554: the server takes no mail
  SmtpDrips,           // every SMTP answer one byte a second
};

// A short readable name of each fault, for test rows and logs.
const char* FaultName(HttpFault fault);
const char* FaultName(MailFault fault);

class FaultServer {
 public:
  // `catalogue`: the shares that "/s" lists when the search itself is not faulted.
  explicit FaultServer(std::vector<Share> catalogue = {});
  ~FaultServer();
  FaultServer(const FaultServer&) = delete;
  FaultServer& operator=(const FaultServer&) = delete;

  // Binds the three ports and starts serving; false when one could not be bound.
  bool Start();
  // Closes every connection and ends the servers' threads.
  void Stop();

  // 127.0.0.1:PORT of the HTTP server, and the mail servers' ports.
  std::string HttpHost() const;
  int Pop3Port() const;
  int SmtpPort() const;

  // The fault for requests whose path starts with `pathPrefix` ("" or "/": every path).
  void SetHttpFault(HttpFault fault, const std::string& pathPrefix = "/");
  void SetMailFault(MailFault fault);
  // The one mail the POP3 server holds (raw, CR LF line ends).
  void SetPop3Mail(const std::string& rfc5322);

  // Requests (paths with their queries), mail connections, and the mail servers' commands (verbs in
  // capitals, "POP3 " or "SMTP " in front) received so far.
  std::vector<std::string> HttpTargets() const;
  int MailConnections() const;
  std::vector<std::string> MailCommands() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace sarvoke::lab
