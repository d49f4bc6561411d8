#include "app/app.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>

#include "app/main_window.h"
#include "app/settings.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "text/code_page.h"

namespace sarvoke {
namespace {

// A run directory of the test's own, removed at the end.
struct RunDirectory {
  std::string path;
  RunDirectory() {
    char tmpl[] = "/tmp/sarvoke-app-XXXXXX";
    path = mkdtemp(tmpl);
  }
  ~RunDirectory() { std::filesystem::remove_all(path); }
  std::string Settings() const { return SettingsFilePath(path); }
};

TEST(Startup, FirstStartWithoutSettingsFile) {
  RunDirectory dir;
  auto app = CreateApp(dir.path);
  app->workersAtStart = false;  // no mailbox here
  EXPECT_EQ(app->search.page, 0);
  EXPECT_TRUE(app->search.hits.empty());
  EXPECT_EQ(app->search.listMode, ListMode::Hits);
  ASSERT_TRUE(app->window.Fire(Text(kMainWindow), Event::Created));
  WindowModel& w = app->window;
  EXPECT_EQ(w.GetText("编辑框1"), "");
  EXPECT_EQ(w.GetText("编辑框2"), kDefaultBlockedWords);
  EXPECT_EQ(w.GetSelected("组合框1"), 3);
  EXPECT_EQ(w.Items("组合框1")[3], "100");
  EXPECT_EQ(w.GetText("标签5"), "");
  for (const char* b : {"按钮2", "按钮3", "按钮4", "按钮5", "按钮6", "按钮7"}) {
    SCOPED_TRACE(b);
    EXPECT_TRUE(w.IsDisabled(b));
  }
  EXPECT_FALSE(w.IsDisabled("按钮1"));
  EXPECT_EQ(w.Look().number, 18);
  // Nothing of the skin is written beside the program.
  EXPECT_FALSE(FileExists(dir.path + "/SkinH_EL.dll"));
}

TEST(Startup, ClosingWritesTheThreeKeysInOrderEvenWithoutASearch) {
  RunDirectory dir;
  auto app = CreateApp(dir.path);
  app->workersAtStart = false;  // no mailbox here
  app->window.Fire(Text(kMainWindow), Event::Created);
  app->window.Fire(Text(kMainWindow), Event::Destroying);
  Bytes file;
  ASSERT_TRUE(ReadWholeFile(dir.Settings(), file));
  // The blocked words end with a space, so they are written quoted to come back whole.
  EXPECT_EQ(TextFromBytes(file),
            "[配置]\r\n关键词=\r\n屏蔽词=\"" + Text(kDefaultBlockedWords) + "\"\r\n每页条数=3\r\n");
  // The file name on disk is UTF-8.
  EXPECT_TRUE(std::filesystem::exists(dir.path + "/Sarvoke\xE9\x85\x8D\xE7\xBD\xAE.ini"));
}

TEST(Startup, SettingsRoundTripThroughARestart) {
  RunDirectory dir;
  {
    auto app = CreateApp(dir.path);
    app->workersAtStart = false;  // no mailbox here
    app->window.Fire(Text(kMainWindow), Event::Created);
    app->window.SetText("编辑框1", " 中文 word ");
    app->window.SetText("编辑框2", "abc def ");
    app->window.SetSelected("组合框1", 1);
    app->window.Fire(Text(kMainWindow), Event::Destroying);
  }
  auto app = CreateApp(dir.path);
  app->workersAtStart = false;  // no mailbox here
  app->window.Fire(Text(kMainWindow), Event::Created);
  EXPECT_EQ(app->window.GetText("编辑框1"), " 中文 word ");
  EXPECT_EQ(app->window.GetText("编辑框2"), "abc def ");
  EXPECT_EQ(app->window.GetSelected("组合框1"), 1);
}

TEST(Settings, ValuesAsTheReaderReturnsThem) {
  struct Row {
    const char* label;
    const char* blockedLine;  // the 屏蔽词 line as it stands in the file
    const char* sizeLine;     // the 每页条数 line
    Text wantBlocked;
    int wantIndex;
  } rows[] = {
      {"plain", "屏蔽词=a b", "每页条数=2", "a b", 2},
      {"blanks trimmed", "屏蔽词=  a b \t", "每页条数= 0 ", "a b", 0},
      {"double quotes", "屏蔽词=\" a \"", "每页条数=\"1\"", " a ", 1},
      {"single quotes", "屏蔽词='x'", "每页条数=3", "x", 3},
      {"only one quote pair removed", "屏蔽词=\"\"x\"\"", "每页条数=3", "\"x\"", 3},
      {"unmatched quotes stay", "屏蔽词=\"x'", "每页条数=3", "\"x'", 3},
      {"empty blocked words give the default", "屏蔽词=", "每页条数=", Text(kDefaultBlockedWords), 3},
      {"index out of range leaves no selection", "屏蔽词=a ", "每页条数=7", "a", -1},
      {"minus one leaves no selection", "屏蔽词=a", "每页条数=-1", "a", -1},
      {"no digits read as 0", "屏蔽词=a", "每页条数=abc", "a", 0},
      {"fraction cut off", "屏蔽词=a", "每页条数=2.9", "a", 2},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    RunDirectory dir;
    WriteWholeFile(dir.Settings(),
                   "[配置]\r\n关键词=k\r\n" + Text(r.blockedLine) + "\r\n" + r.sizeLine + "\r\n");
    WindowModel w;
    LoadSettings(w, dir.path);
    EXPECT_EQ(w.GetText("编辑框1"), "k");
    EXPECT_EQ(w.GetText("编辑框2"), r.wantBlocked);
    EXPECT_EQ(w.GetSelected("组合框1"), r.wantIndex);
  }
}

TEST(Settings, ALineBreakInABoxCannotSetAnotherKey) {
  RunDirectory dir;
  WindowModel w;
  w.SetText("编辑框1", "a\r\n每页条数=0");
  w.SetText("编辑框2", "x ");
  w.SetSelected("组合框1", 2);
  SaveSettings(w, dir.path);
  WindowModel again;
  LoadSettings(again, dir.path);
  EXPECT_EQ(again.GetText("编辑框1"), "a  每页条数=0");
  EXPECT_EQ(again.GetSelected("组合框1"), 2);
}

TEST(IniFile, WritingCreatesAndReplaces) {
  RunDirectory dir;
  const std::string f = dir.path + "/x.ini";
  EXPECT_EQ(ReadIniValue(f, "s", "k"), "");
  ASSERT_TRUE(WriteIniValue(f, "s", "k", "1"));
  ASSERT_TRUE(WriteIniValue(f, "S", "K", "2"));  // names match without regard to case
  ASSERT_TRUE(WriteIniValue(f, "s", "j", "3"));
  ASSERT_TRUE(WriteIniValue(f, "t", "k", "4"));
  Bytes file;
  ReadWholeFile(f, file);
  EXPECT_EQ(TextFromBytes(file), "[s]\r\nK=2\r\nj=3\r\n[t]\r\nk=4\r\n");
  EXPECT_EQ(ReadIniValue(f, "t", "k"), "4");
  EXPECT_EQ(ReadIniValue(f, "s", "missing"), "");
  WriteWholeFile(f, "[s]\nk=" + std::string(20000, 'v') + "\n");
  EXPECT_EQ(ReadIniValue(f, "s", "k").size(), kIniValueLimit);
}

TEST(MainWindow, ControlsMenuAndFixedTexts) {
  WindowModel w;
  EXPECT_EQ(w.Title(), "Sarvoke工具v2.1");
  const Control list = w.Snapshot("超级列表框1");
  EXPECT_EQ(list.kind, ControlKind::ListView);
  EXPECT_EQ(list.left, 8);
  EXPECT_EQ(list.top, 64);
  ASSERT_EQ(list.columns.size(), 5u);
  EXPECT_EQ(list.columns[0].header, "文件名");
  EXPECT_EQ(list.columns[0].width, 238);
  EXPECT_EQ(list.columns[4].header, "下载次数");
  EXPECT_EQ(w.Items("高级选择夹1"), (std::vector<Text>{"文件搜索", "建议反馈", "使用帮助", "更新详情"}));
  EXPECT_EQ(w.Items("Velmora留言系统组合框1"), std::vector<Text>{"不使用QQ登录"});
  const auto menu = w.Menu("右键");
  std::vector<Text> captions;
  for (const auto& m : menu) captions.push_back(m.caption);
  EXPECT_EQ(captions, (std::vector<Text>{"下载选中文件", "", "迅雷下载", "快车下载", "旋风下载", "",
                                         "浏览分享页", "搜索该用户分享的其他文件", "", "aria2下载",
                                         "复制下载地址", "复制分享页地址", "", "导出结果…"}));

  const Text help = w.GetText("编辑框3");
  const auto lines = TextSplit(help, "\r\n");
  ASSERT_EQ(lines.size(), 18u);  // 11 lines of text and 7 empty lines
  EXPECT_EQ(lines[0].substr(0, 10), "    Sarvok");
  EXPECT_EQ(lines[4], "    下载选中：下载选中的文件。");
  EXPECT_EQ(lines[5], "    迅雷下载：将下载地址转换为迅雷下载地址，并调用迅雷进行下载。");
  EXPECT_EQ(lines[8], "");
  EXPECT_NE(help.substr(help.size() - 2), "\r\n");
  EXPECT_EQ(TextRight(help, 10), "免责声明。");

  const auto notes = TextSplit(w.GetText("编辑框4"), "\r\n");
  ASSERT_EQ(notes.size(), 26u);  // heading, empty, note, 22 empty, closing
  EXPECT_EQ(notes[0], "Sarvoke工具v2.1版：");
  EXPECT_EQ(notes[1], "");
  for (int i = 3; i < 25; ++i) EXPECT_EQ(notes[i], "");
  EXPECT_EQ(TextRight(notes[25], 10), "2013.04.20");
}

TEST(WindowModel, SelectionRowsAndEvents) {
  WindowModel w;
  w.SetSelected("组合框1", 4);
  EXPECT_EQ(w.GetSelected("组合框1"), -1);
  w.SetSelected("组合框1", 0);
  EXPECT_EQ(w.GetSelected("组合框1"), 0);
  const int r = w.AppendRow("超级列表框1");
  w.SetCell("超级列表框1", r, 4, "9");
  w.SetCell("超级列表框1", r, 5, "out of range");
  EXPECT_EQ(w.GetCell("超级列表框1", 0, 4), "9");
  w.SetSelected("超级列表框1", 0);
  EXPECT_EQ(w.GetSelected("超级列表框1"), 0);
  w.DeleteAllRows("超级列表框1");
  EXPECT_EQ(w.RowCount("超级列表框1"), 0);
  EXPECT_EQ(w.GetSelected("超级列表框1"), -1);
  EXPECT_FALSE(w.Fire("按钮1", Event::Clicked));
  int seen = 0;
  w.Bind("编辑框1", Event::KeyPressed, [&](int key) { seen = key; });
  EXPECT_TRUE(w.Fire("编辑框1", Event::KeyPressed, 13));
  EXPECT_EQ(seen, 13);
}

TEST(WindowModel, RightClickShowsTheMenuAndMessagesAreRecorded) {
  RunDirectory dir;
  auto app = CreateApp(dir.path);
  app->workersAtStart = false;  // no mailbox here
  auto view = AttachHeadlessView(app->window);
  app->window.Fire("超级列表框1", Event::RightClicked);
  EXPECT_EQ(view->menusShown, std::vector<Text>{"右键"});
  app->window.MessageBox("x");
  EXPECT_EQ(RecordedMessages(*view), std::vector<Text>{"x"});
}

TEST(WindowModel, ChangesFromWorkerThreadsReachTheView) {
  RunDirectory dir;
  auto app = CreateApp(dir.path);
  app->workersAtStart = false;  // no mailbox here
  std::mutex m;
  std::vector<Text> changed;
  WindowView view;
  view.changed = [&](const Text& name, Property) {
    std::lock_guard lock(m);
    changed.push_back(name);
  };
  app->window.SetView(view);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) app->window.SetText("滚动条", std::to_string(t * 1000 + i));
    });
  for (auto& t : threads) t.join();
  std::lock_guard lock(m);
  EXPECT_GE(changed.size(), 200u);
  ProgramExit(*app);
  const auto before = changed.size();
  app->window.SetText("滚动条", "after exit");
  EXPECT_EQ(changed.size(), before);
}

}  // namespace
}  // namespace sarvoke

