#include "board/board_post.h"

#include "board/board_controls.h"
#include "board/board_format.h"
#include "board/board_refresh.h"
#include "net/endpoints.h"
#include "net/http_fetch.h"
#include "platform/mail_text.h"
#include "platform/pop3_client.h"
#include "platform/read_url.h"
#include "platform/smtp_client.h"
#include "text/date_time.h"
#include "text/text_between.h"

namespace sarvoke {
namespace {

// The QQ time and nickname services answer a few bytes; a post waits for each at most this long, so that
// services that never answer cannot keep the window busy for the HTTP stack's minute each.
constexpr long kQqServiceDeadlineMs = 10000;

constexpr std::string_view kReservedMessage = "昵称和留言内容中不可以出现-、\\、|三个字符。";

bool HoldsReserved(std::string_view text) {
  return TextContains(text, "-") || TextContains(text, "\\") || TextContains(text, "|");
}

Text WithoutReserved(std::string_view text) {
  return TextReplaceAll(TextReplaceAll(TextReplaceAll(text, "-", ""), "\\", ""), "|", "");
}

}  // namespace

Text CheckBoardPost(const App& app, const Text& nickname, const Text& message) {
  if (!app.board.qqMode) {
    if (RemoveBlanks(nickname).empty()) return "请输入昵称。";
    if (HoldsReserved(nickname)) return Text(kReservedMessage);
    if (nickname.size() > 10) return "昵称最多输入5个汉字或10个英文字母。";
    if (nickname == "管理员") return "请勿冒充管理员。";
  }
  if (RemoveBlanks(message).empty()) return "请输入留言内容。";
  if (HoldsReserved(message)) return Text(kReservedMessage);
  if (message.size() > 60) return "留言内容最多输入30个汉字或60个英文字母。";
  if (!app.board.postAllowed) return "您提交速度过快，请稍等一会儿再提交。";
  return Text();
}

Text FetchQqNickname(const Text& qq) {
  const Text page = TextFromBytes(HttpFetch("http://" + CurrentEndpoints().qqProfileHost +
                                                "/fcg-bin/cgi_get_portrait.fcg?uins=" + qq + "&get_nick=1",
                                            {.deadlineMs = kQqServiceDeadlineMs}));
  // A nickname holding an entry's separators would cut every later reader's board in the wrong place.
  return WithoutReserved(TextBetween(page, ",\"", "\""));
}

Text FetchServerTime() {
  const Text text = TextFromBytes(
      ReadUrl("http://" + CurrentEndpoints().qqTimeHost + "/cgi-bin/cgi_svrtime", kQqServiceDeadlineMs));
  return TextReplaceAll(text, "\r\n", "");
}

Text LocalTimeText() {
  const TimeFields f = SplitTime(LocalNow());
  return f.year + "-" + f.month + "-" + f.day + " " + f.hour + ":" + f.minute + ":" + f.second;
}

void PostBoardEntry(App& app) {
  WindowModel& w = app.window;
  BoardState& b = app.board;
  const Text nickname = w.GetText(Text(kNicknameBox));
  const Text message = w.GetText(Text(kMessageBox));
  if (const Text refused = CheckBoardPost(app, nickname, message); !refused.empty()) {
    w.MessageBox(refused);
    return;
  }
  for (std::string_view button : kBoardButtons) w.SetDisabled(Text(button), true);
  const MailboxAccount& a = app.mailbox;
  Pop3Session session;
  bool readable = Pop3Connect(session, a.pop3Host, a.pop3Port, a.address, a.password, a.pop3WaitMs);
  int count = 0;
  readable = readable && Pop3Status(session, count);
  Bytes newest;
  if (readable && count > 0) {
    newest = Pop3Retrieve(session, count);
    readable = !newest.empty();
  }
  Pop3Quit(session);
  if (!readable) {
    // Mailing the new entry alone would take every earlier post from every reader's board.
    w.MessageBox(Text(kPostUnreadableBoard));
    RefreshBoard(app);
    return;
  }
  b.boardText = count > 0 ? MailBodyText(newest) : Text();
  std::vector<BoardEntry> entries = ParseBoardEntries(b.boardText);
  if (!entries.empty()) {
    b.entries = std::move(entries);
    b.boardText = TextReplaceAll(b.boardText, "\r\n", "");
  } else {
    b.boardText.clear();
  }
  Text time = FetchServerTime();
  // An empty time field would merge the entry with the next one for good.
  if (time.empty()) time = LocalTimeText();
  Text entry;
  if (b.qqMode) {
    const std::vector<Text> items = w.Items(Text(kQqChoice));
    const int chosen = w.GetSelected(Text(kQqChoice));
    const Text qq = chosen >= 0 && chosen < static_cast<int>(items.size()) ? items[chosen] : Text();
    const Endpoints e = CurrentEndpoints();
    entry = "<img src=\"http://" + e.qqAvatarHost + "/qzone/" + qq + "/" + qq + "/30\"/>" +
            FetchQqNickname(qq) + "(<a href=\"http://" + e.qqChatHost + "/msgrd?v=3&uin=" + qq +
            "&site=qq&menu=yes\">" + qq + "</a>)-" + message + "\\" + time + "|";
  } else {
    entry = nickname + "-" + message + "\\" + time + "|";
  }
  SmtpMail mail;
  mail.from = a.address;
  mail.to = a.address;
  mail.subject = "聊天内容";
  mail.body = b.boardText + entry;
  const Text error = SmtpSend(a.smtpHost, a.smtpPort, a.address, a.password, mail);
  if (error.empty()) {
    w.MessageBox(Text(kPostSucceeded));
    b.postAllowed = false;
    w.SetTimerPeriod(Text(kRateGate), kRateGateMs);
  } else {
    w.MessageBox(Text(kPostFailed));
  }
  RefreshBoard(app);
}

void RateGateTicked(App& app) {
  app.board.postAllowed = true;
  app.window.SetTimerPeriod(Text(kRateGate), 0);
}

void BindPostEvents(App& app) {
  App* a = &app;
  app.window.Bind("Velmora留言系统按钮13", Event::Clicked, [a](int) { PostBoardEntry(*a); });
  app.window.Bind(Text(kRateGate), Event::Tick, [a](int) { RateGateTicked(*a); });
}

}  // namespace sarvoke
