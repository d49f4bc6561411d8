// The text of a mail: the body of its text part, decoded from its transfer encoding and charset into
// code page 936.
//
//   MailBodyText(Pop3Retrieve(session, n))   // base64 or quoted-printable, gb2312/GBK/GB18030/UTF-8
//
// A multipart mail gives its first text/plain part; a mail without MIME headers gives its body bytes as
// they stand (taken as code page 936 already).
#pragma once

#include "text/text.h"

namespace sarvoke {

Text MailBodyText(const Bytes& mail);

}  // namespace sarvoke
