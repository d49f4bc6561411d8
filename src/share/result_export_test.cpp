#include "share/result_export.h"

#include <gtest/gtest.h>

#include "share/json_text.h"
#include "share/liveness_check.h"
#include "text/code_page.h"

namespace sarvoke {
namespace {

// A small list whose texts hold what CSV and JSON must quote; the program's texts are code page 936.
std::vector<ExportRow> SmallList() {
  return {
      {{"周杰伦 - 青花瓷.mp3", "4.8M", "音乐之声", "2013-01-20 18:40", "5120"}, "http://s/1?a=1&b=2", RowMark::Alive},
      {{"合集,第1部 \"精选\".mkv", "1.5G", "逗号,先生", "2013-05-01", "12"}, "http://s/2", RowMark::Dead},
      {{"第一行\r\n第二行\n第三行", "1K", "换行", "", "0"}, "", RowMark::Unknown},
      {{"=HYPERLINK(\"http://x\")", "-1", "@me", "+86", "3"}, "http://s/4", RowMark::None},
  };
}

TEST(ResultExport, CsvIsUtf8WithAByteOrderMarkAndRfc4180Quoting) {
  const std::string csv = ResultsCsv(SmallList());
  const std::string want =
      "\xEF\xBB\xBF" + AnsiToUtf8("文件名,文件大小,分享者,分享时间,下载次数,分享页地址,检查结果") + "\r\n" +
      AnsiToUtf8("周杰伦 - 青花瓷.mp3,4.8M,音乐之声,2013-01-20 18:40,5120,http://s/1?a=1&b=2,有效") + "\r\n" +
      AnsiToUtf8("\"合集,第1部 \"\"精选\"\".mkv\",1.5G,\"逗号,先生\",2013-05-01,12,http://s/2,已失效") + "\r\n" +
      AnsiToUtf8("\"第一行\r\n第二行\n第三行\",1K,换行,,0,,未知") + "\r\n" +
      "\"'=HYPERLINK(\"\"http://x\"\")\",'-1,'@me,'+86,3,http://s/4,\r\n";
  EXPECT_EQ(csv, want);
}

TEST(ResultExport, CsvFieldsQuoteOnlyWhatNeedsIt) {
  struct Row {
    const char* label;
    std::string in, out;
  } rows[] = {
      {"plain", "abc", "abc"},
      {"empty", "", ""},
      {"a comma", "a,b", "\"a,b\""},
      {"quotes doubled", "say \"hi\"", "\"say \"\"hi\"\"\""},
      {"a line feed", "a\nb", "\"a\nb\""},
      {"a carriage return", "a\rb", "\"a\rb\""},
      {"a formula gets an apostrophe", "=1+1", "'=1+1"},
      {"a formula with a comma", "=A1,B1", "\"'=A1,B1\""},
      {"a tab in front", "\t=1", "'\t=1"},
      {"a dash inside stays", "a-b", "a-b"},
      {"Chinese as it is", AnsiToUtf8("中文"), AnsiToUtf8("中文")},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    EXPECT_EQ(CsvField(r.in), r.out);
  }
}

TEST(ResultExport, JsonReadsBackWithEveryField) {
  const auto list = SmallList();
  const std::string json = ResultsJson(list, true);
  JsonValue v;
  ASSERT_TRUE(ParseJson(json, v)) << json;
  ASSERT_EQ(v.kind, JsonValue::Kind::Array);
  ASSERT_EQ(v.items.size(), list.size());
  const char* names[] = {"fileName", "fileSize", "sharer", "shareTime", "downloadCount"};
  for (std::size_t r = 0; r < list.size(); ++r) {
    SCOPED_TRACE(r);
    const JsonValue& o = v.items[r];
    ASSERT_EQ(o.members.size(), 7u);
    for (int c = 0; c < 5; ++c) {
      ASSERT_TRUE(o.Member(names[c]));
      EXPECT_EQ(o.Member(names[c])->text, AnsiToUtf8(list[r].cells[c]));  // line breaks and quotes intact
    }
    EXPECT_EQ(o.Member("shareUrl")->text, list[r].shareUrl);
    EXPECT_EQ(o.Member("check")->text, RowMarkName(list[r].mark));
  }
  // One object per line; control characters never stand raw in the text.
  EXPECT_EQ(std::count(json.begin(), json.end(), '\n'), 6);
  EXPECT_EQ(json.find('\r'), std::string::npos);
  EXPECT_EQ(ResultsJson(list, false).find("\"check\""), std::string::npos);
  EXPECT_EQ(ResultsJson({}, true), "[]\n");
}

TEST(JsonText, QuotesEscapesAndMendsBrokenUtf8) {
  struct Row {
    const char* label;
    std::string in, out;
  } rows[] = {
      {"plain", "abc", "\"abc\""},
      {"quote and backslash", "a\"b\\c", "\"a\\\"b\\\\c\""},
      {"named controls", "\b\f\n\r\t", "\"\\b\\f\\n\\r\\t\""},
      {"other controls", std::string("\x01\x1f\x7f", 3), "\"\\u0001\\u001f\\u007f\""},
      {"a NUL", std::string("a\0b", 3), "\"a\\u0000b\""},
      {"UTF-8 stays", "\xE4\xB8\xAD\xF0\x9F\x98\x80", "\"\xE4\xB8\xAD\xF0\x9F\x98\x80\""},
      {"a stray byte", "a\xFF" "b", "\"a\xEF\xBF\xBD" "b\""},
      {"a cut sequence", "\xE4\xB8", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"an encoded surrogate", "\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"an overlong slash", "\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    EXPECT_EQ(JsonQuoted(r.in), r.out);
    JsonValue v;
    ASSERT_TRUE(ParseJson(r.out, v));
  }
}

TEST(JsonText, ReadsDocumentsAndRefusesWhatIsNone) {
  JsonValue v;
  ASSERT_TRUE(ParseJson(R"( {"id":"x","result":"2089b05ecca3d829","n":[1,-2.5e1,true,false,null],"s":"\u4e2d\ud83d\ude00\/"} )", v));
  EXPECT_EQ(v.Member("result")->text, "2089b05ecca3d829");
  ASSERT_EQ(v.Member("n")->items.size(), 5u);
  EXPECT_EQ(v.Member("n")->items[1].number, -25);
  EXPECT_TRUE(v.Member("n")->items[2].boolean);
  EXPECT_FALSE(v.Member("n")->items[3].boolean);
  EXPECT_EQ(v.Member("s")->text, "\xE4\xB8\xAD\xF0\x9F\x98\x80/");
  EXPECT_EQ(v.Member("none"), nullptr);
  struct Row {
    const char* label;
    std::string text;
  } refused[] = {
      {"empty", ""},
      {"an unclosed object", "{\"a\":1"},
      {"a trailing comma", "[1,]"},
      {"text after the document", "{} x"},
      {"a raw line break in a string", "\"a\nb\""},
      {"a bad escape", "\"\\q\""},
      {"a short \\u", "\"\\u12\""},
      {"nested too deep", std::string(kJsonDepthLimit + 1, '[') + std::string(kJsonDepthLimit + 1, ']')},
      {"a bare word", "nope"},
      {"an HTML page", "<html>404</html>"},
  };
  for (const Row& r : refused) {
    SCOPED_TRACE(r.label);
    EXPECT_FALSE(ParseJson(r.text, v));
  }
  EXPECT_TRUE(ParseJson(std::string(kJsonDepthLimit, '[') + std::string(kJsonDepthLimit, ']'), v));
}

TEST(Liveness, AnAnswerGivesTheMarkTheActionsWouldFindToo) {
  const std::string withLink = R"(yunData.FILEINFO = "[{\"dlink\":\"http:\\/\\/h\\/file\\/1?x=1\"}]";)";
  const std::string scriptLink = R"(yunData.FILEINFO = "[{\"dlink\":\"javascript:alert(1)\"}]";)";
  struct Row {
    const char* label;
    bool answered;
    int status;
    std::string body;
    RowMark want;
  } rows[] = {
      {"a page with a direct link", true, 200, withLink, RowMark::Alive},
      {"a page without one", true, 200, "<div class=\"share-error\">gone</div>", RowMark::Dead},
      {"a link no program may be handed", true, 200, scriptLink, RowMark::Dead},
      {"no such page", true, 404, "", RowMark::Dead},
      {"gone for good", true, 410, "", RowMark::Dead},
      {"a server in trouble", true, 503, withLink, RowMark::Unknown},
      {"forbidden for now", true, 403, "", RowMark::Unknown},
      {"no answer", false, 0, "", RowMark::Unknown},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    HttpBatchAnswer a;
    a.answered = r.answered;
    a.status = r.status;
    a.body.assign(r.body.begin(), r.body.end());
    EXPECT_EQ(MarkOfSharePageAnswer(a), r.want);
  }
}

}  // namespace
}  // namespace sarvoke
