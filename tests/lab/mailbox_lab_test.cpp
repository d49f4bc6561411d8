// The lab's board mailbox as a mail client sees it, through libcurl: POP3 login, STAT and RETR of the
// seeded board, SMTP posts with AUTH LOGIN and PLAIN arriving as the newest mail, refused logins, and
// the POP3 server going down and coming back. Real Dovecot and SMTP servers run behind it.
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <iconv.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "lab_server.h"
#include "mailbox.h"

namespace sarvoke::lab {
namespace {

struct Reply {
  CURLcode code = CURLE_OK;
  std::string body;
  std::string lines;  // the server's response lines
};

size_t Append(char* data, size_t size, size_t n, void* to) {
  static_cast<std::string*>(to)->append(data, size * n);
  return size * n;
}

// A POP3 request: `command` "STAT" as a custom request without body, or "" to RETR the URL's message.
Reply Pop3(const std::string& host, const std::string& message, const std::string& user,
           const std::string& password, const std::string& command = "") {
  Reply r;
  CURL* curl = curl_easy_init();
  const std::string url = "pop3://" + host + "/" + message;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_USERNAME, user.c_str());
  curl_easy_setopt(curl, CURLOPT_PASSWORD, password.c_str());
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 20L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Append);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &r.body);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, Append);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &r.lines);
  if (!command.empty()) {
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, command.c_str());
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
  }
  r.code = curl_easy_perform(curl);
  curl_easy_cleanup(curl);
  return r;
}

// The message count that STAT reports, or -1.
int Stat(const LabServer& lab) {
  const Reply r = Pop3(lab.MailPop3Host(), "", lab.BoardMailbox(), LabServer::BoardPassword(), "STAT");
  const auto ok = r.lines.rfind("+OK ");
  if (r.code != CURLE_OK || ok == std::string::npos) return -1;
  return std::atoi(r.lines.c_str() + ok + 4);
}

std::string Retrieve(const LabServer& lab, int n) {
  const Reply r = Pop3(lab.MailPop3Host(), std::to_string(n), lab.BoardMailbox(), LabServer::BoardPassword());
  EXPECT_EQ(r.code, CURLE_OK) << curl_easy_strerror(r.code);
  return r.body;
}

struct Upload {
  const std::string* text;
  size_t at = 0;
};

size_t ReadUpload(char* to, size_t size, size_t n, void* from) {
  auto* u = static_cast<Upload*>(from);
  const size_t len = std::min(size * n, u->text->size() - u->at);
  std::memcpy(to, u->text->data() + u->at, len);
  u->at += len;
  return len;
}

CURLcode SendMail(const std::string& host, const std::string& mechanism, const std::string& password,
                  const std::string& from, const std::string& to, const std::string& mail) {
  CURL* curl = curl_easy_init();
  const std::string url = "smtp://" + host;
  const std::string options = "AUTH=" + mechanism;
  const std::string mailFrom = "<" + from + ">", rcpt = "<" + to + ">";
  curl_slist* recipients = curl_slist_append(nullptr, rcpt.c_str());
  Upload upload{&mail};
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_USERNAME, from.c_str());
  curl_easy_setopt(curl, CURLOPT_PASSWORD, password.c_str());
  curl_easy_setopt(curl, CURLOPT_LOGIN_OPTIONS, options.c_str());
  curl_easy_setopt(curl, CURLOPT_MAIL_FROM, mailFrom.c_str());
  curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, recipients);
  curl_easy_setopt(curl, CURLOPT_READFUNCTION, ReadUpload);
  curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
  curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 20L);
  const CURLcode code = curl_easy_perform(curl);
  curl_slist_free_all(recipients);
  curl_easy_cleanup(curl);
  return code;
}

std::string Header(const std::string& mail, const std::string& name) {
  const std::string key = "\r\n" + name + ": ";
  const auto at = ("\r\n" + mail).find(key);
  if (at == std::string::npos) return "";
  const auto from = at + key.size() - 2;
  return mail.substr(from, mail.find("\r\n", from) - from);
}

std::string Body(const std::string& mail) {
  const auto at = mail.find("\r\n\r\n");
  return at == std::string::npos ? "" : mail.substr(at + 4);
}

