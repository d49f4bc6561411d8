// The search against the lab: how much of one search is reading the page, and how the whole
// `sarvoke search` process compares with curl fetching the same address.
//   search_bench [ROUNDS]
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "lab_server.h"
#include "net/endpoints.h"
#include "search/result_parser.h"
#include "search/search_request.h"
#include "text/code_page.h"

namespace {

// <chrono> does not compile under the project's code page flag, so the clock is read directly.
struct Clock {
  using time_point = double;
  static double now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
  }
};
double Seconds(double a, double b) { return b - a; }

double TimeCommand(const std::string& command, int rounds) {
  const auto t0 = Clock::now();
  for (int i = 0; i < rounds; ++i)
    if (std::system(command.c_str()) == -1) return -1;
  return Seconds(t0, Clock::now()) / rounds;
}

std::string ProgramPath() {
  char buffer[4096];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  std::string self(buffer, n > 0 ? n : 0);
  // build/bench/search_bench -> build/src/cli/sarvoke
  return std::filesystem::path(self).parent_path().parent_path() / "src/cli/sarvoke";
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 20;
  // A catalogue of 120 shares that all match the word; the lab reads it as UTF-8.
  const std::string catalogue = "/tmp/sarvoke-bench-catalogue.tsv";
  {
    std::ofstream out(catalogue);
    const std::string user = sarvoke::AnsiToUtf8("bench用户"), file = sarvoke::AnsiToUtf8("bench 文件 第"),
                      episode = sarvoke::AnsiToUtf8("集.mp4");
    for (int i = 0; i < 120; ++i)
      out << 5000 + i << '\t' << 7000 + i % 7 << '\t' << user << i % 7 << '\t' << file << i << episode << '\t'
          << (100 + i % 40) << "M\t2013-04-01 10:" << (10 + i % 50) << '\t' << i * 3 << '\n';
  }
  sarvoke::lab::LabOptions options;
  options.catalogueFile = catalogue;
  sarvoke::lab::LabServer lab(options);
  if (!lab.Start()) return 1;
  sarvoke::Endpoints e = sarvoke::DefaultEndpoints();
  e.searchEngineHost = lab.SearchEngineHost();
  e.publisherHost = lab.PublisherHost();
  e.shareSiteDomain = lab.ShareSiteDomain();
  sarvoke::SetCurrentEndpoints(e);

  auto app = sarvoke::CreateApp("/tmp");
  sarvoke::AttachHeadlessView(app->window);
  app->window.SetText("编辑框1", "bench");
  app->window.SetText("编辑框2", "");
  app->window.SetSelected("组合框1", 3);
  app->search.page = 1;
  double parse = 0, whole = 0;
  std::size_t rows = 0;
  for (int i = 0; i < rounds; ++i) {
    const auto t0 = Clock::now();
    sarvoke::RunSearch(*app);
    const auto t1 = Clock::now();
    sarvoke::ParseResultsPage(*app);
    const auto t2 = Clock::now();
    whole += Seconds(t0, t1);
    parse += Seconds(t1, t2);
    rows = app->window.RowCount("超级列表框1");
  }
  parse /= rounds;
  whole /= rounds;
  std::printf("in process, %zu hits, page %zu bytes, %d rounds\n", rows, app->search.pageText.size(), rounds);
  std::printf("  RunSearch (fetch and parse)  %8.3f ms\n", whole * 1e3);
  std::printf("  ParseResultsPage alone       %8.3f ms   share of the search %.1f%%\n", parse * 1e3,
              100 * parse / whole);

  const std::string endpoints = "/tmp/sarvoke-bench-endpoints.ini";
  lab.WriteEndpointsFile(endpoints);
  const std::string address = "http://" + lab.SearchEngineHost() + "/s?q1=site%3A%28" +
                              lab.ShareSiteDomain() + "%29%20bench%20-&rn=100&ie=utf-8";
  const std::string sarvoke = "SARVOKE_RUN_DIRECTORY=/tmp '" + ProgramPath() + "' search --endpoints " +
                              endpoints + " --size 100 --blocked '' bench >/dev/null";
  const std::string curl = "curl -s -o /dev/null '" + address + "'";
  const double tSarvoke = TimeCommand(sarvoke, rounds), tCurl = TimeCommand(curl, rounds);
  std::printf("whole process, %d rounds\n", rounds);
  std::printf("  sarvoke search               %8.3f ms\n", tSarvoke * 1e3);
  std::printf("  curl, same address           %8.3f ms\n", tCurl * 1e3);
  std::printf("  ratio sarvoke/curl           %8.2f\n", tSarvoke / tCurl);
  lab.Stop();
  std::filesystem::remove(catalogue);
  std::filesystem::remove(endpoints);
  return 0;
}
