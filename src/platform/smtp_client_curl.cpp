#include <curl/curl.h>
#include <gmime/gmime.h>

#include <cstring>
#include <mutex>

#include "platform/curl_pump.h"
#include "platform/smtp_client.h"
#include "text/code_page.h"

namespace sarvoke {
namespace {

void InitialiseGMime() {
  static std::once_flag once;
  std::call_once(once, [] { g_mime_init(); });
}

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64(std::string_view bytes) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const unsigned b0 = static_cast<unsigned char>(bytes[i]);
    const unsigned b1 = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
    const unsigned b2 = i + 2 < bytes.size() ? static_cast<unsigned char>(bytes[i + 2]) : 0;
    const unsigned v = b0 << 16 | b1 << 8 | b2;
    out += kBase64[v >> 18];
    out += kBase64[v >> 12 & 63];
    out += i + 1 < bytes.size() ? kBase64[v >> 6 & 63] : '=';
    out += i + 2 < bytes.size() ? kBase64[v & 63] : '=';
  }
  return out;
}

// A header value that carries no line break, so that no value can add a header of its own.
std::string OneLine(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c == '\r' || c == '\n') c = ' ';
  return out;
}

struct Upload {
  std::string data;
  std::size_t sent = 0;
};

size_t OnRead(char* buffer, size_t size, size_t count, void* user) {
  auto* u = static_cast<Upload*>(user);
  const size_t n = std::min(size * count, u->data.size() - u->sent);
  std::memcpy(buffer, u->data.data() + u->sent, n);
  u->sent += n;
  return n;
}

}  // namespace

std::string ComposeMail(const SmtpMail& mail) {
  InitialiseGMime();
  GMimeMessage* message = g_mime_message_new(TRUE);
  const std::string from = OneLine(mail.from), to = OneLine(mail.to);
  const std::string replyTo = OneLine(mail.replyTo.empty() ? mail.from : mail.replyTo);
  g_mime_message_add_mailbox(message, GMIME_ADDRESS_TYPE_FROM, nullptr, from.c_str());
  g_mime_message_add_mailbox(message, GMIME_ADDRESS_TYPE_TO, nullptr, to.c_str());
  g_mime_message_add_mailbox(message, GMIME_ADDRESS_TYPE_REPLY_TO, nullptr, replyTo.c_str());
  GDateTime* now = g_date_time_new_now_local();
  g_mime_message_set_date(message, now);
  g_date_time_unref(now);

  // The body in GB18030, which holds every character of code page 936 (so that a post reads back as it
  // was written), base64-encoded.
  GMimeTextPart* part = g_mime_text_part_new_with_subtype("plain");
  const std::string utf8 = AnsiToUtf8(mail.body);
  gsize written = 0;
  gchar* gb18030 = g_convert(utf8.data(), static_cast<gssize>(utf8.size()), "GB18030", "UTF-8", nullptr,
                             &written, nullptr);
  GMimeStream* stream = g_mime_stream_mem_new_with_buffer(gb18030 ? gb18030 : "", gb18030 ? written : 0);
  g_free(gb18030);
  GMimeDataWrapper* content = g_mime_data_wrapper_new_with_stream(stream, GMIME_CONTENT_ENCODING_DEFAULT);
  g_mime_part_set_content(GMIME_PART(part), content);
  g_mime_text_part_set_charset(part, "GB18030");
  g_mime_part_set_content_encoding(GMIME_PART(part), GMIME_CONTENT_ENCODING_BASE64);
  g_mime_message_set_mime_part(message, GMIME_OBJECT(part));
  g_object_unref(content);
  g_object_unref(stream);
  g_object_unref(part);

  GMimeFormatOptions* options = g_mime_format_options_new();
  g_mime_format_options_set_newline_format(options, GMIME_NEWLINE_FORMAT_DOS);
  char* text = g_mime_object_to_string(GMIME_OBJECT(message), options);
  // The subject as one encoded word in gb2312, B encoding, as the board's mail has always been written;
  // put in as it stands, since GMime would choose a charset of its own.
  std::string out = "Subject: =?gb2312?B?" + Base64(OneLine(mail.subject)) + "?=\r\n" + (text ? text : "");
  g_free(text);
  g_mime_format_options_free(options);
  g_object_unref(message);
  return out;
}

Text SmtpSend(const Text& host, int port, const Text& user, const Text& password, const SmtpMail& mail,
              int waitMs) {
  if (host.empty() || host.find_first_of("/@?#") != Text::npos || port < 1 || port > 65535)
    return "邮件服务器地址无效";
  static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  CURL* e = initialised ? curl_easy_init() : nullptr;
  if (!e) return "无法发送邮件";
  Upload upload{ComposeMail(mail), 0};
  const std::string url = "smtp://" + host + ":" + std::to_string(port);
  const std::string sender = "<" + OneLine(mail.from) + ">";
  curl_slist* recipients = curl_slist_append(nullptr, ("<" + OneLine(mail.to) + ">").c_str());
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_URL, url.c_str());
  curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "smtp");
  curl_easy_setopt(e, CURLOPT_USERNAME, user.c_str());
  curl_easy_setopt(e, CURLOPT_PASSWORD, password.c_str());
  curl_easy_setopt(e, CURLOPT_MAIL_FROM, sender.c_str());
  curl_easy_setopt(e, CURLOPT_MAIL_RCPT, recipients);
  curl_easy_setopt(e, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(e, CURLOPT_READFUNCTION, OnRead);
  curl_easy_setopt(e, CURLOPT_READDATA, &upload);
  curl_easy_setopt(e, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(upload.data.size()));
  curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(waitMs));
  curl_easy_setopt(e, CURLOPT_SERVER_RESPONSE_TIMEOUT, 10L);
  curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, 60000L);
  char detail[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(e, CURLOPT_ERRORBUFFER, detail);
  // Through a multi handle, so that the window keeps painting on the GUI thread; its cleanup ends the
  // connection with QUIT.
  CURLM* multi = curl_multi_init();
  const CURLcode rc = PerformPumping(multi, e);
  if (multi) curl_multi_cleanup(multi);
  curl_slist_free_all(recipients);
  curl_easy_cleanup(e);
  if (rc == CURLE_OK) return Text();
  return Utf8ToAnsiText(*detail ? detail : curl_easy_strerror(rc));
}

}  // namespace sarvoke
