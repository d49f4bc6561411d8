// The poster's QQ identity against real X windows (a private Xvfb display, see tests/gui/run-under-xvfb)
// and the lab's avatar service: the numbers read from the QQ client's window titles, the start-up choice
// between the QQ pair and the nickname pair, the avatars converted and shown, "不使用QQ登录", and a
// selection made while the first avatar still loads.
#include "board/qq_identity.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "board/board_controls.h"
#include "board/board_post.h"
#include "lab_app_fixture.h"
#include "platform/files.h"
#include "platform/image_converter.h"

// Last: Xlib's macros (None, Status, Bool) would clash with the names of the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace sarvoke {
namespace {

constexpr const char* kQqClass = "5B3838F5-0C81-46D9-A4C0-6EA28CA3E942";

class QqIdentity : public ::testing::Test {
 protected:
  void SetUp() override {
    display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr) << "these tests run under their own X server";
    ASSERT_TRUE(lab.Start());
    UseLab(lab);
    Endpoints e = CurrentEndpoints();
    e.qqAvatarHost = lab.QqServiceHost();
    e.qqProfileHost = lab.QqServiceHost();
    // The board's refresh at start-up finds no mail server, at once.
    e.mailPop3Host = "127.0.0.1:1";
    SetCurrentEndpoints(e);
    char tmpl[] = "/tmp/sarvoke-qq-XXXXXX";
    dir = mkdtemp(tmpl);
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);  // the avatar's files go to <dir>/sarvoke/
  }
  void TearDown() override {
    if (app) ProgramExit(*app);
    if (display) XCloseDisplay(display);
    std::filesystem::remove_all(dir);
  }

  // A top-level window of `windowClass` titled `title` (UTF-8), as WM_NAME or as _NET_WM_NAME; `framed`
  // puts it inside a frame window without a class, as a window manager does.
  Window MakeWindow(const char* windowClass, const std::string& title, bool netWmName = false,
                    bool framed = false) {
    Window parent = DefaultRootWindow(display);
    if (framed) parent = XCreateSimpleWindow(display, parent, 0, 0, 40, 40, 0, 0, 0);
    const Window w = XCreateSimpleWindow(display, parent, 0, 0, 30, 30, 0, 0, 0);
    XClassHint hint{const_cast<char*>("qq"), const_cast<char*>(windowClass)};
    XSetClassHint(display, w, &hint);
    if (netWmName) {
      XChangeProperty(display, w, XInternAtom(display, "_NET_WM_NAME", False),
                      XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
    } else {
      XStoreName(display, w, title.c_str());
    }
    XMapWindow(display, w);
    if (framed) XMapWindow(display, parent);
    XSync(display, False);
    return w;
  }

  // The window's creation with its workers, waiting until they have ended.
  void StartWindow() {
    app = CreateApp(dir);
    view = AttachHeadlessView(app->window);
    app->window.Fire(Text(kMainWindow), Event::Created);
    WaitForWorkers();
  }
  void WaitForWorkers() {
    for (int i = 0; i < 1000 && app->workersRunning > 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(app->workersRunning, 0);
  }
  void Select(int item) {
    app->window.SetSelected(Text(kQqChoice), item);
    app->window.Fire(Text(kQqChoice), Event::ItemSelected);
  }
  bool Visible(std::string_view name) { return app->window.IsVisible(Text(name)); }
  bool QqPairShown() {
    const bool qq = Visible(kQqChoice) && Visible(kQqAvatarBox);
    const bool nickname = Visible(kNicknameBox) && Visible(kNicknameLabel);
    EXPECT_NE(qq, nickname) << "exactly one pair is shown";
    return qq;
  }
  // The avatar shown, decoded; its middle pixel.
  std::array<int, 3> ShownColour() {
    RgbPicture p;
    if (!DecodePicture(app->window.Snapshot(Text(kQqAvatarBox)).picture, p)) return {-1, -1, -1};
    EXPECT_EQ(p.width, 30);
    const std::size_t at = (15u * p.width + 15) * 3;
    return {p.pixels[at], p.pixels[at + 1], p.pixels[at + 2]};
  }
  std::vector<std::string> AvatarRequests() {
    std::vector<std::string> paths;
    for (const auto& r : lab.Requests("qq"))
      if (r.path.rfind("/qzone/", 0) == 0) paths.push_back(r.path);
    return paths;
  }

  Display* display = nullptr;
  lab::LabServer lab{lab::LabOptions{}};
  std::string dir;
  std::shared_ptr<App> app;
  std::shared_ptr<HeadlessView> view;
};

bool Reddish(std::array<int, 3> c) { return c[0] > 150 && c[1] < 90 && c[2] < 90; }
bool Bluish(std::array<int, 3> c) { return c[2] > 150 && c[0] < 90; }

TEST_F(QqIdentity, NumbersComeFromTheTitlesOfTheQqWindows) {
  MakeWindow(kQqClass, "QQ 10001");
  MakeWindow(kQqClass, "QQ 012345");
  MakeWindow("Firefox", "QQ 55555 in a browser");
  MakeWindow(kQqClass, "QQ 1234");
  MakeWindow(kQqClass, "小明(20002) - QQ", /*netWmName=*/true, /*framed=*/true);
  MakeWindow(kQqClass, "");
  // The class as the instance half of WM_CLASS, as Tk sets it.
  const Window tk = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 30, 30, 0, 0, 0);
  XClassHint tkHint{const_cast<char*>(kQqClass), const_cast<char*>("5b3838f5-0c81-46d9-a4c0-6ea28ca3e942")};
  XSetClassHint(display, tk, &tkHint);
  XStoreName(display, tk, "QQ 30003");
  XSync(display, False);
  std::vector<Text> numbers;
  EXPECT_EQ(FindQqNumbers(true, &numbers), 6);
  EXPECT_EQ(numbers, (std::vector<Text>{"10001", "12345", "", "20002", "", "30003"}));
  std::vector<Text> untouched;
  EXPECT_EQ(FindQqNumbers(false, &untouched), 6);
  EXPECT_TRUE(untouched.empty());
}

