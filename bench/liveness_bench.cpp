// The background check of 100 rows against the lab, every share page answering after 200 ms: the time
// from the rows being in the list until every row is marked, beside curl fetching the same 100 pages one
// after another, and the longest the event loop of the thread that owns the window was kept from running
// meanwhile (the front-end's loop, played here by a loop that shows each posted change as the window's
// view does).
//   liveness_bench [ROUNDS]
#include <time.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "app/app.h"
#include "check_bench_lab.h"
#include "share/direct_link.h"
#include "share/liveness_check.h"

namespace {

constexpr int kRows = sarvoke::bench::kCheckBenchRows;
constexpr int kPageDelayMs = sarvoke::bench::kCheckBenchPageDelayMs;

// <chrono> does not compile under the project's code page flag, so the clock is read directly.
double Now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

// What the window's view does with a change from another thread: post it to the loop of the window's
// thread, which reads the model when it gets to it.
struct PostedChanges {
  std::mutex mutex;
  std::condition_variable posted;
  std::deque<sarvoke::Property> queue;
};

struct Round {
  double handlerMs = 0, markedSeconds = 0, longestBlockMs = 0, p99BlockMs = 0;
  int alive = 0;
};

// One search of the word through the model, then the loop until every row is marked.
Round CheckOnce(sarvoke::App& app, PostedChanges& changes) {
  Round r;
  const sarvoke::Text list = "超级列表框1";
  const double t0 = Now();
  app.window.Fire("编辑框1", sarvoke::Event::KeyPressed, 13);
  const double rowsIn = Now();
  r.handlerMs = (rowsIn - t0) * 1e3;
  double lastTurn = rowsIn;
  std::vector<double> gaps;
  for (;;) {
    std::unique_lock lock(changes.mutex);
    // A loop turn at least every millisecond: the gap between two turns beyond that is how long the
    // loop could not run.
    changes.posted.wait_for(lock, std::chrono::milliseconds(1), [&] { return !changes.queue.empty(); });
    changes.queue.clear();
    lock.unlock();
    const auto marks = app.window.RowMarks(list);  // what the view's flush reads
    const double now = Now();
    gaps.push_back(std::max(0.0, (now - lastTurn) * 1e3 - 1));
    lastTurn = now;
    if (std::none_of(marks.begin(), marks.end(), [](sarvoke::RowMark m) { return m == sarvoke::RowMark::None; })) {
      r.markedSeconds = now - rowsIn;
      r.alive = static_cast<int>(std::count(marks.begin(), marks.end(), sarvoke::RowMark::Alive));
      std::sort(gaps.begin(), gaps.end());
      r.longestBlockMs = gaps.back();
      r.p99BlockMs = gaps[gaps.size() * 99 / 100];
      return r;
    }
  }
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  double load[3] = {0, 0, 0};
  if (getloadavg(load, 3) == 3) std::printf("load average %.2f %.2f %.2f\n", load[0], load[1], load[2]);
  const std::string dir = "/tmp/sarvoke-liveness-bench";
  std::filesystem::create_directories(dir);
  auto lab = sarvoke::bench::StartCheckBenchLab(dir);
  if (!lab) return 1;

  auto app = sarvoke::CreateApp(dir);
  PostedChanges changes;
  sarvoke::WindowView view;
  view.changed = [&changes](const sarvoke::Text&, sarvoke::Property what) {
    {
      std::lock_guard lock(changes.mutex);
      changes.queue.push_back(what);
    }
    changes.posted.notify_one();
  };
  app->window.SetView(view);
  app->search.checkRows = true;
  app->window.SetText("编辑框1", "checkbench");
  app->window.SetText("编辑框2", "");
  app->window.SetSelected("组合框1", 3);

  // The same pages for curl, in the list's order, one after another in one process.
  const std::string curlConfig = dir + "/pages.curl";
  std::vector<double> ours, theirs, ratios, blocks;
  const sarvoke::HttpBatchOptions limits = sarvoke::CurrentRowCheckLimits();
  std::printf("%d rows, each share page answering after %d ms; the check %d at once, %ld ms time-out\n", kRows,
              kPageDelayMs, limits.maxConnections, limits.timeoutMs);
  for (int i = 0; i < rounds; ++i) {
    const Round r = CheckOnce(*app, changes);
    if (r.alive != kRows) std::printf("  round %d: only %d of %d rows alive\n", i + 1, r.alive, kRows);
    {
      std::ofstream config(curlConfig);
      for (int row = 0; row < kRows; ++row)
        config << "url = \"" << sarvoke::ShareUrlOfRow(*app, row) << "\"\noutput = \"/dev/null\"\n";
    }
    const double c0 = Now();
    if (std::system(("curl -s --config '" + curlConfig + "'").c_str()) != 0) std::printf("  curl failed\n");
    const double curlSeconds = Now() - c0;
    std::printf("  round %d: search handler %.1f ms, all %d rows marked %.3f s after; curl %.3f s; ratio %.3f; "
                "event-loop block longest %.1f ms, 99th percentile %.1f ms\n",
                i + 1, r.handlerMs, kRows, r.markedSeconds, curlSeconds, r.markedSeconds / curlSeconds,
                r.longestBlockMs, r.p99BlockMs);
    ours.push_back(r.markedSeconds);
    theirs.push_back(curlSeconds);
    ratios.push_back(r.markedSeconds / curlSeconds);
    blocks.push_back(r.longestBlockMs);
  }
  std::printf("median of %d rounds: check %.3f s, curl %.3f s, ratio check/curl %.3f (goal <= 0.25); longest "
              "event-loop block %.1f ms at most (goal <= 50)\n",
              rounds, Median(ours), Median(theirs), Median(ratios), *std::max_element(blocks.begin(), blocks.end()));
  sarvoke::CancelRowCheck(*app);
  sarvoke::WaitForRowCheck(*app, 10000);
  app->window.SetView(sarvoke::WindowView{});
  sarvoke::ProgramExit(*app);
  lab->Stop();
  std::filesystem::remove_all(dir);
  return 0;
}
