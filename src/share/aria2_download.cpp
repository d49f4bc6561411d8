#include "share/aria2_download.h"

#include <atomic>

#include "app/settings.h"
#include "platform/ini_file.h"
#include "share/direct_link.h"
#include "share/json_text.h"
#include "share/share_actions.h"
#include "text/code_page.h"

namespace sarvoke {
namespace {

// The agent the share page was read with (ReadUrl's): the site hands the file to the same client.
constexpr std::string_view kDownloadAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
// aria2's error code for a request whose token does not match its --rpc-secret.
constexpr std::string_view kUnauthorized = "Unauthorized";

Text Where(const Aria2Endpoint& e) { return "（" + e.address + "）"; }

Text FromUtf8(const std::string& utf8) { return Utf8ToAnsiText(utf8); }

}  // namespace

Aria2Endpoint LoadAria2Endpoint(const std::string& runDirectory) {
  IniFile file;
  LoadIniFile(SettingsFilePath(runDirectory), file);
  Aria2Endpoint e;
  const Text address = IniValue(file, kAria2Section, kAria2KeyAddress);
  if (!address.empty()) e.address = address;
  e.secret = IniValue(file, kAria2Section, kAria2KeySecret);
  return e;
}

std::vector<Text> DownloadHeaderLines(const Text& shareUrl) {
  // The address comes from a results page: a control character in it would end the header line early
  // and start another of the page's choosing.
  Text referer;
  for (const char c : shareUrl)
    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) referer += c;
  return {"User-Agent: " + Text(kDownloadAgent), "Referer: " + referer};
}

std::string Aria2AddUriRequest(const Aria2Endpoint& endpoint, const Text& link, const std::vector<Text>& headers,
                               const std::string& id) {
  std::string params;
  if (!endpoint.secret.empty()) params += JsonQuoted("token:" + AnsiToUtf8(endpoint.secret)) + ",";
  params += "[" + JsonQuoted(AnsiToUtf8(link)) + "],{\"header\":[";
  for (std::size_t i = 0; i < headers.size(); ++i) params += (i ? "," : "") + JsonQuoted(AnsiToUtf8(headers[i]));
  params += "]}";
  return "{\"jsonrpc\":\"2.0\",\"id\":" + JsonQuoted(id) + ",\"method\":\"aria2.addUri\",\"params\":[" + params +
         "]}";
}

Aria2Outcome ReadAria2Answer(const Aria2Endpoint& endpoint, const HttpBatchAnswer& answer) {
  Aria2Outcome out;
  if (!answer.answered) {
    out.message = "没有连接上 aria2" + Where(endpoint) + "：" + answer.failure +
                  "。请确认 aria2 已经以 --enable-rpc 启动，且设置文件 [aria2] 一节的 RpcAddress 是它的地址。";
    return out;
  }
  JsonValue v;
  const std::string body(answer.body.begin(), answer.body.end());
  if (!ParseJson(body, v) || v.kind != JsonValue::Kind::Object) {
    out.message = "这个地址" + Where(endpoint) + "的回答不是 aria2 的 JSON-RPC 回答（HTTP 状态 " +
                  std::to_string(answer.status) + "）。";
    return out;
  }
  if (const JsonValue* gid = v.Member("result"); gid && gid->kind == JsonValue::Kind::String && !gid->text.empty()) {
    out.accepted = true;
    out.gid = FromUtf8(gid->text);
    out.message = "aria2 已接受下载任务，任务编号：" + out.gid;
    return out;
  }
  const JsonValue* error = v.Member("error");
  const JsonValue* reason = error ? error->Member("message") : nullptr;
  const std::string why = reason && reason->kind == JsonValue::Kind::String ? reason->text : std::string();
  if (why == kUnauthorized) {
    out.message = "aria2" + Where(endpoint) +
                  "拒绝了请求：密钥不对。请在设置文件 [aria2] 一节的 RpcSecret 填写 aria2 的 --rpc-secret。";
  } else {
    out.message = "aria2 没有接受下载任务：" + (why.empty() ? Text("（没有说明原因）") : FromUtf8(why));
  }
  return out;
}

Aria2Outcome SendToAria2(const Aria2Endpoint& endpoint, const Text& link, const std::vector<Text>& headers) {
  static std::atomic<unsigned> requestNumber{0};
  HttpBatchRequest request;
  request.url = endpoint.address;
  request.agent = "Sarvoke";
  request.headers = {"Content-Type: application/json"};
  const std::string body =
      Aria2AddUriRequest(endpoint, link, headers, "sarvoke-" + std::to_string(++requestNumber));
  request.postBody = Bytes(body.begin(), body.end());
  // A JSON-RPC endpoint answers where it is asked; the token is never carried anywhere else.
  request.followRedirects = false;
  HttpBatchOptions options;
  options.maxConnections = 1;
  options.timeoutMs = kAria2TimeoutMs;
  options.maxBodyBytes = 1 << 20;
  HttpBatchAnswer answer;
  answer.failure = "没有回答";
  RunHttpBatch({request}, options, {}, [&](std::size_t, const HttpBatchAnswer& a) { answer = a; });
  return ReadAria2Answer(endpoint, answer);
}

void MenuAria2Download(App& app) {
  const int row = SelectedRecordRow(app);
  if (row < 0) return;
  const Text link = ResolveRowLinkOrSay(app, row);
  if (link.empty()) return;
  const Text page = ShareUrlOfRow(app, row);
  app.window.MessageBox(SendToAria2(LoadAria2Endpoint(app.runDirectory), link, DownloadHeaderLines(page)).message);
}

}  // namespace sarvoke
