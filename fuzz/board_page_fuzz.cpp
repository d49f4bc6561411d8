// The board's page from any board text: entries -> EntryFragment -> BoardPage. No markup may come from
// the board: every tag of the page is one the page writes itself, with attributes it writes itself.
#include <cctype>
#include <set>
#include <string>

#include "board/board_pages.h"
#include "fuzz_input.h"
#include "net/endpoints.h"

namespace {

using namespace sarvoke;

const std::set<std::string> kTags = {"html", "head", "base", "link", "body", "font", "img",
                                     "br",   "ol",   "li",   "div",  "a",    "ul"};
const std::set<std::string> kAttributes = {"target", "href",  "rel", "type",  "style", "color",
                                           "src",    "title", "id",  "class", "size"};

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool IsNameByte(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_'; }

// Reads the tag at page[at] == '<' and moves `at` behind it; breaks when it is not one of the page's own.
void CheckTag(const std::string& page, std::size_t& at) {
  std::size_t i = at + 1;
  if (i < page.size() && page[i] == '/') ++i;
  const std::size_t nameStart = i;
  while (i < page.size() && IsNameByte(page[i])) ++i;
  if (!kTags.count(Lower(std::string_view(page).substr(nameStart, i - nameStart))))
    fuzz::Broken("a tag that the page does not write");
  for (;;) {
    while (i < page.size() && (page[i] == ' ' || page[i] == '/')) ++i;
    if (i >= page.size()) fuzz::Broken("a tag that never ends");
    if (page[i] == '>') break;
    const std::size_t attrStart = i;
    while (i < page.size() && IsNameByte(page[i])) ++i;
    const std::string attr = Lower(std::string_view(page).substr(attrStart, i - attrStart));
    if (!kAttributes.count(attr)) fuzz::Broken("an attribute that the page does not write");
    if (i >= page.size() || page[i] != '=') fuzz::Broken("an attribute without a value");
    ++i;
    std::string value;
    if (i < page.size() && page[i] == '"') {
      const std::size_t close = page.find('"', i + 1);
      if (close == std::string::npos) fuzz::Broken("a quoted value that never ends");
      value = page.substr(i + 1, close - i - 1);
      i = close + 1;
    } else {
      const std::size_t v = i;
      while (i < page.size() && page[i] != ' ' && page[i] != '>') ++i;
      value = page.substr(v, i - v);
      // An unquoted value is a colour: "#" and hexadecimal digits, or a word.
      for (const char c : value)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '#')
          fuzz::Broken("an unquoted value with markup");
    }
    if (value.find('<') != std::string::npos || Lower(value).find("javascript:") != std::string::npos)
      fuzz::Broken("a value with markup");
  }
  at = i + 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool hosts = [] {
    // The hosts that the lab's board text names, so that its QQ nicknames take the QQ form.
    Endpoints e = DefaultEndpoints();
    e.qqAvatarHost = "QQAVATARHOST";
    e.qqChatHost = "QQCHATHOST";
    e.staticContentHost = "static.example";
    e.publisherHost = "www.example";
    SetCurrentEndpoints(e);
    return true;
  }();
  (void)hosts;
  const std::string_view board = fuzz::AsText(data, size);
  const auto entries = ParseBoardEntries(board);
  const BoardSettings settings = ReadBoardSettings(board);
  Text fragment;
  for (std::size_t k = 0; k < entries.size() && k < 64; ++k)
    fragment += EntryFragment(entries[k], static_cast<int>(entries.size() - k), settings);
  const Text page = BoardPage(fragment, settings, "/run/user/1000/sarvoke/");
  const std::string lower = Lower(page);
  fuzz::Check(lower.find("<script") == std::string::npos, "a script in the page");
  // Every "<" starts a tag of the page's own, whose attributes are the page's own: no event handler
  // such as onerror, and no value that carries markup.
  for (std::size_t at = 0; (at = page.find('<', at)) != Text::npos;) CheckTag(page, at);
  return 0;
}
