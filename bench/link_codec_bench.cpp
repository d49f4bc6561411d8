// The Base64 decoder against coreutils `base64 -d`: a 1 MB text of random bytes, and a 1 MB Thunder link
// turned back into its address by ConvertLink. The peer is timed as a whole process, as a user runs it;
// its start on an empty file is shown beside it, so that the reader sees what part of it is process start.
// Last, the decoder runs once more with an event pump installed, as on the GUI thread, and the number of
// pump calls per MB is printed. Goal: at most 3 times the time of `base64 -d`.
//
//   build/bench/link_codec_bench [rounds=15]
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/event_pump.h"
#include "share/link_codecs.h"

extern char** environ;

namespace {

// <chrono> does not compile under the project's code page flag, so the clock is read directly.
double NowSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Runs `base64 -d FILE` with its output to `out`; false when it could not be run or failed.
bool RunBase64Decode(const std::string& file, const char* out = "/dev/null") {
  std::string a0 = "base64", a1 = "-d", a2 = file;
  char* argv[] = {a0.data(), a1.data(), a2.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, "base64", &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return false;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Seconds of one run of `base64 -d FILE` to /dev/null, or -1 when it failed.
double TimeBase64(const std::string& file) {
  const double t = NowSeconds();
  return RunBase64Decode(file) ? NowSeconds() - t : -1;
}

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  return static_cast<bool>(out.flush());
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A small fixed generator: the same text every run.
struct XorShift {
  std::uint64_t s = 0x9E3779B97F4A7C15ull;
  std::uint64_t Next() {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return s;
  }
};

// What a GUI thread's pump does at the least: look whether its display connection has something to read.
struct PipePump {
  int fds[2] = {-1, -1};
  long calls = 0;
  void operator()() {
    ++calls;
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, 0) > 0 && (p.revents & POLLIN)) {
      char b[64];
      if (read(fds[0], b, sizeof b) < 0) return;
    }
  }
};

// The texts' files, removed on every way out.
struct TempFiles {
  std::vector<std::string> paths;
  ~TempFiles() {
    for (const auto& p : paths) std::remove(p.c_str());
  }
};

struct Figures {
  double ours = 0, peer = 0;
};

// Median times of `ours` and of `base64 -d FILE` over the rounds, taking turns at going first.
template <typename F>
bool Measure(int rounds, const std::string& file, Figures& f, F ours) {
  std::vector<double> a, b;
  for (int r = 0; r < rounds; ++r) {
    double ta = 0, tb = 0;
    auto oursRound = [&] {
      const double t = NowSeconds();
      ours();
      ta = NowSeconds() - t;
    };
    if (r % 2) {
      oursRound();
      tb = TimeBase64(file);
    } else {
      tb = TimeBase64(file);
      oursRound();
    }
    if (tb < 0) return false;
    a.push_back(ta);
    b.push_back(tb);
  }
  f.ours = Median(a);
  f.peer = Median(b);
  return true;
}

void PrintPair(const char* ours, const Figures& f) {
  std::printf("  %-34s %8.3f ms\n", ours, f.ours * 1e3);
  std::printf("  %-34s %8.3f ms\n", "base64 -d, whole process", f.peer * 1e3);
  std::printf("  %-34s %8.2f\n", "ratio ours / base64 -d", f.ours / f.peer);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace sarvoke;
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  const std::string base = "/tmp/sarvoke-link-codec-bench-" + std::to_string(getpid());
  const std::string textFile = base + ".b64", linkFile = base + ".link.b64", emptyFile = base + ".empty",
                    checkFile = base + ".check";
  const TempFiles files{{textFile, linkFile, emptyFile, checkFile}};

  // 768 KiB of random bytes make exactly 1 MiB of Base64.
  constexpr std::size_t kTextSize = 1 << 20, kByteCount = kTextSize / 4 * 3;
  XorShift random;
  Bytes bytes(kByteCount);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(random.Next() >> 32);
  const Text text = Base64Encode(bytes);

  // The Thunder link: "AA" + address + "ZZ" in Base64, an address of printable ASCII; 1 MiB of Base64 too.
  Text address = "http://";
  while (address.size() < kByteCount - 4) address.push_back(static_cast<char>(0x21 + random.Next() % 94));
  const Text thunderBase64 = Base64Encode(BytesFromText("AA" + address + "ZZ"));
  const Text link = "thunder://" + thunderBase64;

  if (!WriteFile(textFile, text) || !WriteFile(linkFile, thunderBase64) || !WriteFile(emptyFile, "")) {
    std::fprintf(stderr, "link_codec_bench: cannot write the texts under /tmp\n");
    return 1;
  }
  // One unmeasured round of each, which also checks that both give the same bytes.
  const bool peerOk = RunBase64Decode(textFile, checkFile.c_str()) &&
                      ReadFile(checkFile) == std::string(bytes.begin(), bytes.end());
  const bool oursOk = Base64Decode(text) == bytes && ConvertLink(link, Plain) == address;
  if (!peerOk || !oursOk || TimeBase64(linkFile) < 0 || TimeBase64(emptyFile) < 0) {
    std::fprintf(stderr, "link_codec_bench: the warm-up round failed (%s)\n", peerOk ? "ours" : "base64 -d");
    return 1;
  }

  std::printf("%zu bytes of Base64 text, %d rounds, medians\n", text.size(), rounds);
  std::vector<double> starts;
  for (int r = 0; r < rounds; ++r) starts.push_back(TimeBase64(emptyFile));
  const double start = Median(starts);

  Figures plain, thunder, pumped, pumpedThunder;
  std::size_t sink = 0;
  bool ok = Measure(rounds, textFile, plain, [&] { sink += Base64Decode(text).size(); });
  ok = ok && Measure(rounds, linkFile, thunder, [&] { sink += ConvertLink(link, Plain).size(); });

  PipePump pump;
  if (pipe(pump.fds) != 0) return 1;
  SetEventPump([&pump] { pump(); });
  ok = ok && Measure(rounds, textFile, pumped, [&] { sink += Base64Decode(text).size(); });
  const long calls = pump.calls;
  ok = ok && Measure(rounds, linkFile, pumpedThunder, [&] { sink += ConvertLink(link, Plain).size(); });
  SetEventPump(nullptr);
  close(pump.fds[0]);
  close(pump.fds[1]);
  if (!ok) {
    std::fprintf(stderr, "link_codec_bench: base64 -d failed\n");
    return 1;
  }

  std::printf("base64 -d of an empty file (process start)   %8.3f ms\n", start * 1e3);
  std::printf("Base64Decode of the text:\n");
  PrintPair("Base64Decode", plain);
  std::printf("  process start is %.0f%% of base64 -d's time\n", 100 * start / plain.peer);
  std::printf("ConvertLink(thunder link, plain) beside base64 -d of its Base64 part:\n");
  PrintPair("ConvertLink", thunder);
  const double megabytes = text.size() / double(1 << 20);
  std::printf("with an event pump installed (polls a pipe), %.1f calls per MB of text:\n",
              calls / (rounds * megabytes));
  PrintPair("Base64Decode", pumped);
  PrintPair("ConvertLink", pumpedThunder);
  // The headline compares with the whole process; the figure less its start is context only.
  auto verdict = [](double r) { return r <= 3 ? "met" : "NOT met"; };
  std::printf("Base64Decode / base64 -d (whole process) = %.2f, with the pump %.2f: goal <= 3 %s\n",
              plain.ours / plain.peer, pumped.ours / pumped.peer, verdict(pumped.ours / pumped.peer));
  std::printf("ConvertLink / base64 -d (whole process)  = %.2f, with the pump %.2f: goal <= 3 %s\n",
              thunder.ours / thunder.peer, pumpedThunder.ours / pumpedThunder.peer,
              verdict(pumpedThunder.ours / pumpedThunder.peer));
  if (plain.peer > start && thunder.peer > start)
    std::printf("for context, against base64 -d less its start: Base64Decode %.2f, ConvertLink %.2f\n",
                plain.ours / (plain.peer - start), thunder.ours / (thunder.peer - start));
  return sink == 0;
}
