#include "share_site.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

namespace sarvoke::lab {
namespace {

long long Number(const std::string& s) { return std::strtoll(s.c_str(), nullptr, 10); }

// FNV-1a: stable across runs and platforms, so every made-up figure stays the same.
std::uint64_t Hash(const std::string& s) {
  std::uint64_t h = 14695981039346656037ull;
  for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
  return h;
}

std::string Hex(std::uint64_t v, int digits) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out(digits, '0');
  for (int i = digits - 1; i >= 0; --i, v >>= 4) out[i] = kDigits[v & 15];
  return out;
}

std::string HtmlEscape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// Percent-encodes every byte but the unreserved ones, as filename*= wants it.
std::string PercentEncode(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
        c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else {
      static const char kDigits[] = "0123456789ABCDEF";
      out += '%';
      out += kDigits[c >> 4];
      out += kDigits[c & 15];
    }
  }
  return out;
}

// Inside a JavaScript string literal between double quotes.
std::string JsStringEscape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

long long FsId(const Share& s) {
  return 3893456712LL + static_cast<long long>(Hash("fs" + s.shareId) % 900000000);
}
int Views(const Share& s) { return static_cast<int>(Hash("v" + s.shareId) % 500) + 1; }
int Saves(const Share& s) { return static_cast<int>(Hash("t" + s.shareId) % 50); }

const Share* FindById(const std::vector<Share>& catalogue, const std::string& shareId) {
  for (const Share& s : catalogue)
    if (s.shareId == shareId) return &s;
  return nullptr;
}

std::string RequestId(const std::string& uk, int page) {
  return std::to_string(1000000000 + Hash(uk + ":" + std::to_string(page)) % 3000000000ull);
}

// A positive number, or `otherwise` when the text is missing or not a number.
int PositiveOr(const std::string& text, int otherwise) {
  if (text.empty()) return otherwise;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  return *end == '\0' && v > 0 && v <= 100000 ? static_cast<int>(v) : otherwise;
}

std::string PageHead(const std::string& title) {
  return "<!DOCTYPE html>\n<html><head><meta http-equiv=\"content-type\" "
         "content=\"text/html;charset=utf-8\">\n"
         "<title>" +
         title + "</title></head>\n<body>\n";
}

std::string DeadPage() {
  return PageHead("百度网盘-链接不存在") + "<div class=\"share-error\">" +
         "啊哦，你来晚了，分享的文件已经被取消了，下次要早点哟。" + "</div>\n</body></html>\n";
}

std::string PasswordPage(const Share& s) {
  return PageHead("百度网盘 请输入提取码") +
         "<form class=\"verify-form\" action=\"/share/verify?shareid=" + s.shareId + "&amp;uk=" + s.userKey +
         "\" method=\"post\">\n<label for=\"accessCode\">请输入提取码：</label>\n"
         "<input type=\"text\" id=\"accessCode\" name=\"pwd\" maxlength=\"4\">\n"
         "<a class=\"submit-btn\" href=\"javascript:;\">提取文件</a>\n</form>\n</body></html>\n";
}

std::string HomePage(const std::vector<Share>& catalogue, const std::string& uk, const std::string& sharer) {
  std::string page = PageHead(HtmlEscape(sharer) + "的分享_百度网盘") + "<h2 class=\"share-person\">" +
                     HtmlEscape(sharer) + "</h2>\n<ul class=\"share-list\">\n";
  for (const Share& s : catalogue) {
    if (s.userKey != uk || s.kind == "dead") continue;
    page += "<li><a href=\"/share/link?shareid=" + s.shareId + "&amp;uk=" + s.userKey + "\">" +
            HtmlEscape(s.fileName) + "</a></li>\n";
  }
  return page + "</ul>\n</body></html>\n";
}