std::string DecodeBase64(const std::string& text) {
  std::string out;
  unsigned bits = 0;
  int count = 0;
  for (char c : text) {
    const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const char* p = c ? std::strchr(digits, c) : nullptr;
    if (!p) continue;
    bits = bits << 6 | static_cast<unsigned>(p - digits);
    if ((count += 6) >= 8) out += static_cast<char>(bits >> (count -= 8) & 0xFF);
  }
  return out;
}

// GBK to UTF-8; "" when the text is not GBK.
std::string GbkToUtf8(std::string gbk) {
  iconv_t cd = iconv_open("UTF-8", "GBK");
  std::string out(gbk.size() * 2 + 4, '\0');
  char *in = gbk.data(), *o = out.data();
  size_t inLeft = gbk.size(), outLeft = out.size();
  const bool ok = iconv(cd, &in, &inLeft, &o, &outLeft) != static_cast<size_t>(-1);
  iconv_close(cd);
  return ok ? out.substr(0, out.size() - outLeft) : "";
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class MailboxLab : public ::testing::Test {
 protected:
  static LabOptions Options() {
    LabOptions o;
    o.mail = true;
    o.boardFile = LabServer::BuiltInBoardFile();
    return o;
  }
  void SetUp() override {
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(lab.Start());
    // Reported, not checked: starting the mail servers should stay well under a second.
    std::printf("lab with mailbox started in %lld ms\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - start)
                                           .count()));
  }
  std::string Post(const std::string& subject, const std::string& body) {
    return "From: " + lab.BoardMailbox() + "\r\nTo: " + lab.BoardMailbox() + "\r\nSubject: " + subject +
           "\r\n\r\n" + body + "\r\n";
  }

  LabServer lab{Options()};
};

TEST_F(MailboxLab, SeededBoardIsTheNewestOfThreeMailsInCodePage936) {
  EXPECT_NE(lab.EndpointsFileText().find("MailPop3Host=" + lab.MailPop3Host() + "\r\n"), std::string::npos);
  EXPECT_NE(lab.EndpointsFileText().find("MailSmtpHost=" + lab.MailSmtpHost() + "\r\n"), std::string::npos);
  EXPECT_NE(lab.EndpointsFileText().find("BoardMailbox=board@lab.sarvoke.test\r\n"), std::string::npos);
  EXPECT_EQ(Stat(lab), 3);
  EXPECT_EQ(lab.MailCount(), 3);

  const std::string board = ReadFile(LabServer::BuiltInBoardFile());
  ASSERT_NE(board.find("{条数}(5)"), std::string::npos);
  const std::string newest = Retrieve(lab, 3);
  EXPECT_EQ(Header(newest, "Content-Type"), "text/plain; charset=gb2312");
  EXPECT_EQ(Header(newest, "Content-Transfer-Encoding"), "base64");
  EXPECT_EQ(Header(newest, "From"), lab.BoardMailbox());
  EXPECT_EQ(Header(newest, "To"), lab.BoardMailbox());
  const std::string gbk = DecodeBase64(Body(newest));
  EXPECT_NE(gbk, board) << "the body is code page 936, not UTF-8";
  EXPECT_EQ(GbkToUtf8(gbk), board);

  for (int older : {1, 2}) {
    SCOPED_TRACE(older);
    const std::string text = GbkToUtf8(DecodeBase64(Body(Retrieve(lab, older))));
    EXPECT_NE(text.find("\\2013-"), std::string::npos) << "an older board with entries";
    EXPECT_EQ(text.find("小明"), std::string::npos);
  }
}

TEST_F(MailboxLab, PostsOverSmtpArriveAsTheNewestMail) {
  struct Row {
    const char* mechanism;
    const char* subject;
  } rows[] = {{"LOGIN", "first post"}, {"PLAIN", "second post"}};
  int expected = 3;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.mechanism);
    // A line that starts with a dot must come back whole.
    const std::string body = std::string("小红-") + row.subject + "\\2013-04-21 10:00:00|\r\n.dot";
    ASSERT_EQ(SendMail(lab.MailSmtpHost(), row.mechanism, LabServer::BoardPassword(), lab.BoardMailbox(),
                       lab.BoardMailbox(), Post(row.subject, body)),
              CURLE_OK);
    ++expected;
    EXPECT_EQ(Stat(lab), expected);
    const std::string mail = Retrieve(lab, expected);
    EXPECT_EQ(Header(mail, "Subject"), row.subject);
    EXPECT_EQ(Body(mail), body + "\r\n");
  }
}

