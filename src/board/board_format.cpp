#include "board/board_format.h"

#include "net/endpoints.h"
#include "text/regex_object.h"
#include "text/simple_pattern.h"

namespace sarvoke {
namespace {

struct TokenInfo {
  std::string_view pattern;
  std::string_view fallback;  // "" for none
};

constexpr TokenInfo kTokens[] = {
    {R"({置顶}\((.+?)\))", ""},
    {R"({条数}\((.+?)\))", "20"},
    {R"({默认字号大小}\((.+?)\))", "14"},
    {R"({序号颜色}\((.+?)\))", "#800080"},
    {R"({昵称颜色}\((.+?)\))", "#000000"},
    {R"({留言内容颜色}\((.+?)\))", "#000000"},
    {R"({边框颜色}\((.+?)\))", "#CCCCCC"},
};

// "host:port" split, with `port` kept when the text names none.
void SplitHostPort(const Text& hostPort, Text& host, int& port) {
  host = hostPort;
  const auto colon = hostPort.rfind(':');
  if (colon == Text::npos) return;
  const Text digits = hostPort.substr(colon + 1);
  if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != Text::npos) return;
  host = hostPort.substr(0, colon);
  port = TextToInt(digits);
}

}  // namespace

MailboxAccount CurrentMailboxAccount() {
  const Endpoints e = CurrentEndpoints();
  MailboxAccount a;
  SplitHostPort(e.mailPop3Host, a.pop3Host, a.pop3Port);
  SplitHostPort(e.mailSmtpHost, a.smtpHost, a.smtpPort);
  a.address = e.boardMailbox;
  a.password = Text(kMailboxPassword);
  return a;
}

std::vector<BoardEntry> ParseBoardEntries(std::string_view boardText) {
  std::vector<BoardEntry> entries;
  SimplePattern pattern;
  if (!CompileSimplePattern(pattern, kEntryPattern, true)) return entries;
  std::vector<PatternMatch> matches = FindAllMatches(pattern, boardText);
  entries.reserve(matches.size());
  for (auto m = matches.rbegin(); m != matches.rend(); ++m) {
    entries.push_back({PatternGroupText(*m, boardText, 1), PatternGroupText(*m, boardText, 2),
                       PatternGroupText(*m, boardText, 3)});
  }
  ReleaseMatches(matches);
  ReleaseSimplePattern(pattern);
  return entries;
}

Text ReadBoardSetting(std::string_view boardText, int token) {
  if (token < 1 || token > 7) return Text();
  const TokenInfo& t = kTokens[token - 1];
  RegexObject regex;
  regex.Search(t.pattern, boardText);
  Text value = regex.SubmatchText(1, 1);
  if (value.empty()) value = Text(t.fallback);
  return value;
}

bool IsSafeColour(std::string_view c) {
  auto isHex = [](char ch) {
    return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F');
  };
  if (!c.empty() && c[0] == '#') {
    if (c.size() != 4 && c.size() != 7) return false;
    for (std::size_t i = 1; i < c.size(); ++i)
      if (!isHex(c[i])) return false;
    return true;
  }
  if (c.empty() || c.size() > 32) return false;
  for (const char ch : c)
    if (!((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z'))) return false;
  return true;
}

BoardSettings ReadBoardSettings(std::string_view boardText) {
  BoardSettings s;
  s.pinnedText = ReadBoardSetting(boardText, kTokenPinnedText);
  s.pageSize = TextToInt(ReadBoardSetting(boardText, kTokenPageSize));
  if (s.pageSize < 1) s.pageSize = 20;
  s.fontSize = TextToInt(ReadBoardSetting(boardText, kTokenFontSize));
  auto colour = [&](int token) {
    const Text value = ReadBoardSetting(boardText, token);
    return IsSafeColour(value) ? value : Text(kTokens[token - 1].fallback);
  };
  s.indexColor = colour(kTokenIndexColor);
  s.nicknameColor = colour(kTokenNicknameColor);
  s.contentColor = colour(kTokenContentColor);
  s.borderColor = colour(kTokenBorderColor);
  return s;
}

}  // namespace sarvoke
