// The board's mailbox: real mail servers on loopback, with a private configuration in one temporary
// folder. Dovecot serves POP3 and takes mail over LMTP; an SMTP server (Python's aiosmtpd, lab/mail/)
// authenticates the board's one account and hands each accepted mail to Dovecot's LMTP.
//
//   Mailbox box("board@lab.sarvoke.test", "k_720946.");
//   if (!box.Start()) ...;                      // a few tenths of a second
//   box.Seed(utf8Board);                        // three mails; the board is the newest
//   ... pop3://127.0.0.1:<box.Pop3Port()>/3, smtp://127.0.0.1:<box.SmtpPort()> ...
//
// The servers run as child processes in process groups of their own, and die with the thread that
// started them (PR_SET_PDEATHSIG): start and restart them from a thread that outlives the mailbox.
// Dovecot runs as root with `dovenull` and `dovecot` as its login and internal users and the mail owned by
// `mail`; started by another user, it runs as that user throughout.
#pragma once

#include <memory>
#include <string>

namespace sarvoke::lab {

// UTF-8 text in code page 936 (GBK); a character that GBK lacks, or a bad UTF-8 byte, becomes '?'.
std::string Utf8ToGbk(const std::string& utf8);

// A board mail as the board's mailbox holds it: From and To `address`, a Subject, `date` (RFC 5322 form),
// and the board text as its body, in code page 936 labelled gb2312, base64-encoded; CR LF line ends.
std::string SeedMail(const std::string& utf8Board, const std::string& address,
                     const std::string& date = "Sat, 20 Apr 2013 12:30:00 +0800");

class Mailbox {
 public:
  Mailbox(std::string address, std::string password);
  ~Mailbox();
  Mailbox(const Mailbox&) = delete;
  Mailbox& operator=(const Mailbox&) = delete;

  // Starts Dovecot (POP3 and LMTP) and the SMTP server on free loopback ports and returns once each
  // answers; false, with the reason on stderr, when one would not start.
  bool Start();
  // Ends every process it started and removes its folder.
  void Stop();

  int Pop3Port() const;
  int SmtpPort() const;
  const std::string& Address() const;
  // The board account's Maildir (new/ and cur/ hold the messages).
  std::string MaildirPath() const;

  // Delivers one raw mail through LMTP; once it returns true the mail is the newest, with the next POP3
  // message number. Bare LF line ends are sent as CR LF.
  bool AddMail(const std::string& rfc5322);
  // Delivers two older boards and then `utf8Board`, so that the board is message 3 of 3 in an empty box.
  bool Seed(const std::string& utf8Board);
  // Removes every message; the next one delivered is message 1.
  bool Clear();
  // Messages in the mailbox.
  int Count() const;

  // Takes the POP3 server down (connections are refused) and brings it back, on the same port when that
  // is still free. SMTP and LMTP keep running meanwhile.
  void StopPop3();
  bool StartPop3();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace sarvoke::lab
