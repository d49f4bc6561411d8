// Start-up to the main window being mapped, beside a bare wxWidgets window of the same size, in the same
// run. Every service endpoint points at a loopback port that takes connections and never answers, so a
// start-up step that waited for the network would show here. Prints both medians and their ratio.
//
//   window_startup_bench [runs]        (starts a private X server when DISPLAY is not set)
//
// The bare window is this file built on its own against wxWidgets' core and base alone
// (WINDOW_STARTUP_BARE, the window_startup_bare program beside the benchmark): built into the benchmark it
// would load every library the program loads, and its start-up would not be a bare window's.
#ifdef WINDOW_STARTUP_BARE
#include <wx/wx.h>

// The smallest wxWidgets program with a window like the program's: a frame of the same size at the same
// place, shown once it is built.
class BareApp : public wxApp {
 public:
  bool OnInit() override {
    auto* frame = new wxFrame(nullptr, wxID_ANY, "bare", wxPoint(50, 50), wxSize(614, 467),
                              wxDEFAULT_FRAME_STYLE & ~(wxRESIZE_BORDER | wxMAXIMIZE_BOX));
    new wxPanel(frame);
    frame->Show();
    return true;
  }
};

wxIMPLEMENT_APP(BareApp);

#else
#include <X11/Xlib.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wx/wx.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "gui/wx_window.h"

namespace {

double Now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

int RunChild(int argc, char** argv) {
  const char* runDirectory = argc > 3 ? argv[3] : "/tmp";
  char* rest[] = {argv[0], nullptr};
  return sarvoke::RunWindowProgram(1, rest, runDirectory);
}

// Starts Xvfb on a free display and points DISPLAY at it; returns its pid.
pid_t StartXServer() {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
           "-noreset", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  char buffer[32] = {};
  const ssize_t n = read(fds[0], buffer, sizeof buffer - 1);
  close(fds[0]);
  if (n <= 0) return -1;
  setenv("DISPLAY", (":" + std::string(buffer, std::strcspn(buffer, "\n"))).c_str(), 1);
  return pid;
}

// Seconds from starting `program` to its first top-level window being mapped; -1 on a failure.
double TimeToMapped(const std::vector<std::string>& program) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return -1;
  XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
  XSync(display, False);
  const double start = Now();
  const pid_t child = fork();
  if (child == 0) {
    std::vector<char*> args;
    for (const std::string& a : program) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  double mapped = -1;
  const int fd = ConnectionNumber(display);
  while (mapped < 0 && Now() - start < 60) {
    while (XPending(display)) {
      XEvent e;
      XNextEvent(display, &e);
      if (e.type == MapNotify && !e.xmap.override_redirect) mapped = Now() - start;
    }
    if (mapped >= 0) break;
    fd_set read;
    FD_ZERO(&read);
    FD_SET(fd, &read);
    timeval tv{0, 100000};
    select(fd + 1, &read, nullptr, nullptr, &tv);
  }
  kill(child, SIGTERM);
  int status = 0;
  waitpid(child, &status, 0);
  XCloseDisplay(display);
  return mapped;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "--child") == 0) return RunChild(argc, argv);
  const int runs = argc >= 2 ? std::max(1, std::atoi(argv[1])) : 10;

  pid_t xserver = -1;
  if (!std::getenv("DISPLAY")) {
    xserver = StartXServer();
    if (xserver < 0) {
      std::fprintf(stderr, "window_startup_bench: no DISPLAY and Xvfb could not start\n");
      return 1;
    }
  }

  // A listener that takes every connection into its backlog and never answers.
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener, 128) != 0 ||
      getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    std::fprintf(stderr, "window_startup_bench: no loopback listener\n");
    return 1;
  }
  char directory[] = "/tmp/sarvoke-bench-XXXXXX";
  if (!mkdtemp(directory)) return 1;
  const std::string host = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
  const std::string endpoints = std::string(directory) + "/endpoints.ini";
  {
    std::ofstream out(endpoints);
    out << "[endpoints]\n";
    for (const char* key :
         {"SearchEngineHost", "ShareSiteDomain", "PublisherHost", "MailPop3Host", "MailSmtpHost",
          "QqAvatarHost", "QqChatHost", "QqProfileHost", "QqTimeHost", "StaticContentHost"}) {
      out << key << "=" << host << "\n";
    }
  }
  setenv("SARVOKE_ENDPOINTS", endpoints.c_str(), 1);

  // An X server resets when its last client goes, and refuses connections meanwhile: keep one open.
  Display* keeper = XOpenDisplay(nullptr);
  if (!keeper) {
    std::fprintf(stderr, "window_startup_bench: cannot open the display\n");
    return 1;
  }
  char self[4096] = {};
  if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0) return 1;
  const std::string selfPath = self;
  const std::vector<std::string> bareProgram = {selfPath.substr(0, selfPath.rfind('/') + 1) +
                                                "window_startup_bare"};
  const std::vector<std::string> sarvokeProgram = {selfPath, "--child", "sarvoke", directory};
  if (access(bareProgram[0].c_str(), X_OK) != 0) {
    std::fprintf(stderr, "window_startup_bench: no %s\n", bareProgram[0].c_str());
    return 1;
  }
  // One start of each first, so that both find the libraries and fonts in the page cache.
  TimeToMapped(bareProgram);
  TimeToMapped(sarvokeProgram);
  std::vector<double> bare, sarvoke;
  for (int i = 0; i < runs; ++i) {
    bare.push_back(TimeToMapped(bareProgram));
    sarvoke.push_back(TimeToMapped(sarvokeProgram));
  }
  close(listener);
  XCloseDisplay(keeper);
  if (xserver > 0) {
    kill(xserver, SIGTERM);
    waitpid(xserver, nullptr, 0);
  }
  if (std::count(bare.begin(), bare.end(), -1.0) || std::count(sarvoke.begin(), sarvoke.end(), -1.0)) {
    std::fprintf(stderr, "window_startup_bench: a window never came up\n");
    return 1;
  }
  const double b = Median(bare), s = Median(sarvoke);
  std::printf("start-up to the window mapped, median of %d runs, endpoints never answering\n", runs);
  std::printf("  bare wxWidgets window  %7.1f ms\n", b * 1000);
  std::printf("  sarvoke window         %7.1f ms\n", s * 1000);
  std::printf("  ratio                  %7.2f (goal at most 1.30)\n", s / b);
  return 0;
}

#endif  // WINDOW_STARTUP_BARE
