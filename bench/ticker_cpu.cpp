// The window's CPU time while the news ticker scrolls, beside the same window with the ticker stopped, in
// the same run: one phase each of SECONDS (default 10), after the window has settled. Prints both and
// what scrolling adds, as a share of one core. The X server's own work is not counted.
//
//   tests/gui/run-under-xvfb build/src/gui/ticker_cpu_bench [SECONDS]
#include <sys/resource.h>
#include <time.h>
#include <wx/wx.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/app.h"
#include "gui/main_frame.h"
#include "ticker/ticker.h"

namespace {

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double WallSeconds() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

class BenchApp : public wxApp {
 public:
  explicit BenchApp(double seconds) : seconds_(seconds) {}
  bool OnInit() override {
    dir_ = std::filesystem::temp_directory_path() / ("sarvoke-ticker-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
    app_ = sarvoke::CreateApp(dir_.string());
    app_->workersAtStart = false;
    frame_ = sarvoke::OpenMainWindow(app_);
    if (!frame_) return false;
    // Three posts of the publisher's length, as the fetch would leave them.
    app_->ticker.posts = {{"1523", "http://a/1", "Sarvoke工具v2.1版发布", "12"},
                          {"877", "http://a/2", "网盘搜索技巧", "3"},
                          {"45", "http://a/3", "C++ &amp; Qt 入门", "0"}};
    app_->ticker.current = 1;
    CallAfter([this] { Phase(0); });
    return true;
  }

 private:
  // 0: settle, 1: stopped, 2: scrolling, 3: done.
  void Phase(int phase) {
    const double cpu = CpuSeconds(), wall = WallSeconds();
    if (phase == 1) {
      startCpu_ = cpu;
      startWall_ = wall;
    } else if (phase == 2) {
      stopped_ = (cpu - startCpu_) / (wall - startWall_);
      sarvoke::ShowTickerPost(*app_);
      app_->window.SetTimerPeriod("广告时钟", 20);
      startCpu_ = cpu;
      startWall_ = wall;
    } else if (phase == 3) {
      const double scrolling = (cpu - startCpu_) / (wall - startWall_);
      std::printf("window CPU, ticker stopped:    %6.2f %% of one core\n", 100 * stopped_);
      std::printf("window CPU, ticker scrolling:  %6.2f %% of one core\n", 100 * scrolling);
      std::printf("scrolling adds:                %6.2f %% of one core (goal: at most 2)\n",
                  100 * (scrolling - stopped_));
      app_->window.SetTimerPeriod("广告时钟", 0);
      frame_->Close();
      return;
    }
    const int ms = static_cast<int>((phase == 0 ? 1.5 : seconds_) * 1000);
    timer_.Bind(wxEVT_TIMER, [this, phase](wxTimerEvent&) { Phase(phase + 1); });
    timer_.StartOnce(ms);
  }

  int OnExit() override {
    sarvoke::ProgramExit(*app_);
    std::filesystem::remove_all(dir_);
    return 0;
  }

  double seconds_;
  std::filesystem::path dir_;
  std::shared_ptr<sarvoke::App> app_;
  wxFrame* frame_ = nullptr;
  wxTimer timer_;
  double startCpu_ = 0, startWall_ = 0, stopped_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 10;
  wxApp::SetInstance(new BenchApp(seconds > 0 ? seconds : 10));
  return wxEntry(argc, argv);
}