TEST_F(MailboxLab, RefusesWrongPasswordsAndStrangers) {
  EXPECT_EQ(Pop3(lab.MailPop3Host(), "", lab.BoardMailbox(), "k_720946", "STAT").code, CURLE_LOGIN_DENIED);
  EXPECT_EQ(Pop3(lab.MailPop3Host(), "", "someone@lab.sarvoke.test", LabServer::BoardPassword(), "STAT").code,
            CURLE_LOGIN_DENIED);
  const std::string mail = Post("refused", "nothing");
  for (const char* mechanism : {"LOGIN", "PLAIN"}) {
    SCOPED_TRACE(mechanism);
    EXPECT_EQ(SendMail(lab.MailSmtpHost(), mechanism, "wrong", lab.BoardMailbox(), lab.BoardMailbox(), mail),
              CURLE_LOGIN_DENIED);
  }
  // Logged in, but mail to an address that is not the board's goes nowhere.
  EXPECT_NE(SendMail(lab.MailSmtpHost(), "LOGIN", LabServer::BoardPassword(), lab.BoardMailbox(),
                     "other@lab.sarvoke.test", mail),
            CURLE_OK);
  EXPECT_EQ(lab.MailCount(), 3);
}

TEST_F(MailboxLab, Pop3GoesDownAndComesBackWhileMailStillArrives) {
  const std::string host = lab.MailPop3Host();
  lab.StopPop3();
  EXPECT_EQ(Pop3(host, "", lab.BoardMailbox(), LabServer::BoardPassword(), "STAT").code,
            CURLE_COULDNT_CONNECT);
  ASSERT_EQ(SendMail(lab.MailSmtpHost(), "LOGIN", LabServer::BoardPassword(), lab.BoardMailbox(),
                     lab.BoardMailbox(), Post("while down", "x")),
            CURLE_OK);
  EXPECT_EQ(lab.MailCount(), 4);
  ASSERT_TRUE(lab.StartPop3());
  EXPECT_EQ(lab.MailPop3Host(), host);
  EXPECT_EQ(Stat(lab), 4);
}

TEST_F(MailboxLab, ClearedMailboxNumbersFromOneAgain) {
  ASSERT_TRUE(lab.ClearMailbox());
  EXPECT_EQ(lab.MailCount(), 0);
  EXPECT_EQ(Stat(lab), 0);
  ASSERT_TRUE(lab.AddMail(SeedMail("阿强-新的开始\\2013-05-01 08:00:00|", lab.BoardMailbox())));
  // Bare LF line ends, as a test is likely to write them.
  ASSERT_TRUE(lab.AddMail("Subject: plain\n\n.one\nno entries here\n"));
  EXPECT_EQ(Stat(lab), 2);
  EXPECT_EQ(GbkToUtf8(DecodeBase64(Body(Retrieve(lab, 1)))), "阿强-新的开始\\2013-05-01 08:00:00|");
  EXPECT_EQ(Body(Retrieve(lab, 2)), ".one\r\nno entries here\r\n");
}

TEST_F(MailboxLab, StopLeavesNoServerAndNoFolder) {
  const std::string maildir = lab.MaildirPath();
  const std::string folder = std::filesystem::path(maildir).parent_path().string();
  const std::string pop3 = lab.MailPop3Host(), smtp = lab.MailSmtpHost();
  ASSERT_TRUE(std::filesystem::exists(maildir));
  lab.Stop();
  EXPECT_FALSE(std::filesystem::exists(folder));
  EXPECT_EQ(Pop3(pop3, "", lab.BoardMailbox(), LabServer::BoardPassword(), "STAT").code,
            CURLE_COULDNT_CONNECT);
  EXPECT_EQ(SendMail(smtp, "LOGIN", LabServer::BoardPassword(), lab.BoardMailbox(), lab.BoardMailbox(), "x"),
            CURLE_COULDNT_CONNECT);
  // No process still names the folder (the Dovecot masters and the SMTP server all do on their command
  // lines; their children go with their process groups).
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string cmdline = ReadFile(entry.path().string() + "/cmdline");
    EXPECT_EQ(cmdline.find(folder), std::string::npos) << entry.path() << ": " << cmdline;
  }
}

}  // namespace
}  // namespace sarvoke::lab