TEST_F(QqIdentity, WithoutQqWindowsTheNicknameBoxIsShown) {
  MakeWindow("Firefox", "QQ 55555");
  StartWindow();
  EXPECT_FALSE(QqPairShown());
  EXPECT_FALSE(app->board.qqMode);
  EXPECT_EQ(app->window.Items(Text(kQqChoice)), std::vector<Text>{"不使用QQ登录"});
  EXPECT_TRUE(AvatarRequests().empty());
}

TEST_F(QqIdentity, TwoAccountsOfferBothAndShowTheFirstAvatar) {
  MakeWindow(kQqClass, "QQ 10001");
  MakeWindow(kQqClass, "QQ 12345");
  StartWindow();
  EXPECT_TRUE(QqPairShown());
  EXPECT_TRUE(app->board.qqMode);
  EXPECT_EQ(app->window.Items(Text(kQqChoice)), (std::vector<Text>{"不使用QQ登录", "10001", "12345"}));
  EXPECT_EQ(app->window.GetSelected(Text(kQqChoice)), 1);
  EXPECT_EQ(AvatarRequests(), std::vector<std::string>{"/qzone/10001/10001/30"});
  EXPECT_TRUE(Reddish(ShownColour()));
  // Both files stay in the board's folder: the picture as it came and the JPEG shown.
  EXPECT_TRUE(FileExists(dir + "/sarvoke/lyb.png"));
  EXPECT_TRUE(FileExists(dir + "/sarvoke/lyb.jpg"));
  Select(2);
  EXPECT_TRUE(Bluish(ShownColour()));
  EXPECT_TRUE(app->board.qqMode) << "another number keeps QQ mode";
  EXPECT_TRUE(RecordedMessages(*view).size() <= 1) << "only the board's refresh may say something";
}

TEST_F(QqIdentity, EveryKindOfAvatarShowsOrLeavesTheLastOne) {
  for (const char* n : {"10001", "12345", "20002", "30003", "40004"})
    MakeWindow(kQqClass, std::string("QQ ") + n);
  StartWindow();
  ASSERT_TRUE(Reddish(ShownColour())) << "a palette PNG with transparency";
  Select(3);
  const auto grey = ShownColour();
  EXPECT_NEAR(grey[0], grey[1], 8) << "a 16-bit grey PNG";
  EXPECT_NEAR(grey[1], grey[2], 8);
  Select(2);
  EXPECT_TRUE(Bluish(ShownColour())) << "a JPEG";
  Select(4);
  EXPECT_TRUE(Bluish(ShownColour())) << "a broken picture leaves the last avatar";
  Select(5);
  const auto fallback = ShownColour();
  EXPECT_FALSE(Bluish(fallback)) << "a number the service does not know has its default picture";
  EXPECT_GE(fallback[0], 0);
}

TEST_F(QqIdentity, NotUsingQqSwitchesToTheNicknameBoxForTheRun) {
  MakeWindow(kQqClass, "QQ 10001");
  StartWindow();
  ASSERT_TRUE(QqPairShown());
  const std::size_t requests = AvatarRequests().size();
  Select(0);
  EXPECT_FALSE(QqPairShown());
  EXPECT_FALSE(app->board.qqMode);
  EXPECT_EQ(AvatarRequests().size(), requests) << "item 0 fetches nothing";
  // A post now takes the typed nickname, and refuses an empty one.
  EXPECT_EQ(CheckBoardPost(*app, "", "你好"), "请输入昵称。");
  EXPECT_EQ(CheckBoardPost(*app, "小明", "你好"), "");
}

TEST_F(QqIdentity, ASelectionWaitsForTheFirstAvatarStillLoading) {
  lab.SetQqAvatarDelay(10001, 1500);
  MakeWindow(kQqClass, "QQ 10001");
  MakeWindow(kQqClass, "QQ 12345");
  app = CreateApp(dir);
  view = AttachHeadlessView(app->window);
  app->window.Fire(Text(kMainWindow), Event::Created);
  // The first avatar is on its way on the worker; the user picks the second number meanwhile.
  for (int i = 0; i < 200 && AvatarRequests().empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(AvatarRequests().size(), 1u);
  Select(2);
  WaitForWorkers();
  EXPECT_EQ(AvatarRequests(), (std::vector<std::string>{"/qzone/10001/10001/30", "/qzone/12345/12345/30"}));
  EXPECT_TRUE(Bluish(ShownColour())) << "the slow first avatar must not replace the one picked after it";
}

}  // namespace
}  // namespace sarvoke