// One record of the share list; the password share's differs in two values, the reordered one in the
// order of its keys.
std::string ShareRecord(const Share& s) {
  const std::string shareId = "\"shareId\":" + std::to_string(Number(s.shareId)),
                    fsIds = "\"fsIds\":[" + std::to_string(FsId(s)) + "]",
                    head = "\"channel\":0,\"channelInfo\":[]", status = "\"status\":0,\"expiredType\":0",
                    passwd = std::string("\"passwd\":\"") + (s.kind == "password" ? "x7k2" : "0") + "\"",
                    texts = "\"name\":\"0\",\"description\":\"0\"",
                    ctime = "\"ctime\":" + std::to_string(ShareTimeSeconds(s.shareTime)),
                    app = std::string("\"appId\":250528,\"public\":") + (s.kind == "password" ? "0" : "1") +
                          ",\"publicChannel\":0,\"tplId\":0",
                    vCnt = "\"vCnt\":\"" + std::to_string(Views(s)) + "\"",
                    dCnt = "\"dCnt\":\"" + std::to_string(Number(s.downloads)) + "\"",
                    tCnt = "\"tCnt\":\"" + std::to_string(Saves(s)) + "\"",
                    category = "\"typicalCategory\":6",
                    path = "\"typicalPath\":\"\\/" + JsonEscapeName(s.fileName) + "\"";
  if (s.kind == "reordered") {
    return "{" + shareId + "," + fsIds + "," + head + "," + ctime + "," + status + "," + texts + "," +
           passwd + "," + app + "," + dCnt + "," + vCnt + "," + tCnt + "," + path + "," + category + "}";
  }
  return "{" + shareId + "," + fsIds + "," + head + "," + status + "," + passwd + "," + texts + "," + ctime +
         "," + app + "," + vCnt + "," + dCnt + "," + tCnt + "," + category + "," + path + "}";
}

// What the share site counts of its share pages, for the tests of the background check.
struct SharePageCounts {
  std::atomic<int> inFlight{0}, peak{0}, served{0};
  // Connections that asked for a share page, from their first such request until they close.
  std::atomic<int> connections{0}, peakConnections{0};
  std::atomic<bool> stopping{false};  // the site is being stopped: stalled pages stop waiting
};

void RaisePeak(std::atomic<int>& peak, int now) {
  int seen = peak;
  while (now > seen && !peak.compare_exchange_weak(seen, now)) {
  }
}

// Whether the connection this thread serves has asked for a share page: a connection is served by one
// thread of the pool from its start to its end.
thread_local bool connectionAskedForSharePage = false;

// The site's request threads. The server stops by shutting its pool down, which waits for every
// request: a stalled page must hear of it first, or stopping would wait out the stall.
class SharePagePool : public httplib::ThreadPool {
 public:
  explicit SharePagePool(std::shared_ptr<SharePageCounts> counts)
      : httplib::ThreadPool(64), counts_(std::move(counts)) {
    counts_->stopping = false;
  }
  void shutdown() override {
    counts_->stopping = true;
    httplib::ThreadPool::shutdown();
  }
  // Each task is one connection, served to its end.
  void enqueue(std::function<void()> connection) override {
    httplib::ThreadPool::enqueue([connection = std::move(connection), counts = counts_] {
      connectionAskedForSharePage = false;
      connection();
      if (connectionAskedForSharePage) --counts->connections;
      connectionAskedForSharePage = false;
    });
  }

 private:
  std::shared_ptr<SharePageCounts> counts_;
};

// Counts one share page request from its start to its end.
class InFlight {
 public:
  explicit InFlight(SharePageCounts& counts) : counts_(counts) {
    RaisePeak(counts_.peak, ++counts_.inFlight);
    if (!connectionAskedForSharePage) {
      connectionAskedForSharePage = true;
      RaisePeak(counts_.peakConnections, ++counts_.connections);
    }
  }
  ~InFlight() {
    --counts_.inFlight;
    ++counts_.served;
  }
  InFlight(const InFlight&) = delete;
  InFlight& operator=(const InFlight&) = delete;

 private:
  SharePageCounts& counts_;
};

// A stalled share's page waits this long before it answers: "stalled:MS" waits MS milliseconds, a bare
// "stalled" five minutes, far longer than any client waits (and short enough that a lab running for
// days never runs out of threads). Checked in small steps, so that stopping the lab is not held up.
void WaitAsStalled(const Share& s, const SharePageCounts& counts) {
  constexpr long kNever = 300L * 1000;
  const long ms = s.kind.size() > 8 ? std::strtol(s.kind.c_str() + 8, nullptr, 10) : kNever;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms > 0 ? ms : 0);
  while (!counts.stopping && std::chrono::steady_clock::now() < until) {
    const auto left = until - std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(left, std::chrono::milliseconds(20)));
  }
}

}  // namespace

bool IsStalledKind(const std::string& kind) { return kind == "stalled" || kind.rfind("stalled:", 0) == 0; }

