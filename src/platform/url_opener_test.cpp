#include "platform/url_opener.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace sarvoke {
namespace {

class OpenUrlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetUrlHandler([this](const std::string& utf8) {
      handedOver_.push_back(utf8);
      return true;
    });
  }
  void TearDown() override { SetUrlHandler(nullptr); }
  std::vector<std::string> handedOver_;
};

TEST_F(OpenUrlTest, TheFiveSchemesAreHandedOverInUtf8) {
  struct Row {
    Text address;
    std::string want;
  } rows[] = {
      {"http://pan.baidu.com/share/link?shareid=1&uk=2", "http://pan.baidu.com/share/link?shareid=1&uk=2"},
      {"https://d.pcs.baidu.com/file/a?fid=1", "https://d.pcs.baidu.com/file/a?fid=1"},
      {"thunder://QUFodHRwOi8vYS9iWlo=", "thunder://QUFodHRwOi8vYS9iWlo="},
      {"Flashget://W0ZMQVNIR0VUXWh0dHA6Ly9hL2JbRkxBU0hHRVRd&1926",
       "Flashget://W0ZMQVNIR0VUXWh0dHA6Ly9hL2JbRkxBU0hHRVRd&1926"},
      {"qqdl://aHR0cDovL2EvYg==", "qqdl://aHR0cDovL2EvYg=="},
      {"http://a/文件.txt", "http://a/\xE6\x96\x87\xE4\xBB\xB6.txt"},
      {"http://a/$(id);`id`|x", "http://a/$(id);`id`|x"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.address);
    handedOver_.clear();
    EXPECT_TRUE(OpenUrl(r.address));
    ASSERT_EQ(handedOver_.size(), 1u);
    EXPECT_EQ(handedOver_[0], r.want);
  }
}

TEST_F(OpenUrlTest, EverythingElseIsRefused) {
  const Text rows[] = {
      "",
      "转换失败",
      "file:///etc/passwd",
      "/usr/bin/xterm",
      "xterm",
      "javascript:alert(1)",
      "mailto:a@b",
      "ftp://h/x",
      " http://h/",  // a blank ahead
      "HTTP://h/",   // the prefixes are compared exactly
      "flashget://x",
      "Thunder://x",
      "http:/h",
      "thunder:x",
      "qqdl//x",
      "smb://h/share",
  };
  for (const Text& address : rows) {
    SCOPED_TRACE(address);
    EXPECT_FALSE(OpenUrl(address));
  }
  EXPECT_TRUE(handedOver_.empty());
}

TEST_F(OpenUrlTest, TheHandlersAnswerIsTheResult) {
  SetUrlHandler([](const std::string&) { return false; });
  EXPECT_FALSE(OpenUrl("http://h/"));
}

// The system's handler: xdg-open found on PATH, started without a shell and reaped when it ends.
TEST(OpenUrlSystem, StartsXdgOpenWithTheAddressAsOneArgument) {
  char dir[] = "/tmp/sarvoke-xdg-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string out = std::string(dir) + "/out";
  const std::string script = std::string(dir) + "/xdg-open";
  {
    std::ofstream f(script);
    f << "#!/bin/sh\nprintf '%s\\n%s' \"$$\" \"$1\" > '" << out << ".tmp'\nmv '" << out << ".tmp' '" << out
      << "'\n";
  }
  chmod(script.c_str(), 0755);
  const char* oldPath = std::getenv("PATH");
  const std::string savedPath = oldPath ? oldPath : "";
  setenv("PATH", (std::string(dir) + ":" + savedPath).c_str(), 1);

  EXPECT_TRUE(OpenUrl("http://a/文件?x=$(id)&y=`id`"));

  std::string content;
  for (int i = 0; i < 100 && content.empty(); ++i) {
    std::ifstream f(out);
    std::stringstream ss;
    ss << f.rdbuf();
    content = ss.str();
    if (content.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  setenv("PATH", savedPath.c_str(), 1);
  const auto newline = content.find('\n');
  ASSERT_NE(newline, std::string::npos) << content;
  EXPECT_EQ(content.substr(newline + 1), "http://a/\xE6\x96\x87\xE4\xBB\xB6?x=$(id)&y=`id`");

  // Once it has ended, nothing of it stays: no zombie waits for us.
  const std::string proc = "/proc/" + content.substr(0, newline);
  bool gone = false;
  for (int i = 0; i < 100 && !gone; ++i) {
    gone = access(proc.c_str(), F_OK) != 0;
    if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_TRUE(gone);
  unlink(out.c_str());
  unlink(script.c_str());
  rmdir(dir);
}

// xdg-open fails at once (status 3 or 4) when no program is registered for the scheme, as for a
// thunder:// link on a machine without Thunder; a handler that keeps running has taken the address.
TEST(OpenUrlSystem, XdgOpenSayingNothingTakesTheAddressIsAFailure) {
  char dir[] = "/tmp/sarvoke-xdg-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string script = std::string(dir) + "/xdg-open";
  const char* oldPath = std::getenv("PATH");
  const std::string savedPath = oldPath ? oldPath : "";
  setenv("PATH", (std::string(dir) + ":" + savedPath).c_str(), 1);
  struct Row {
    const char* body;
    bool taken;
  } rows[] = {{"echo 'xdg-open: no method available' >&2; exit 3", false},
              {"exit 4", false},
              {"kill -9 $$", false},
              {"exit 0", true},
              {"exec sleep 5", true}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.body);
    {
      std::ofstream f(script, std::ios::trunc);
      f << "#!/bin/sh\n" << r.body << "\n";
    }
    chmod(script.c_str(), 0755);
    EXPECT_EQ(OpenUrl("thunder://QUFodHRwOi8vYS9iWlo="), r.taken);
  }
  setenv("PATH", savedPath.c_str(), 1);
  unlink(script.c_str());
  rmdir(dir);
}

TEST(OpenUrlSystem, NoHandlerToStartIsAFailure) {
  const char* oldPath = std::getenv("PATH");
  const std::string savedPath = oldPath ? oldPath : "";
  setenv("PATH", "/nonexistent", 1);
  EXPECT_FALSE(OpenUrl("http://h/"));
  setenv("PATH", savedPath.c_str(), 1);
}

}  // namespace
}  // namespace sarvoke
