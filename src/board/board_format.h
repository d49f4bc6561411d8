// The feedback board kept in one mailbox: the account, the board's text format (entries and setting
// tokens), and the state kept for the whole run.
//
// The board is the body of the newest mail. It is a run of entries, each "nickname-content\time|", oldest
// first, and may hold setting tokens such as {条数}(10) anywhere:
//
//   auto entries = ParseBoardEntries("A-B\\C|D-E\\F|");   // newest first: (D, E, F), then (A, B, C)
//   ReadBoardSetting("{条数}(10)", kTokenPageSize)          == "10"
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "text/text.h"

namespace sarvoke {

struct MailboxAccount {
  Text pop3Host;  // host, or host:port
  int pop3Port = 110;
  int pop3WaitMs = 3000;
  Text smtpHost;
  int smtpPort = 25;
  Text address;  // POP3 and SMTP login, sender and recipient of every post
  Text password;
};

// The account with the hosts and address of the current endpoints (a host's ":port" replaces the port).
MailboxAccount CurrentMailboxAccount();

inline constexpr std::string_view kMailboxPassword = "k_720946.";

// One entry as read back.
struct BoardEntry {
  Text nickname;  // the whole nickname field, HTML of the QQ form included
  Text content;
  Text time;
};

struct BoardSettings {
  Text pinnedText;
  std::int32_t pageSize = 20;
  std::int32_t fontSize = 14;
  Text indexColor = "#800080";
  Text nicknameColor = "#000000";
  Text contentColor = "#000000";
  Text borderColor = "#FF00FF";
};

struct BoardState {
  Text boardText;
  std::vector<BoardEntry> entries;  // newest first
  std::int32_t entryCount = 0;
  BoardSettings settings;
  std::vector<Text> pages;  // one HTML fragment per page, page 1 first
  std::int32_t currentPage = 1;
  bool qqMode = false;
  bool postAllowed = true;
};

// One entry: nickname field, "-", content, "\", time, "|"; "." takes line breaks too.
inline constexpr std::string_view kEntryPattern = R"((.+?)\-(.+?)\\(.+?)\|)";

// The entries of a board text, newest first; empty when it holds none.
std::vector<BoardEntry> ParseBoardEntries(std::string_view boardText);

// The setting tokens, numbered as ReadBoardSetting takes them.
enum BoardToken {
  kTokenPinnedText = 1,
  kTokenPageSize,
  kTokenFontSize,
  kTokenIndexColor,
  kTokenNicknameColor,
  kTokenContentColor,
  kTokenBorderColor,
};

// The value of setting `token` (1 to 7) in the board text: its first occurrence, or the setting's
// default ("" for the pinned text, and for a number outside 1 to 7).
Text ReadBoardSetting(std::string_view boardText, int token);

// All seven settings of a board text as the page uses them. A page size below 1 counts as 20 (a token
// of 0 or no number would leave no page at all); a colour that is not "#" with 3 or 6 hexadecimal
// digits or a plain colour word keeps its default, so that no token can write markup into the page.
BoardSettings ReadBoardSettings(std::string_view boardText);

// Whether `colour` is a colour the page may carry: "#" with 3 or 6 hexadecimal digits, or a word of
// ASCII letters.
bool IsSafeColour(std::string_view colour);

}  // namespace sarvoke