std::string ShareFileContent(const Share& s) {
  const long long id = Number(s.shareId);
  const std::size_t total = 4096 + static_cast<std::size_t>((id % 997 + 997) % 997);
  std::string out = "Sarvoke lab file " + s.shareId + " " + s.fileName + "\n";
  // An odd step runs through all 256 byte values, NUL and the high half included.
  for (std::size_t i = 0; out.size() < total; ++i)
    out += static_cast<char>(static_cast<unsigned char>(id * 31 + i * 7 + (i >> 8)));
  out.resize(total);
  return out;
}

std::string JsonEscapeName(const std::string& utf8) {
  std::string out;
  auto unit = [&out](unsigned u) { out += "\\u" + Hex(u, 4); };
  for (std::size_t i = 0; i < utf8.size();) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      ++i;
      switch (c) {
        case '"':
          out += "\\\"";
          break;
        case '\\':
          out += "\\\\";
          break;
        case '/':
          out += "\\/";
          break;
        case '\b':
          out += "\\b";
          break;
        case '\f':
          out += "\\f";
          break;
        case '\n':
          out += "\\n";
          break;
        case '\r':
          out += "\\r";
          break;
        case '\t':
          out += "\\t";
          break;
        default:
          if (c < 0x20)
            unit(c);
          else
            out += static_cast<char>(c);
      }
      continue;
    }
    const int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
    unsigned cp = extra == 3 ? c & 0x07 : extra == 2 ? c & 0x0F : c & 0x1F;
    bool ok = extra > 0 && i + extra < utf8.size();
    for (int k = 1; ok && k <= extra; ++k) {
      const unsigned char d = static_cast<unsigned char>(utf8[i + k]);
      ok = (d & 0xC0) == 0x80;
      cp = (cp << 6) | (d & 0x3F);
    }
    if (!ok) {  // a stray byte: the replacement character, and on with the next byte
      unit(0xFFFD);
      ++i;
      continue;
    }
    i += extra + 1;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      unit(0xD800 + (cp >> 10));
      unit(0xDC00 + (cp & 0x3FF));
    } else {
      unit(cp);
    }
  }
  return out;
}

