// HttpFetch against the curl command-line tool: both fetch the same 100 MB body from a server on loopback
// in the same run, round after round, and the ratio of their median times is printed (the goal is at
// most 1.15). HttpFetch holds the whole body in memory, as its callers need it; curl writes to /dev/null.
// The time of a round ends when the body is in hand; releasing it is the caller's business.
//
//   build/bench/http_fetch_bench [rounds=9] [megabytes=100]
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "net/http_fetch.h"
#include "support/raw_http_server.h"

extern char** environ;

namespace {

double NowSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

// Runs `curl -s -o /dev/null URL`; false when it could not be run or failed.
bool RunCurl(const std::string& url) {
  std::string a0 = "curl", a1 = "-s", a2 = "-o", a3 = "/dev/null", a4 = url;
  char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data(), a4.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, "curl", nullptr, nullptr, argv, environ) != 0) return false;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace sarvoke;
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  const std::size_t megabytes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 100;
  const std::size_t size = megabytes * 1024 * 1024;

  auto body = std::make_shared<std::string>(size, '\0');
  for (std::size_t i = 0; i < size; ++i) (*body)[i] = static_cast<char>('a' + i % 26);
  RawReply reply;
  reply.bytes =
      "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " + std::to_string(size) +
      "\r\nConnection: close\r\n\r\n";
  reply.tail = body;
  RawHttpServer server([reply](const RawRequest&, int) { return reply; });
  const std::string url = server.Url("/big.bin");

  // One unmeasured round each, so that both start with warm caches.
  if (HttpFetch(url).size() != size || !RunCurl(url)) {
    std::fprintf(stderr, "http_fetch_bench: the warm-up fetch failed\n");
    return 1;
  }
  std::printf("body %zu MB over loopback, %d rounds\n", megabytes, rounds);
  std::printf("%5s %12s %12s\n", "round", "HttpFetch s", "curl s");
  std::vector<double> ours, theirs;
  for (int r = 1; r <= rounds; ++r) {
    // The two take turns at going first, so that neither always follows the other.
    double a = 0, b = 0;
    std::size_t got = 0;
    bool curlOk = false;
    auto ourRound = [&] {
      const double t = NowSeconds();
      Bytes fetched = HttpFetch(url);
      a = NowSeconds() - t;
      got = fetched.size();
    };
    auto curlRound = [&] {
      const double t = NowSeconds();
      curlOk = RunCurl(url);
      b = NowSeconds() - t;
    };
    if (r % 2) {
      ourRound();
      curlRound();
    } else {
      curlRound();
      ourRound();
    }
    if (got != size || !curlOk) {
      std::fprintf(stderr, "http_fetch_bench: round %d failed\n", r);
      return 1;
    }
    ours.push_back(a);
    theirs.push_back(b);
    std::printf("%5d %12.3f %12.3f\n", r, a, b);
  }
  const double mo = Median(ours), mt = Median(theirs);
  const double bo = *std::min_element(ours.begin(), ours.end()),
               bt = *std::min_element(theirs.begin(), theirs.end());
  std::printf("best %13.3f %12.3f   ratio %.3f\n", bo, bt, bo / bt);
  std::printf("median %11.3f %12.3f\n", mo, mt);
  std::printf("throughput   HttpFetch %.0f MB/s, curl %.0f MB/s\n", megabytes / mo, megabytes / mt);
  std::printf("ratio HttpFetch / curl = %.3f (goal <= 1.15)\n", mo / mt);
  return 0;
}
