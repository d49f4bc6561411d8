#include "mailbox.h"

#include <fcntl.h>
#include <grp.h>
#include <iconv.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

namespace sarvoke::lab {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// lab/mail: the Dovecot configuration template and the SMTP server (the path is fixed at build time).
const char* const kMailSourceDir = SARVOKE_LAB_MAIL_DIR;
const char* const kDovecot = "/usr/sbin/dovecot";
// Debian's interpreter, which has python3-aiosmtpd; a python3 earlier on PATH may be another one.
const char* const kPython = "/usr/bin/python3";
// Generous: a loaded CI machine may take a while to start an interpreter. A normal start takes tenths.
constexpr auto kStartLimit = std::chrono::seconds(20);
constexpr int kPortTries = 5;

std::string Base64(const std::string& bytes, std::size_t lineLength) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out, line;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::uint32_t b0 = static_cast<unsigned char>(bytes[i]);
    const std::uint32_t b1 = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
    const std::uint32_t b2 = i + 2 < bytes.size() ? static_cast<unsigned char>(bytes[i + 2]) : 0;
    const std::uint32_t v = b0 << 16 | b1 << 8 | b2;
    line += kDigits[v >> 18 & 63];
    line += kDigits[v >> 12 & 63];
    line += i + 1 < bytes.size() ? kDigits[v >> 6 & 63] : '=';
    line += i + 2 < bytes.size() ? kDigits[v & 63] : '=';
    if (lineLength > 0 && line.size() >= lineLength) {
      out += line + "\r\n";
      line.clear();
    }
  }
  if (!line.empty()) out += line + (lineLength > 0 ? "\r\n" : "");
  return out;
}

// Length of the UTF-8 sequence at `p` (at most `left` bytes), or 1 when it is not a valid one.
std::size_t Utf8SequenceLength(const unsigned char* p, std::size_t left) {
  const std::size_t n = p[0] < 0x80         ? 1
                        : (p[0] >> 5) == 6  ? 2
                        : (p[0] >> 4) == 14 ? 3
                        : (p[0] >> 3) == 30 ? 4
                                            : 1;
  if (n > left) return 1;
  for (std::size_t i = 1; i < n; ++i)
    if ((p[i] & 0xC0) != 0x80) return 1;
  return n;
}

std::uint64_t Fnv1a(const std::string& s) {
  std::uint64_t h = 14695981039346656037ull;
  for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
  return h;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string ReplaceAll(std::string s, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size())
    s.replace(at, from.size(), to);
  return s;
}

// Binds an ephemeral loopback port and lets it go again, for a server started by another process. Another
// process may take it meanwhile; the callers then try again with a new one.
int PickLoopbackPort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
    port = ntohs(addr.sin_port);
  close(fd);
  return port;
}

