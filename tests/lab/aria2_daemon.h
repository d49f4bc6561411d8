// A real aria2 daemon for the tests: `aria2c --enable-rpc` on a free loopback port, downloading into a
// folder of the test's, stopped when the object goes.
//
//   Aria2Daemon aria2(dir, "s3cret");
//   ASSERT_TRUE(aria2.ready) << aria2.problem;
//   aria2.RpcAddress()   // "http://127.0.0.1:PORT/jsonrpc"
#pragma once

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace sarvoke::test {

// A loopback port nobody listens on at the moment of asking.
inline int FreeLoopbackPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
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

inline bool Listening(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  close(fd);
  return ok;
}

struct Aria2Daemon {
  pid_t pid = -1;
  int port = 0;
  bool ready = false;
  std::string downloads, problem;

  Aria2Daemon(const std::string& folder, const std::string& secret) : downloads(folder + "/aria2") {
    std::filesystem::create_directories(downloads);
    port = FreeLoopbackPort();
    const std::string portArg = "--rpc-listen-port=" + std::to_string(port), dirArg = "--dir=" + downloads,
                      secretArg = "--rpc-secret=" + secret, log = folder + "/aria2.log";
    pid = fork();
    if (pid == 0) {
      const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (out >= 0) {
        dup2(out, 1);
        dup2(out, 2);
      }
      execlp("aria2c", "aria2c", "--no-conf", "--enable-rpc", "--rpc-listen-all=false", portArg.c_str(),
             dirArg.c_str(), secretArg.c_str(), "--auto-file-renaming=false", "--file-allocation=none",
             "--max-tries=1", static_cast<char*>(nullptr));
      _exit(127);
    }
    if (pid < 0) {
      problem = "fork failed";
      return;
    }
    for (int i = 0; i < 200 && !ready; ++i) {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == pid) {
        pid = -1;
        std::ifstream in(log);
        std::stringstream text;
        text << in.rdbuf();
        problem = "aria2c ended at start (is the Debian package aria2 installed?): " + text.str();
        return;
      }
      ready = Listening(port);
      if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!ready) problem = "aria2c did not listen on its port";
  }
  ~Aria2Daemon() {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
  }
  std::string RpcAddress() const { return "http://127.0.0.1:" + std::to_string(port) + "/jsonrpc"; }

  // Whether a file with exactly `bytes` stands in the download folder within `timeoutMs` (aria2 may show
  // a file before all of it is written); its name goes to `name`.
  bool FileArrives(const std::string& bytes, int timeoutMs, std::string* name = nullptr) const {
    for (int waited = 0;; waited += 50) {
      for (const auto& entry : std::filesystem::directory_iterator(downloads)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream content;
        content << in.rdbuf();
        if (content.str() != bytes) continue;
        if (name) *name = entry.path().filename().string();
        return true;
      }
      if (waited >= timeoutMs) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  // Whether the download folder is empty.
  bool NothingDownloaded() const { return std::filesystem::is_empty(downloads); }
};

}  // namespace sarvoke::test
