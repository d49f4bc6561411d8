#include "net/endpoints.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "platform/files.h"
#include "text/code_page.h"

namespace sarvoke {
namespace {

TEST(EndpointsFile, AFileThatCannotBeUsedIsRefusedWithWhatIsWrong) {
  char tmpl[] = "/tmp/sarvoke-endpoints-XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  struct Row {
    const char* label;
    std::function<void(const std::string&)> make;
    const char* says;
  } rows[] = {
      {"missing", [](const std::string&) {}, "不存在"},
      {"empty", [](const std::string& p) { WriteWholeFile(p, ""); }, "没有 [endpoints]"},
      {"binary",
       [](const std::string& p) {
         WriteWholeFile(p, std::string("\x7f"
                                       "ELF\0\0\x01[endpoints]\0",
                                       17));
       },
       "没有 [endpoints]"},
      {"another section",
       [](const std::string& p) { WriteWholeFile(p, "[hosts]\r\nSearchEngineHost=a\r\n"); },
       "没有 [endpoints]"},
      {"a pipe", [](const std::string& p) { mkfifo(p.c_str(), 0600); }, "不是普通文件"},
      {"too large", [](const std::string& p) { WriteWholeFile(p, std::string(2u << 20, '#')); }, "超过 1 MB"},
  };
  int n = 0;
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    const std::string path = dir + "/e" + std::to_string(n++) + ".ini";
    r.make(path);
    Endpoints e;
    const Text problem = ReadEndpointsFile(path, e);
    EXPECT_NE(problem.find(r.says), Text::npos) << AnsiToUtf8(problem);
    EXPECT_NE(problem.find(Utf8ToAnsiText(path)), Text::npos);
    EXPECT_EQ(e.searchEngineHost, DefaultEndpoints().searchEngineHost);
  }
  const std::string good = dir + "/good.ini";
  WriteWholeFile(good, "[endpoints]\r\nSearchEngineHost=127.0.0.1:1\r\n");
  Endpoints e;
  EXPECT_EQ(ReadEndpointsFile(good, e), "");
  EXPECT_EQ(e.searchEngineHost, "127.0.0.1:1");
  EXPECT_EQ(e.shareSiteDomain, DefaultEndpoints().shareSiteDomain);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace sarvoke
