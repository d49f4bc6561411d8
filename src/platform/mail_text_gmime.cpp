#include <gmime/gmime.h>

#include <mutex>

#include "platform/mail_text.h"
#include "text/code_page.h"

namespace sarvoke {
namespace {

void InitialiseGMime() {
  static std::once_flag once;
  std::call_once(once, [] { g_mime_init(); });
}

// The header block and the body of a mail, split at the first empty line.
void SplitMail(std::string_view mail, std::string_view& head, std::string_view& body) {
  std::size_t at = mail.find("\r\n\r\n"), skip = 4;
  const std::size_t lf = mail.find("\n\n");
  if (lf != std::string_view::npos && (at == std::string_view::npos || lf < at)) {
    at = lf;
    skip = 2;
  }
  if (at == std::string_view::npos) {
    head = mail;
    body = {};
    return;
  }
  head = mail.substr(0, at);
  body = mail.substr(at + skip);
}

bool HasMimeHeaders(std::string_view head) {
  const Text lower = AsciiLower(head);
  auto hasLine = [&](std::string_view name) {
    return lower.rfind(name, 0) == 0 || lower.find("\n" + Text(name)) != Text::npos;
  };
  return hasLine("mime-version:") || hasLine("content-type:") || hasLine("content-transfer-encoding:");
}

// The first text/plain part at or under `object`.
GMimeTextPart* FirstPlainText(GMimeObject* object) {
  if (!object) return nullptr;
  if (GMIME_IS_MULTIPART(object)) {
    GMimeMultipart* multipart = GMIME_MULTIPART(object);
    const int n = g_mime_multipart_get_count(multipart);
    for (int i = 0; i < n; ++i)
      if (GMimeTextPart* t = FirstPlainText(g_mime_multipart_get_part(multipart, i))) return t;
    return nullptr;
  }
  if (GMIME_IS_MESSAGE_PART(object))
    return FirstPlainText(
        g_mime_message_get_mime_part(g_mime_message_part_get_message(GMIME_MESSAGE_PART(object))));
  if (!GMIME_IS_TEXT_PART(object)) return nullptr;
  GMimeContentType* type = g_mime_object_get_content_type(object);
  return !type || g_mime_content_type_is_type(type, "text", "plain") ? GMIME_TEXT_PART(object) : nullptr;
}

// The part's content with its transfer encoding undone.
Bytes DecodedContent(GMimePart* part) {
  Bytes out;
  GMimeDataWrapper* content = g_mime_part_get_content(part);
  if (!content) return out;
  GByteArray* array = g_byte_array_new();
  GMimeStream* sink = g_mime_stream_mem_new_with_byte_array(array);
  g_mime_stream_mem_set_owner(GMIME_STREAM_MEM(sink), FALSE);
  g_mime_data_wrapper_write_to_stream(content, sink);
  out.assign(array->data, array->data + array->len);
  g_object_unref(sink);
  g_byte_array_free(array, TRUE);
  return out;
}

bool SameCharset(const char* a, std::string_view b) { return a && AsciiLower(a) == b; }

// The decoded content in code page 936. GB2312 and GBK text is code page 936 text already (GBK holds
// GB2312, and mail that says gb2312 often carries GBK characters); no charset at all is read so too.
Text DecodedText(GMimePart* part, const char* charset) {
  const Bytes bytes = DecodedContent(part);
  if (!charset || SameCharset(charset, "gb2312") || SameCharset(charset, "gbk") ||
      SameCharset(charset, "x-gbk") || SameCharset(charset, "cp936") || SameCharset(charset, "euc-cn") ||
      SameCharset(charset, "us-ascii"))
    return TextFromBytes(bytes);
  const std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (SameCharset(charset, "utf-8") || SameCharset(charset, "utf8")) return Utf8ToAnsiText(raw);
  // Any other charset (GB18030 among them) through UTF-8.
  gsize written = 0;
  gchar* utf8 = g_convert_with_fallback(raw.data(), static_cast<gssize>(raw.size()), "UTF-8", charset, "?",
                                        nullptr, &written, nullptr);
  if (!utf8) return TextFromBytes(bytes);
  Text out = Utf8ToAnsiText(std::string_view(utf8, written));
  g_free(utf8);
  return out;
}

}  // namespace

Text MailBodyText(const Bytes& mail) {
  const std::string_view raw(reinterpret_cast<const char*>(mail.data()), mail.size());
  std::string_view head, body;
  SplitMail(raw, head, body);
  if (!HasMimeHeaders(head)) return TextFromBytes(Bytes(body.begin(), body.end()));

  InitialiseGMime();
  Text out;
  GMimeStream* stream = g_mime_stream_mem_new_with_buffer(raw.data(), raw.size());
  GMimeParser* parser = g_mime_parser_new_with_stream(stream);
  GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
  if (message) {
    if (GMimeTextPart* part = FirstPlainText(g_mime_message_get_mime_part(message))) {
      out = DecodedText(GMIME_PART(part), g_mime_text_part_get_charset(part));
    }
    g_object_unref(message);
  }
  g_object_unref(parser);
  g_object_unref(stream);
  return out;
}

}  // namespace sarvoke
