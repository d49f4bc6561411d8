// The results-page pattern through RegexObject against PCRE2 (pcre2grep, JIT) on the same page file.
//   regex_bench [ROUNDS] [MEGABYTES]
// Builds a results page of 100 hits and one of about MEGABYTES (20) in code page 936, times
// RegexObject::Search plus reading every group of every match, then `pcre2grep -c -i` over the same file
// (one hit a line, so its count is the number of matches), and prints the throughput of each and the ratio.
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "text/regex_object.h"

namespace {

// The engine's results-page pattern for one hit (six groups: address, name, size, sharer, time, count).
const sarvoke::Text kResultPattern =
    "}\"  href=\"(.+?)\"   target=\"_blank\" >.+?</a></h3>     <font size=-1>文件名:(.+?) 文件大小:(.+?) "
    "分享者:(.+?) 分享时间:(.+?) 下载次数:(.+?)</font>";

double Now() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

const char* const kNames[] = {"三国演义",     "红楼梦全集",  "西游记",  "水浒传",
                              "高等数学教程", "周杰伦 专辑", "英语四级"};
const char* const kSharers[] = {"张三", "李四", "王小明", "网盘达人", "hello_world"};

// One hit as the engine writes it, with the page furniture around it, in code page 936.
std::string HitBlock(int i) {
  const std::string name = kNames[i % 7];
  std::string s;
  s += "<div class=\"result c-container\" id=\"" + std::to_string(i) + "\" srcid=\"1599\">\n";
  s += "<h3 class=\"t\"><a data-click=\"{'F':'778317EA','T':" + std::to_string(i % 97) +
       "}\"  href=\"http://pan.baidu.com/share/link?shareid=" + std::to_string(100000 + i) +
       "&uk=" + std::to_string(2000000 + i % 331) + "\"   target=\"_blank\" ><em>" + name + "</em>" +
       std::to_string(i) + ".rar_免费高速下载|百度云 网盘-分享无限制</a></h3>     <font size=-1>文件名:<em>" +
       name + "</em>" + std::to_string(i) + ".rar 文件大小:" + std::to_string(1 + i % 900) + "." +
       std::to_string(i % 10) + "M 分享者:" + kSharers[i % 5] + " 分享时间:2013-12-" +
       std::to_string(10 + i % 18) + " 23:05 下载次数:" + std::to_string(i * 7 % 5000) + "</font><br>\n";
  s += "<div class=\"c-abstract\">百度网盘为您提供文件的网盘下载、在线播放、在线预览服务，分享者 " +
       std::string(kSharers[i % 5]) + " 于 2013 年分享。</div></div>\n";
  return s;
}

std::string BuildPage(std::size_t minBytes, int minHits) {
  std::string page =
      "<!DOCTYPE html>\n<html><head><meta charset=\"gbk\"><title>百度搜索</title></head><body>\n";
  int i = 0;
  while (page.size() < minBytes || i < minHits) page += HitBlock(i++);
  page += "</body></html>\n";
  return page;
}

struct Run {
  double seconds = 1e9;
  long matches = -1;
};

Run TimeRegexObject(const std::string& page, int rounds) {
  Run best;
  sarvoke::RegexObject re;
  for (int r = 0; r < rounds; ++r) {
    const double t0 = Now();
    re.Search(kResultPattern, page);
    const int n = re.MatchCount();
    std::size_t bytes = 0;
    for (int m = 1; m <= n; ++m)
      for (int g = 1; g <= 6; ++g) bytes += re.SubmatchText(m, g).size();
    const double t = Now() - t0;
    if (bytes == 0 && n > 0) std::fprintf(stderr, "groups came back empty\n");
    if (t < best.seconds) best = {t, n};
  }
  return best;
}

Run TimePcre2grep(const std::string& pageFile, const std::string& patternFile, int rounds) {
  Run best;
  const std::string out = pageFile + ".count";
  const std::string command = "pcre2grep -c -i -f " + patternFile + " " + pageFile + " > " + out;
  for (int r = 0; r < rounds; ++r) {
    const double t0 = Now();
    const int status = std::system(command.c_str());
    const double t = Now() - t0;
    if (status == -1) return best;
    std::ifstream in(out);
    long count = -1;
    in >> count;
    if (t < best.seconds) best = {t, count};
  }
  return best;
}

void Compare(const char* label, const std::string& page, int rounds) {
  const std::string pageFile = "/tmp/sarvoke-regex-bench-page.html";
  const std::string patternFile = "/tmp/sarvoke-regex-bench-pattern.txt";
  std::ofstream(pageFile, std::ios::binary) << page;
  std::ofstream(patternFile, std::ios::binary) << kResultPattern << '\n';
  const Run ours = TimeRegexObject(page, rounds);
  const Run peer = TimePcre2grep(pageFile, patternFile, rounds);
  const double mb = page.size() / 1e6;
  std::printf(
      "%-12s %8.2f MB  RegexObject %6ld matches %9.1f MB/s   pcre2grep %6ld matches %9.1f MB/s   ratio "
      "%.2f\n",
      label, mb, ours.matches, mb / ours.seconds, peer.matches, mb / peer.seconds,
      peer.seconds / ours.seconds);
  if (ours.matches != peer.matches) std::printf("  match counts differ\n");
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
  const double megabytes = argc > 2 ? std::atof(argv[2]) : 20;
  std::printf(
      "pattern: %zu bytes; best of %d rounds; ratio = RegexObject throughput / pcre2grep throughput\n",
      kResultPattern.size(), rounds);
  Compare("100 hits", BuildPage(0, 100), rounds * 4);
  Compare("large page", BuildPage(static_cast<std::size_t>(megabytes * 1e6), 0), rounds);
  return 0;
}
