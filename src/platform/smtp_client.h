// Sending one mail over SMTP: log in (AUTH LOGIN or PLAIN, as the server offers) and send a plain-text
// mail composed with GMime.
//
//   SmtpMail mail{.from = "a@163.com", .to = "a@163.com", .subject = "聊天内容", .body = text};
//   Text error = SmtpSend("smtp.163.com", 25, "a@163.com", "secret", mail);   // "" when sent
#pragma once

#include "text/text.h"

namespace sarvoke {

struct SmtpMail {
  Text from;
  Text to;
  Text replyTo;  // empty: the sender
  Text subject;  // code page 936; sent as an RFC 2047 word (B encoding, gb2312)
  Text body;     // code page 936; sent as one text/plain part in base64, in a charset that holds all of it
};

// The mail as sent: headers From, To, Subject, Date, Reply-To, MIME-Version and the one part, CR LF line
// ends.
std::string ComposeMail(const SmtpMail& mail);

// Connects, logs in and sends; "" on success, otherwise what went wrong. Waits at most `waitMs` for the
// connection and gives the server 10 s for each answer. On the GUI thread the window keeps painting.
Text SmtpSend(const Text& host, int port, const Text& user, const Text& password, const SmtpMail& mail,
              int waitMs = 2000);

}  // namespace sarvoke