namespace sarvoke {
namespace {

Bytes ReadBack(const std::string& path) {
  Bytes b;
  ReadWholeFile(path, b);
  return b;
}

// A settings file that is not a regular file or is too large is refused with a message, without
// hanging or reading it into memory; the window starts from the defaults and leaves the file alone.
TEST(Settings, SpecialAndHugeFilesAreRefusedAndLeftAlone) {
  struct Row {
    const char* label;
    std::function<void(const std::string& path)> make;
    const char* says;
  } rows[] = {
      {"a pipe nobody writes to", [](const std::string& p) { mkfifo(p.c_str(), 0600); }, "不是普通文件"},
      {"a device without end", [](const std::string& p) { symlink("/dev/zero", p.c_str()); }, "不是普通文件"},
      {"a folder", [](const std::string& p) { std::filesystem::create_directory(p); }, "不是普通文件"},
      {"40 MB of line breaks", [](const std::string& p) { WriteWholeFile(p, std::string(40u << 20, '\n')); },
       "超过 1 MB"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    RunDirectory dir;
    r.make(dir.Settings());
    auto app = CreateApp(dir.path);
    app->workersAtStart = false;  // no mailbox here
    auto view = AttachHeadlessView(app->window);
    app->window.Fire(Text(kMainWindow), Event::Created);
    const auto messages = RecordedMessages(*view);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(r.says), Text::npos) << AnsiToUtf8(messages[0]);
    EXPECT_NE(messages[0].find(Utf8ToAnsiText(dir.Settings())), Text::npos);
    EXPECT_EQ(app->window.GetText("编辑框2"), kDefaultBlockedWords);
    EXPECT_EQ(app->window.GetSelected("组合框1"), kDefaultPageSizeIndex);
    const auto before = std::filesystem::symlink_status(dir.Settings()).type();
    app->window.SetText("编辑框1", "x");
    app->window.Fire(Text(kMainWindow), Event::Destroying);
    EXPECT_EQ(std::filesystem::symlink_status(dir.Settings()).type(), before);
    if (before == std::filesystem::file_type::regular)
      EXPECT_EQ(std::filesystem::file_size(dir.Settings()), 40u << 20);
  }
}

// The file is written whole beside itself and renamed over: a write that fails half-way (here the disk
// "fills" at 16 bytes) leaves the old file as it was, and no scrap behind.
TEST(Settings, AFailedWriteLeavesTheOldFile) {
  RunDirectory dir;
  const Text old = "[配置]\r\n关键词=old\r\n";
  ASSERT_TRUE(WriteWholeFile(dir.Settings(), old));
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 16;
  setrlimit(RLIMIT_FSIZE, &small);
  WindowModel w;
  w.SetText("编辑框1", "a much longer search word than sixteen bytes");
  SaveSettings(w, dir.path);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(TextFromBytes(ReadBack(dir.Settings())), old);
  EXPECT_EQ(
      std::distance(std::filesystem::directory_iterator(dir.path), std::filesystem::directory_iterator()), 1);
  // And when it can be written, the whole new file stands there.
  SaveSettings(w, dir.path);
  EXPECT_NE(TextFromBytes(ReadBack(dir.Settings())).find("a much longer"), Text::npos);
}

}  // namespace
}  // namespace sarvoke
