#include "platform/smtp_client.h"

#include <gtest/gtest.h>

#include "platform/mail_text.h"

namespace sarvoke {
namespace {

TEST(SmtpMail, ComposedAsTheBoardReadsItBack) {
  SmtpMail mail;
  mail.from = "board@example.com";
  mail.to = "board@example.com";
  mail.subject = "聊天内容";
  mail.body = "甲-你好\x95\x5C字\\2013-04-20 12:00:00|乙-€\\t|";
  const std::string text = ComposeMail(mail);
  EXPECT_NE(text.find("Subject: =?gb2312?B?wcTM7MTayN0=?=\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Reply-To: board@example.com\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Date: "), std::string::npos);
  EXPECT_NE(text.find("Content-Transfer-Encoding: base64"), std::string::npos);
  EXPECT_EQ(text.find("\n\n"), std::string::npos);  // every line ends in CR LF
  EXPECT_EQ(MailBodyText(Bytes(text.begin(), text.end())), mail.body);
  // A line break in an address cannot add a header.
  mail.to = "a@b.c\r\nBcc: x@y.z";
  EXPECT_EQ(ComposeMail(mail).find("\r\nBcc:"), std::string::npos);
}

}  // namespace
}  // namespace sarvoke
