#include <curl/curl.h>

#include <string>

#include "platform/curl_pump.h"
#include "platform/pop3_client.h"

namespace sarvoke {

struct Pop3Connection {
  CURL* easy = nullptr;
  // Drives each command, so that the window keeps painting, and keeps the session's connection between
  // commands.
  CURLM* multi = nullptr;
  std::string base;  // pop3://host:port
  ~Pop3Connection() {
    // Cleaning up the multi handle ends its cached connection with QUIT.
    if (multi) curl_multi_cleanup(multi);
    if (easy) curl_easy_cleanup(easy);
  }
};

Pop3Session::Pop3Session() = default;
Pop3Session::~Pop3Session() = default;
void Pop3Session::Reset(std::unique_ptr<Pop3Connection> c) { connection_ = std::move(c); }

namespace {

struct Sink {
  Bytes data;
  bool tooLong = false;
};

size_t OnData(char* p, size_t size, size_t count, void* user) {
  auto* s = static_cast<Sink*>(user);
  const size_t n = size * count;
  if (s->data.size() + n > kMaxMailBytes) {
    s->tooLong = true;
    return 0;
  }
  try {
    s->data.insert(s->data.end(), p, p + n);
  } catch (...) {
    return 0;
  }
  return n;
}

// One command on the session's connection; its answer (a retrieved mail) goes to `sink` when given.
bool Command(Pop3Connection& c, const std::string& path, const char* custom, bool noBody, Sink* sink) {
  Sink scratch;
  Sink& s = sink ? *sink : scratch;
  curl_easy_setopt(c.easy, CURLOPT_URL, (c.base + path).c_str());
  curl_easy_setopt(c.easy, CURLOPT_CUSTOMREQUEST, custom);
  curl_easy_setopt(c.easy, CURLOPT_NOBODY, noBody ? 1L : 0L);
  curl_easy_setopt(c.easy, CURLOPT_WRITEFUNCTION, OnData);
  curl_easy_setopt(c.easy, CURLOPT_WRITEDATA, &s);
  return PerformPumping(c.multi, c.easy) == CURLE_OK && !s.tooLong;
}

}  // namespace

bool Pop3Connect(Pop3Session& session, const Text& host, int port, const Text& user, const Text& password,
                 int waitMs) {
  session.Reset(nullptr);
  if (host.empty() || port < 1 || port > 65535) return false;
  static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  if (!initialised) return false;
  auto c = std::make_unique<Pop3Connection>();
  c->easy = curl_easy_init();
  if (!c->easy) return false;
  c->multi = curl_multi_init();
  // A host is a name or an address, never a path or a user part of the address.
  if (host.find_first_of("/@?#") != Text::npos) return false;
  c->base = "pop3://" + host + ":" + std::to_string(port);
  CURL* e = c->easy;
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "pop3");
  curl_easy_setopt(e, CURLOPT_USERNAME, user.c_str());
  curl_easy_setopt(e, CURLOPT_PASSWORD, password.c_str());
  curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(waitMs));
  // Every answer is due within the wait limit; a mail that comes slower than 100 bytes a second for 20 s
  // stops too, so that a server that drips it (a byte a second sits right on a limit of one) is given up
  // within half a minute (curl averages over a few seconds, which a quick start keeps up a little longer).
  curl_easy_setopt(e, CURLOPT_SERVER_RESPONSE_TIMEOUT, static_cast<long>((waitMs + 999) / 1000));
  curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 100L);
  curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, 20L);
  curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, 120000L);
  // NOOP logs in on a new connection and asks for nothing else.
  if (!Command(*c, "/", "NOOP", true, nullptr)) return false;
  session.Reset(std::move(c));
  return true;
}

bool Pop3Status(Pop3Session& session, int& count) {
  count = 0;
  Pop3Connection* c = session.connection();
  if (!c) return false;
  // STAT answers on its status line: it is sent without a body (else the client waits for a list), and
  // the line is read from the header callback.
  std::string line;
  auto onHeader = +[](char* p, size_t size, size_t n, void* user) -> size_t {
    static_cast<std::string*>(user)->append(p, size * n);
    return size * n;
  };
  curl_easy_setopt(c->easy, CURLOPT_HEADERFUNCTION, onHeader);
  curl_easy_setopt(c->easy, CURLOPT_HEADERDATA, &line);
  const bool ok = Command(*c, "/", "STAT", true, nullptr);
  curl_easy_setopt(c->easy, CURLOPT_HEADERFUNCTION, nullptr);
  curl_easy_setopt(c->easy, CURLOPT_HEADERDATA, nullptr);
  if (!ok) return false;
  // "+OK 3 1024": the last status line the server sent.
  const auto at = line.rfind("+OK ");
  if (at == std::string::npos) return false;
  long long n = 0;
  std::size_t i = at + 4;
  for (; i < line.size() && line[i] >= '0' && line[i] <= '9' && n < INT32_MAX; ++i)
    n = n * 10 + (line[i] - '0');
  if (i == at + 4) return false;
  count = static_cast<int>(std::min<long long>(n, INT32_MAX));
  return true;
}

Bytes Pop3Retrieve(Pop3Session& session, int number) {
  Pop3Connection* c = session.connection();
  if (!c || number < 1) return {};
  Sink sink;
  if (!Command(*c, "/" + std::to_string(number), nullptr, false, &sink)) return {};
  return std::move(sink.data);
}

void Pop3Quit(Pop3Session& session) { session.Reset(nullptr); }

}  // namespace sarvoke
