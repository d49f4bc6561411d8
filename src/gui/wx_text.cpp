#include "gui/wx_text.h"

#include "text/code_page.h"

namespace sarvoke {

wxString ToWx(std::string_view text) {
  const Text utf8 = AnsiToUtf8(text);
  return wxString::FromUTF8(utf8.data(), utf8.size());
}

Text FromWx(const wxString& s) {
  const wxScopedCharBuffer utf8 = s.ToUTF8();
  return Utf8ToAnsiText(std::string_view(utf8.data(), utf8.length()));
}

}  // namespace sarvoke
