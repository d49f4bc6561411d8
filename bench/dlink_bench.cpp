// `sarvoke dlink` against curl: the whole process that fetches a share page from the lab and prints the
// file's direct link, beside curl fetching the same page, in the same run, round after round; the ratio of
// the medians is printed. Goal: at most 1.5.
//
//   build/bench/dlink_bench [rounds=15]
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "lab_server.h"

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

std::string ProgramPath() {
  char buffer[4096];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  std::string self(buffer, n > 0 ? n : 0);
  // build/bench/dlink_bench -> build/src/cli/sarvoke
  return std::filesystem::path(self).parent_path().parent_path() / "src/cli/sarvoke";
}

// Runs the command with its standard output to `out`; false when it could not be run or failed.
bool Run(std::vector<std::string> args, const char* out = "/dev/null") {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return false;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double Time(const std::vector<std::string>& args) {
  const double t = NowSeconds();
  return Run(args) ? NowSeconds() - t : -1;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  sarvoke::lab::LabServer lab(sarvoke::lab::LabOptions{});
  if (!lab.Start()) {
    std::fprintf(stderr, "dlink_bench: the lab did not start\n");
    return 1;
  }
  const std::string address = "http://" + lab.ShareSiteDomain() + "/share/link?shareid=1006&uk=2003";
  // The settings file is looked for in /tmp, so that a build folder's own settings change nothing.
  setenv("SARVOKE_RUN_DIRECTORY", "/tmp", 1);
  const std::vector<std::string> sarvoke = {ProgramPath(), "dlink", address};
  const std::vector<std::string> curl = {"curl", "-s", "-o", "/dev/null", address};

  // One unmeasured round each, so that both start with warm caches; the program must print a link.
  const std::string printed = "/tmp/sarvoke-dlink-bench-" + std::to_string(getpid()) + ".out";
  const bool ours = Run(sarvoke, printed.c_str());
  std::ifstream in(printed);
  const std::string link((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::remove(printed.c_str());
  if (!ours || link.find("http://") != 0 || !Run(curl)) {
    std::fprintf(stderr, "dlink_bench: the warm-up round failed (%s)\n", ours ? "curl" : "sarvoke dlink");
    return 1;
  }

  std::printf("share page %s, %d rounds\n", address.c_str(), rounds);
  std::printf("direct link %s", link.c_str());
  std::printf("%5s %14s %10s\n", "round", "sarvoke ms", "curl ms");
  std::vector<double> a, b;
  for (int r = 1; r <= rounds; ++r) {
    // The two take turns at going first, so that neither always follows the other.
    double ta = 0, tb = 0;
    if (r % 2) {
      ta = Time(sarvoke);
      tb = Time(curl);
    } else {
      tb = Time(curl);
      ta = Time(sarvoke);
    }
    if (ta < 0 || tb < 0) {
      std::fprintf(stderr, "dlink_bench: round %d failed\n", r);
      return 1;
    }
    a.push_back(ta);
    b.push_back(tb);
    std::printf("%5d %14.3f %10.3f\n", r, ta * 1e3, tb * 1e3);
  }
  const double ma = Median(a), mb = Median(b);
  std::printf("median %12.3f %10.3f\n", ma * 1e3, mb * 1e3);
  // For context, what each pays to start: a run that prints its usage and fetches nothing.
  std::vector<double> sa, sb;
  for (int r = 0; r < rounds; ++r) {
    sa.push_back(Time({ProgramPath(), "--help"}));
    sb.push_back(Time({"curl", "--help"}));
  }
  std::printf("start  %12.3f %10.3f   (sarvoke --help, curl --help)\n", Median(sa) * 1e3, Median(sb) * 1e3);
  std::printf("ratio sarvoke dlink / curl = %.2f: goal <= 1.5 %s\n", ma / mb,
              ma / mb <= 1.5 ? "met" : "NOT met");
  lab.Stop();
  return 0;
}