long long ShareTimeSeconds(const std::string& catalogueTime) {
  int y, mo, d, h, mi;
  if (std::sscanf(catalogueTime.c_str(), "%d-%d-%d %d:%d", &y, &mo, &d, &h, &mi) != 5) return 0;
  // Days since 1970-01-01 of a proleptic Gregorian date (the year starts in March here).
  y -= mo <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (mo + (mo > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const long long days = era * 146097 + doe - 719468;
  return days * 86400 + h * 3600LL + mi * 60LL - 8 * 3600LL;  // Beijing is UTC+8
}

std::string ShareListBody(const std::vector<Share>& catalogue, const std::string& uk, int num, int page) {
  if (num <= 0) num = 100;
  if (page < 1) page = 1;
  bool known = false;
  std::vector<const Share*> listed;
  for (const Share& s : catalogue) {
    if (uk.empty() || s.userKey != uk) continue;
    known = true;
    if (s.kind != "dead") listed.push_back(&s);
  }
  if (!known) return "{\"errno\":2,\"request_id\":" + RequestId(uk, page) + ",\"list\":[]}";
  std::string list;
  const std::size_t first = static_cast<std::size_t>(page - 1) * num;
  for (std::size_t i = first; i < listed.size() && i < first + num; ++i)
    list += (list.empty() ? "" : ",") + ShareRecord(*listed[i]);
  return "{\"errno\":0,\"request_id\":" + RequestId(uk, page) +
         ",\"totalCount\":" + std::to_string(listed.size()) + ",\"list\":[" + list + "],\"nextpage\":0}";
}

std::string SharePage(const Share& s, const std::string& shareSiteHost) {
  if (s.kind == "dead") return DeadPage();
  if (s.kind == "password") return PasswordPage(s);
  const std::string sign =
      Hex(Hash(s.shareId + ":" + s.userKey), 16) + Hex(Hash(s.userKey + ":" + s.shareId), 16);
  const std::string dlink = "http://" + shareSiteHost + "/file/" + s.shareId + "?fid=" + s.userKey + "-" +
                            s.shareId + "&sign=" + sign + "&expires=8h&sh=1";
  // The file list is JSON, and the page carries that JSON as a JavaScript string.
  const std::string fileInfo = "[{\"fs_id\":" + std::to_string(FsId(s)) + ",\"server_filename\":\"" +
                               JsonEscapeName(s.fileName) +
                               "\",\"size\":" + std::to_string(ShareFileContent(s).size()) + ",\"dlink\":\"" +
                               JsonEscapeName(dlink) + "\",\"isdir\":0}]";
  const std::string name = HtmlEscape(s.fileName);
  return PageHead(name + "_免费高速下载|百度网盘-分享无限制") +
         "<div class=\"share-person\">分享者：<a href=\"/share/home?uk=" + s.userKey +
         "\" class=\"share-person-username\">" + HtmlEscape(s.sharer) +
         "</a></div>\n<h2 class=\"file-name\">" + name + "</h2>\n<div class=\"file-size\">文件大小：" +
         HtmlEscape(s.size) +
         "</div>\n<script type=\"text/javascript\">\nvar yunData = {};\nyunData.SHARE_ID = \"" + s.shareId +
         "\";\nyunData.SHARE_UK = \"" + s.userKey + "\";\nyunData.FILEINFO = \"" + JsStringEscape(fileInfo) +
         "\";\n</script>\n</body></html>\n";
}

const Share* FindShare(const std::vector<Share>& catalogue, const std::string& shareId,
                       const std::string& uk) {
  for (const Share& s : catalogue)
    if (s.shareId == shareId && s.userKey == uk) return &s;
  return nullptr;
}

void AddShareSiteRoutes(httplib::Server& server, const std::vector<Share>& catalogue,
                        std::function<std::string()> host,
                        std::function<void(const httplib::Request&)> record) {
  // Stalled pages hold a thread each while they wait: enough threads that a client opening too many
  // connections at once shows in the peak count instead of queueing unseen.
  auto counts = std::make_shared<SharePageCounts>();
  server.new_task_queue = [counts] { return new SharePagePool(counts); };
  // The error handler records every 404, so these record only what they answer otherwise.
  server.Get("/share/link", [&catalogue, host, record, counts](const httplib::Request& req,
                                                              httplib::Response& res) {
    InFlight counted(*counts);
    const Share* s = FindShare(catalogue, req.get_param_value("shareid"), req.get_param_value("uk"));
    if (!s) {
      res.status = 404;
      return;
    }
    record(req);
    if (IsStalledKind(s->kind)) WaitAsStalled(*s, *counts);
    res.set_content(SharePage(*s, host()), "text/html; charset=utf-8");
  });
  // The share page counts, not a page of the real site: {"inFlight":N,"peak":N,"served":N,
  // "connections":N,"peakConnections":N}; with ?reset=1 the peaks and the served count start again.
  server.Get("/lab/share-page-counts", [counts](const httplib::Request& req, httplib::Response& res) {
    if (req.get_param_value("reset") == "1") {
      counts->peak = counts->inFlight.load();
      counts->peakConnections = counts->connections.load();
      counts->served = 0;
    }
    res.set_content("{\"inFlight\":" + std::to_string(counts->inFlight) + ",\"peak\":" +
                        std::to_string(counts->peak) + ",\"served\":" + std::to_string(counts->served) +
                        ",\"connections\":" + std::to_string(counts->connections) +
                        ",\"peakConnections\":" + std::to_string(counts->peakConnections) + "}",
                    "application/json");
  });
  server.Get("/share/homerecord", [&catalogue, record](const httplib::Request& req, httplib::Response& res) {
    record(req);
    res.set_content(
        ShareListBody(catalogue, req.get_param_value("uk"), PositiveOr(req.get_param_value("num"), 100),
                      PositiveOr(req.get_param_value("page"), 1)),
        "application/json");
  });
  server.Get("/share/home", [&catalogue, record](const httplib::Request& req, httplib::Response& res) {
    const std::string uk = req.get_param_value("uk");
    const Share* any = nullptr;
    for (const Share& s : catalogue)
      if (!uk.empty() && s.userKey == uk) any = any ? any : &s;
    if (!any) {
      res.status = 404;
      return;
    }
    record(req);
    res.set_content(HomePage(catalogue, uk, any->sharer), "text/html; charset=utf-8");
  });
  server.Get(R"(/file/([^/]+))", [&catalogue, record](const httplib::Request& req, httplib::Response& res) {
    const Share* s = FindById(catalogue, req.matches[1]);
    if (!s || s->kind == "dead") {
      res.status = 404;
      return;
    }
    record(req);
    res.set_header("Content-Disposition", "attachment; filename*=UTF-8''" + PercentEncode(s->fileName));
    res.set_content(ShareFileContent(*s), "application/octet-stream");
  });
}

}  // namespace sarvoke::lab
