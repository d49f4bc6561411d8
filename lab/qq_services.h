// The QQ web services the board uses when a poster has a QQ number: the nickname of a number, the
// server's time and the avatar pictures. The nickname service answers in code page 936 (GBK), as the real one
// does; some numbers have nicknames with Chinese, with HTML, or with the characters that separate the board's
// entries.
#pragma once

#include <atomic>
#include <functional>
#include <string>

namespace httplib {
class Server;
struct Request;
}  // namespace httplib

namespace sarvoke::lab {

// The nickname the service gives a number (UTF-8); "" for a number it does not know.
std::string QqNickname(const std::string& number);

// What tests switch in the services while they run.
struct QqServiceModes {
  std::atomic<bool> emptyTime{false};  // the time service answers with an empty body
  // The avatar of this number answers after `slowAvatarMs` (0: no number is slow).
  std::atomic<long long> slowAvatarNumber{0};
  std::atomic<int> slowAvatarMs{0};
};

// "/fcg-bin/cgi_get_portrait.fcg", "/cgi-bin/cgi_svrtime", the chat link "/msgrd" and the avatars
// "/qzone/N/N/30", read from
// `avatarFolder`: N.png (10001: a palette with transparency; 20002: 16-bit grey), N.jpg (12345), a
// picture cut off in the middle (30003), and default.png for every other number, as the real service has.
void AddQqServiceRoutes(httplib::Server& server, const QqServiceModes& modes, std::string avatarFolder,
                        std::function<void(const httplib::Request&)> record);

}  // namespace sarvoke::lab
