// The QQ web services the board uses when a poster has a QQ number: the nickname of a number and the
// server's time. The nickname service answers in code page 936 (GBK), as the real one does; some numbers
// have nicknames with Chinese, with HTML, or with the characters that separate the board's entries.
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

// "/fcg-bin/cgi_get_portrait.fcg" and "/cgi-bin/cgi_svrtime". With `emptyTime` set the time service
// answers with an empty body.
void AddQqServiceRoutes(httplib::Server& server, const std::atomic<bool>& emptyTime,
                        std::function<void(const httplib::Request&)> record);

}  // namespace sarvoke::lab
