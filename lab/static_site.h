// The static-content host: the board's pin icon ("/tb/static-frs/img/icon/zding.gif", asked for with
// "?v=1"), a picture the lab draws itself.
#pragma once

#include <functional>
#include <string>

namespace httplib {
class Server;
struct Request;
}  // namespace httplib

namespace sarvoke::lab {

// The pin icon: a 16 × 16 GIF89a, a red drawing pin on a transparent ground.
std::string PinIconGif();

// Registers the static-content host on `server`; `record` is called with every request it answers.
void AddStaticSiteRoutes(httplib::Server& server, std::function<void(const httplib::Request&)> record);

}  // namespace sarvoke::lab
