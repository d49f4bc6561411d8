// One POP3 session with the board's mailbox: log in (USER and PASS, or SASL PLAIN where the server
// offers it), ask the mailbox's status, retrieve a
// mail, and end the session with QUIT when the session goes.
//
//   Pop3Session session;
//   if (Pop3Connect(session, "pop.163.com", 110, "a@163.com", "secret", 3000)) {
//     int count = 0;
//     Pop3Status(session, count);
//     Bytes mail = Pop3Retrieve(session, count);   // the raw mail, as the server sent it
//   }                                              // QUIT
#pragma once

#include <memory>

#include "text/text.h"

namespace sarvoke {

struct Pop3Connection;

class Pop3Session {
 public:
  Pop3Session();
  ~Pop3Session();  // ends the session with QUIT
  Pop3Session(const Pop3Session&) = delete;
  Pop3Session& operator=(const Pop3Session&) = delete;
  Pop3Connection* connection() const { return connection_.get(); }
  void Reset(std::unique_ptr<Pop3Connection> c);

 private:
  std::unique_ptr<Pop3Connection> connection_;
};

// The largest mail retrieved; a longer one fails the retrieval.
inline constexpr std::size_t kMaxMailBytes = std::size_t{32} << 20;

// Connects and logs in; false when the server cannot be reached, does not answer within `waitMs`, or
// refuses the login. The session ends any session it held before.
bool Pop3Connect(Pop3Session& session, const Text& host, int port, const Text& user, const Text& password,
                 int waitMs);
// The number of mails in the mailbox (STAT); false on failure.
bool Pop3Status(Pop3Session& session, int& count);
// Mail `number` (from 1) as the server sent it; empty for a number below 1 or on failure.
Bytes Pop3Retrieve(Pop3Session& session, int number);
// Ends the session with QUIT now.
void Pop3Quit(Pop3Session& session);

}  // namespace sarvoke
