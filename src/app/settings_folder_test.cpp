// Where the settings file lives: beside a copy of the program unpacked in a folder of its own, in the
// user's configuration folder for an installed program, and that folder made when it is missing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "app/main_window.h"
#include "app/settings.h"
#include "platform/files.h"
#include "text/code_page.h"

namespace sarvoke {
namespace {

namespace fs = std::filesystem;

// A folder of the test's own holding a program folder and a home folder, removed at the end.
struct Places {
  std::string root, program, home;
  Places() {
    char tmpl[] = "/tmp/sarvoke-folder-XXXXXX";
    root = mkdtemp(tmpl);
    program = root + "/opt/sarvoke";
    home = root + "/home/user";
    fs::create_directories(program);
    fs::create_directories(home);
  }
  ~Places() {
    // A row may have taken the write bit of a folder away.
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(root, ec))
      if (e.is_directory(ec)) fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root, ec);
  }
};

TEST(SettingsFolder, BesideTheProgramOnlyWhenTheFileIsThereAndWritable) {
  // Permission bits do not hold back root, who writes a read-only file all the same.
  const bool root = geteuid() == 0;
  struct Row {
    const char* label;
    std::function<void(const std::string& program)> make;
    bool beside;
    bool needsNonRoot = false;
  } rows[] = {
      {"a writable file beside the program",
       [](const std::string& p) { WriteWholeFile(SettingsFilePath(p), "[配置]\r\n"); }, true},
      {"no file beside the program (an installed program)", [](const std::string&) {}, false},
      {"a link to a writable file",
       [](const std::string& p) {
         WriteWholeFile(p + "/real.ini", "[配置]\r\n");
         fs::create_symlink(p + "/real.ini", SettingsFilePath(p));
       },
       true},
      {"a link to nothing",
       [](const std::string& p) { fs::create_symlink(p + "/gone.ini", SettingsFilePath(p)); }, false},
      {"a folder of the file's name", [](const std::string& p) { fs::create_directory(SettingsFilePath(p)); },
       false},
      {"a read-only file",
       [](const std::string& p) {
         WriteWholeFile(SettingsFilePath(p), "[配置]\r\n");
         fs::permissions(SettingsFilePath(p), fs::perms::owner_read);
       },
       false, true},
      {"a writable file in a read-only folder (the file is replaced through a new one beside it)",
       [](const std::string& p) {
         WriteWholeFile(SettingsFilePath(p), "[配置]\r\n");
         fs::permissions(p, fs::perms::owner_read | fs::perms::owner_exec);
       },
       false, true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    if (r.needsNonRoot && root) continue;
    Places places;
    r.make(places.program);
    const std::string chosen = ChooseSettingsFolder(places.program, {"", places.home});
    EXPECT_EQ(chosen, r.beside ? places.program : places.home + "/.config/sarvoke");
    // Choosing only looks.
    EXPECT_FALSE(fs::exists(places.home + "/.config"));
  }
}

TEST(SettingsFolder, TheUsersConfigurationFolderFollowsTheBaseDirectoryConvention) {
  struct Row {
    const char* label;
    const char* xdgConfigHome;  // relative to the test's folder when it starts with "+"
    const char* home;           // likewise
    const char* expected;       // likewise, or "=program" for the program's folder
  } rows[] = {
      {"XDG_CONFIG_HOME set", "+/xdg", "+/home/user", "+/xdg/sarvoke"},
      {"XDG_CONFIG_HOME with a trailing slash", "+/xdg//", "+/home/user", "+/xdg/sarvoke"},
      {"XDG_CONFIG_HOME unset", "", "+/home/user", "+/home/user/.config/sarvoke"},
      {"a relative XDG_CONFIG_HOME is ignored", "xdg", "+/home/user", "+/home/user/.config/sarvoke"},
      {"no home at all", "", "", "=program"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    Places places;
    auto place = [&](std::string s) {
      if (s == "=program") return places.program;
      return !s.empty() && s[0] == '+' ? places.root + s.substr(1) : s;
    };
    EXPECT_EQ(ChooseSettingsFolder(places.program, {place(r.xdgConfigHome), place(r.home)}),
              place(r.expected));
  }
}

// The first start of an installed program: the folder is made (parents too, the last part the user's
// alone), the settings are written there at the close and read back at the next start.
TEST(SettingsFolder, AMissingFolderIsMadeAtStartAndTheSettingsComeBack) {
  Places places;
  const std::string folder = ChooseSettingsFolder(places.program, {places.root + "/new/xdg", places.home});
  ASSERT_EQ(folder, places.root + "/new/xdg/sarvoke");
  WindowModel first;
  EXPECT_EQ(LoadSettings(first, folder), "");
  ASSERT_TRUE(fs::is_directory(folder));
  EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
  first.SetText("编辑框1", "周杰伦");
  first.SetText("编辑框2", "abc ");
  first.SetSelected("组合框1", 1);
  // Removed while the program ran: the close makes it again rather than lose the settings.
  fs::remove_all(folder);
  SaveSettings(first, folder);
  ASSERT_TRUE(FileExists(SettingsFilePath(folder)));
  EXPECT_FALSE(FileExists(SettingsFilePath(places.program)));
  WindowModel next;
  EXPECT_EQ(LoadSettings(next, folder), "");
  EXPECT_EQ(next.GetText("编辑框1"), "周杰伦");
  EXPECT_EQ(next.GetText("编辑框2"), "abc ");
  EXPECT_EQ(next.GetSelected("组合框1"), 1);
}

// A folder that cannot be made (a file stands where a parent should be) is said at the start; the window
// takes its defaults and the close writes nothing anywhere.
TEST(SettingsFolder, AFolderThatCannotBeMadeIsSaid) {
  Places places;
  ASSERT_TRUE(WriteWholeFile(places.root + "/xdg", "a file, not a folder"));
  const std::string folder = ChooseSettingsFolder(places.program, {places.root + "/xdg", places.home});
  WindowModel w;
  const Text message = LoadSettings(w, folder);
  EXPECT_NE(message.find(Utf8ToAnsiText(folder)), Text::npos);
  EXPECT_NE(message.find("无法建立"), Text::npos);
  EXPECT_EQ(w.GetText("编辑框2"), kDefaultBlockedWords);
  w.SetText("编辑框1", "x");
  SaveSettings(w, folder);
  EXPECT_FALSE(FileExists(SettingsFilePath(folder)));
  EXPECT_FALSE(FileExists(SettingsFilePath(places.program)));
}

}  // namespace
}  // namespace sarvoke