// A connection with timeouts, to a loopback port or a unix socket; -1 when refused.
int Connect(int port, const std::string& unixPath) {
  const int fd = socket(unixPath.empty() ? AF_INET : AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  timeval tv{10, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  int rc;
  if (unixPath.empty()) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    rc = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  } else {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (unixPath.size() >= sizeof addr.sun_path) {
      close(fd);
      return -1;
    }
    std::memcpy(addr.sun_path, unixPath.c_str(), unixPath.size() + 1);
    rc = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  }
  if (rc != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool SendAll(int fd, const std::string& data) {
  for (std::size_t sent = 0; sent < data.size();) {
    const ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

// Reads one SMTP-style reply (continuation lines "250-…", last line "250 …"); its code, or -1.
int ReadReply(int fd, std::string& buffer) {
  for (;;) {
    const auto eol = buffer.find("\r\n");
    if (eol != std::string::npos) {
      const std::string line = buffer.substr(0, eol);
      buffer.erase(0, eol + 2);
      if (line.size() < 3) return -1;
      if (line.size() > 3 && line[3] == '-') continue;
      return std::atoi(line.substr(0, 3).c_str());
    }
    char chunk[4096];
    const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0) return -1;
    buffer.append(chunk, static_cast<std::size_t>(n));
  }
}

// True when the server on the port (or unix socket) greets with a line that starts with `greeting`.
bool Greets(int port, const std::string& unixPath, const std::string& greeting) {
  const int fd = Connect(port, unixPath);
  if (fd < 0) return false;
  std::string line;
  char c;
  while (line.size() < 512 && recv(fd, &c, 1, 0) == 1 && c != '\n') line += c;
  SendAll(fd, "QUIT\r\n");
  close(fd);
  return line.compare(0, greeting.size(), greeting) == 0;
}

// Starts argv in a process group of its own, standard output and error appended to `outPath`. The child
// gets SIGTERM when the starting thread ends, so that no server outlives a killed lab.
pid_t Spawn(const std::vector<std::string>& argv, const std::string& outPath) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
  const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  const pid_t parent = getpid();
  pid_t pid = -1;
  if (devNull >= 0 && out >= 0) pid = fork();
  if (pid == 0) {
    // Only async-signal-safe calls from here to exec: other threads of the lab may hold locks.
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    dup2(devNull, 0);
    dup2(out, 1);
    dup2(out, 2);
    // The lab's own listening sockets must not live on in a server.
    close_range(3, ~0u, 0);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int sig : {SIGPIPE, SIGTERM, SIGINT, SIGHUP, SIGCHLD}) signal(sig, SIG_DFL);
    execv(args[0], args.data());
    _exit(127);
  }
  if (pid > 0) setpgid(pid, pid);  // also here, so that a kill right after fork reaches the group
  if (devNull >= 0) close(devNull);
  if (out >= 0) close(out);
  return pid;
}

// True once the child has exited (it is not reaped, so its process group id stays reserved).
bool Exited(pid_t pid) {
  siginfo_t info{};
  return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid == pid;
}

// Ends a child's whole process group: SIGTERM for a tidy shutdown, then SIGKILL for whatever is left.
void Terminate(pid_t& pid) {
  if (pid <= 0) return;
  kill(-pid, SIGTERM);
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (!Exited(pid) && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  kill(-pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  pid = -1;
}

enum class Readiness { Ready, Exited, TimedOut };

Readiness AwaitReady(pid_t pid, const std::function<bool()>& answers) {
  const auto deadline = Clock::now() + kStartLimit;
  while (Clock::now() < deadline) {
    if (answers()) return Readiness::Ready;
    if (Exited(pid)) return Readiness::Exited;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return Readiness::TimedOut;
}

std::string LastLines(const std::string& path, int count) {
  const std::string text = ReadWholeFile(path);
  std::size_t at = text.size();
  for (int i = 0; i <= count && at > 0; ++i) at = text.rfind('\n', at - 1);
  return at == std::string::npos ? text : text.substr(at + 1);
}

// Two earlier boards: a reader that takes anything but the newest mail shows one of these.
const char* const kOlderBoards[] = {
    "老张-这是最早的一封留言板，不该出现在页面上\\2013-01-05 09:00:00|{条数}(2)",
    "老张-这是较早的一封留言板，也不该出现\\2013-03-10 10:00:00|老李-旧留言\\2013-03-11 11:00:00|"};
const char* const kOlderDates[] = {"Sat, 05 Jan 2013 09:00:00 +0800", "Mon, 11 Mar 2013 11:00:00 +0800"};

}  // namespace

std::string Utf8ToGbk(const std::string& utf8) {
  const iconv_t cd = iconv_open("GBK", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return utf8;
  std::string out;
  char* in = const_cast<char*>(utf8.data());
  std::size_t inLeft = utf8.size();
  while (inLeft > 0) {
    char buffer[4096];
    char* o = buffer;
    std::size_t oLeft = sizeof buffer;
    const std::size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
    out.append(buffer, static_cast<std::size_t>(o - buffer));
    if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
      out += '?';
      const std::size_t skip = Utf8SequenceLength(reinterpret_cast<unsigned char*>(in), inLeft);
      in += skip;
      inLeft -= skip;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}

std::string SeedMail(const std::string& utf8Board, const std::string& address, const std::string& date) {
  const std::string body = Utf8ToGbk(utf8Board);
  const auto at = address.find('@');
  const std::string domain = at == std::string::npos ? "lab.sarvoke.test" : address.substr(at + 1);
  char id[17];
  std::snprintf(id, sizeof id, "%016llx", static_cast<unsigned long long>(Fnv1a(date + body)));
  return "From: " + address + "\r\nTo: " + address + "\r\nSubject: =?gb2312?B?" +
         Base64(Utf8ToGbk("留言板"), 0) + "?=\r\nDate: " + date + "\r\nMessage-ID: <" + id + "@" + domain +
         ">\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=gb2312\r\n"
         "Content-Transfer-Encoding: base64\r\n\r\n" +
         Base64(body, 76);
}

struct Mailbox::Impl {
  std::string address, password;
  std::string dir;  // the temporary folder; empty while stopped
  std::string loginUser, internalUser, mailUser, mailGroup;
  uid_t mailUid = 0;
  gid_t mailGid = 0;
  mutable std::mutex mutex;

  std::string Maildir() const { return dir + "/Maildir"; }
  std::string LmtpSocket() const { return dir + "/lmtp/lmtp"; }

  // Says what failed, with the end of the log that tells why.
  static void Complain(const std::string& what, const std::string& logPath) {
    if (!what.empty()) std::fprintf(stderr, "sarvoke-lab: %s\n", what.c_str());
    if (!logPath.empty()) std::fprintf(stderr, "%s", LastLines(logPath, 10).c_str());
  }

  bool ChooseUsers() {
    if (geteuid() == 0) {
      // getpwnam's record is overwritten by the next call: take what is needed at once.
      const passwd* mail = getpwnam("mail");
      if (mail) {
        mailUid = mail->pw_uid;
        mailGid = mail->pw_gid;
      }
      if (!mail || !getpwnam("dovenull") || !getpwnam("dovecot")) {
        Complain("the users dovenull, dovecot and mail are missing (is dovecot-core installed?)", "");
        return false;
      }
      loginUser = "dovenull";
      internalUser = "dovecot";
      mailUser = "mail";
    } else {
      const passwd* me = getpwuid(geteuid());
      if (!me) return false;
      loginUser = internalUser = mailUser = me->pw_name;
      mailUid = geteuid();
      mailGid = getegid();
    }
    const group* g = getgrgid(mailGid);
    mailGroup = g ? g->gr_name : std::to_string(mailGid);
    return true;
  }

  bool MakeFolder() {
    std::string tmpl = (fs::temp_directory_path() / "sarvoke-lab-mail-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) return false;
    dir = tmpl;
    // Dovecot's unprivileged processes walk through it to the mail and the sockets.
    chmod(dir.c_str(), 0755);
    std::ofstream(dir + "/passwd") << address << ":{PLAIN}" << password << "::::::\n";
    std::error_code ec;
    for (const char* sub : {"", "/cur", "/new", "/tmp"}) {
      fs::create_directories(Maildir() + sub, ec);
      if (ec || chown((Maildir() + sub).c_str(), mailUid, mailGid) != 0) return false;
    }
    return true;
  }

  bool WriteDovecotConfig(const std::string& instance, int port) {
    std::string text = ReadWholeFile(std::string(kMailSourceDir) + "/dovecot.conf.in");
    if (text.empty()) return false;
    for (const auto& [key, value] :
         std::vector<std::pair<std::string, std::string>>{{"@DIR@", dir},
                                                          {"@INSTANCE@", instance},
                                                          {"@PROTOCOL@", instance},
                                                          {"@POP3_PORT@", std::to_string(port)},
                                                          {"@LOGIN_USER@", loginUser},
                                                          {"@INTERNAL_USER@", internalUser},
                                                          {"@MAIL_USER@", mailUser},
                                                          {"@MAIL_GROUP@", mailGroup}})
      text = ReplaceAll(text, key, value);
    std::ofstream out(dir + "/" + instance + ".conf", std::ios::trunc);
    out << text;
    return static_cast<bool>(out.flush());
  }

  // One server process: what it is, how to configure and start it on a port, and how it greets.
  struct Server {
    const char* what;
    bool tcp;  // listens on a loopback port (LMTP has a unix socket)
    std::function<bool(int)> configure;
    std::function<std::vector<std::string>(int)> argv;
    std::function<bool(int)> answers;
    std::string logPath, outPath;
    pid_t pid = -1;
    int port = 0;
  };
  Server lmtp, pop3, smtp;

  void DescribeServers() {
    lmtp = {"Dovecot's LMTP",
            false,
            [this](int) { return WriteDovecotConfig("lmtp", 0); },
            [this](int) {
              return std::vector<std::string>{kDovecot, "-F", "-c", dir + "/lmtp.conf"};
            },
            [this](int) { return Greets(0, LmtpSocket(), "220"); },
            dir + "/lmtp.log",
            dir + "/lmtp.out"};
    pop3 = {"Dovecot's POP3",
            true,
            [this](int port) { return WriteDovecotConfig("pop3", port); },
            [this](int) {
              return std::vector<std::string>{kDovecot, "-F", "-c", dir + "/pop3.conf"};
            },
            [](int port) { return Greets(port, "", "+OK"); },
            dir + "/pop3.log",
            dir + "/pop3.out"};
    smtp = {"the SMTP server",
            true,
            [](int) { return true; },
            [this](int port) {
              return std::vector<std::string>{kPython,
                                              "-I",
                                              std::string(kMailSourceDir) + "/smtp_server.py",
                                              "--port",
                                              std::to_string(port),
                                              "--account",
                                              address,
                                              "--password",
                                              password,
                                              "--lmtp",
                                              LmtpSocket()};
            },
            [](int port) { return Greets(port, "", "220"); },
            dir + "/smtp.out",
            dir + "/smtp.out"};
  }

  // Starts a server without waiting for it; for a TCP server, port 0 means a freshly picked one.
  static bool Launch(Server& s, int port) {
    if (s.tcp && port == 0) port = PickLoopbackPort();
    if ((s.tcp && port <= 0) || !s.configure(port)) return false;
    s.port = port;
    s.pid = Spawn(s.argv(port), s.outPath);
    return s.pid > 0;
  }

  // Waits until a launched server answers. One that exits at once lost its port to another process
  // meanwhile, and is launched again on a fresh port.
  static bool AwaitStarted(Server& s) {
    for (int attempt = 1;; ++attempt) {
      const Readiness r =
          s.pid > 0 ? AwaitReady(s.pid, [&s] { return s.answers(s.port); }) : Readiness::Exited;
      if (r == Readiness::Ready) return true;
      Terminate(s.pid);
      if (r == Readiness::TimedOut || !s.tcp || attempt == kPortTries || !Launch(s, 0)) break;
    }
    Complain(std::string(s.what) + " did not start", s.logPath);
    if (s.outPath != s.logPath) Complain("", s.outPath);
    return false;
  }

  // The three start side by side: the interpreter takes longest, and Dovecot need not wait for it.
  bool StartServers() {
    DescribeServers();
    for (Server* s : {&lmtp, &pop3, &smtp}) Launch(*s, 0);
    return AwaitStarted(lmtp) && AwaitStarted(pop3) && AwaitStarted(smtp);
  }

  void StopAll() {
    for (Server* s : {&smtp, &pop3, &lmtp}) Terminate(s->pid);
    if (!dir.empty()) {
      std::error_code ec;
      fs::remove_all(dir, ec);
      dir.clear();
    }
  }

  bool Deliver(const std::string& mail) {
    const int fd = Connect(0, LmtpSocket());
    if (fd < 0) return false;
    // Dot-stuffed, CR LF line ends, as DATA wants it.
    std::string data;
    std::size_t from = 0;
    while (from < mail.size()) {
      auto eol = mail.find('\n', from);
      std::string line = mail.substr(from, eol == std::string::npos ? std::string::npos : eol - from);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty() && line[0] == '.') data += '.';
      data += line + "\r\n";
      from = eol == std::string::npos ? mail.size() : eol + 1;
    }
    std::string buffer;
    const bool ok = ReadReply(fd, buffer) == 220 && SendAll(fd, "LHLO lab.sarvoke.test\r\n") &&
                    ReadReply(fd, buffer) == 250 && SendAll(fd, "MAIL FROM:<" + address + ">\r\n") &&
                    ReadReply(fd, buffer) == 250 && SendAll(fd, "RCPT TO:<" + address + ">\r\n") &&
                    ReadReply(fd, buffer) == 250 && SendAll(fd, "DATA\r\n") && ReadReply(fd, buffer) == 354 &&
                    SendAll(fd, data + ".\r\n") && ReadReply(fd, buffer) == 250;
    SendAll(fd, "QUIT\r\n");
    close(fd);
    return ok;
  }
};

Mailbox::Mailbox(std::string address, std::string password) : impl_(std::make_unique<Impl>()) {
  impl_->address = std::move(address);
  impl_->password = std::move(password);
}

Mailbox::~Mailbox() { Stop(); }

bool Mailbox::Start() {
  std::lock_guard lock(impl_->mutex);
  if (!impl_->dir.empty()) return true;
  for (const char* program : {kDovecot, kPython}) {
    if (access(program, X_OK) != 0) {
      Impl::Complain(std::string(program) + " is missing (scripts/install-deps installs it)", "");
      return false;
    }
  }
  if (!impl_->ChooseUsers()) return false;
  if (!impl_->MakeFolder()) {
    Impl::Complain("cannot make the mailbox's folder", "");
    impl_->StopAll();
    return false;
  }
  if (!impl_->StartServers()) {
    impl_->StopAll();
    return false;
  }
  return true;
}

void Mailbox::Stop() {
  std::lock_guard lock(impl_->mutex);
  impl_->StopAll();
}

int Mailbox::Pop3Port() const { return impl_->pop3.port; }
int Mailbox::SmtpPort() const { return impl_->smtp.port; }
const std::string& Mailbox::Address() const { return impl_->address; }
std::string Mailbox::MaildirPath() const { return impl_->Maildir(); }

bool Mailbox::AddMail(const std::string& rfc5322) {
  std::lock_guard lock(impl_->mutex);
  return !impl_->dir.empty() && impl_->Deliver(rfc5322);
}

bool Mailbox::Seed(const std::string& utf8Board) {
  for (int i = 0; i < 2; ++i)
    if (!AddMail(SeedMail(kOlderBoards[i], impl_->address, kOlderDates[i]))) return false;
  return AddMail(SeedMail(utf8Board, impl_->address));
}

bool Mailbox::Clear() {
  std::lock_guard lock(impl_->mutex);
  if (impl_->dir.empty()) return false;
  std::error_code ec;
  bool ok = true;
  for (const char* sub : {"/new", "/cur"}) {
    for (const auto& entry : fs::directory_iterator(impl_->Maildir() + sub, ec))
      if (entry.is_regular_file()) ok = fs::remove(entry.path(), ec) && ok;
  }
  return ok && !ec;
}

int Mailbox::Count() const {
  std::lock_guard lock(impl_->mutex);
  if (impl_->dir.empty()) return 0;
  int count = 0;
  std::error_code ec;
  for (const char* sub : {"/new", "/cur"}) {
    for (const auto& entry : fs::directory_iterator(impl_->Maildir() + sub, ec))
      if (entry.is_regular_file()) ++count;
  }
  return count;
}

void Mailbox::StopPop3() {
  std::lock_guard lock(impl_->mutex);
  Terminate(impl_->pop3.pid);
}

bool Mailbox::StartPop3() {
  std::lock_guard lock(impl_->mutex);
  if (impl_->dir.empty()) return false;
  if (impl_->pop3.pid > 0) return true;
  Impl::Launch(impl_->pop3, impl_->pop3.port);
  return Impl::AwaitStarted(impl_->pop3);
}

}  // namespace sarvoke::lab
