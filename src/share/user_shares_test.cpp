#include "share/user_shares.h"

#include <gtest/gtest.h>

#include "text/regex_object.h"

namespace sarvoke {
namespace {

// A record as the share site writes it, with the name in `path` (escaped as JSON).
Text Record(const Text& id, const Text& path, const Text& passwd = "0") {
  return R"({"shareId":)" + id +
         R"(,"fsIds":[3893456712],"channel":0,"channelInfo":[],"status":0,"expiredType":0,"passwd":")" +
         passwd +
         R"(","name":"0","description":"0","ctime":1362103200,"appId":250528,"public":1,"publicChannel":0,"tplId":0,"vCnt":"12","dCnt":"1523","tCnt":"3","typicalCategory":6,"typicalPath":"\/)" +
         path + R"("})";
}

TEST(UserShares, ThePatternIsTheShareSitesRecord) {
  EXPECT_EQ(kUserSharePattern.size(), 286u);
  RegexObject re;
  ASSERT_TRUE(re.Search(kUserSharePattern, Record("1001", R"(\u6d41\u6d6a.mp4)")));
  ASSERT_EQ(re.MatchCount(), 1);
  EXPECT_EQ(re.SubmatchText(1, 1), "1001");
  EXPECT_EQ(re.SubmatchText(1, 2), "1362103200");
  EXPECT_EQ(re.SubmatchText(1, 3), "12");
  EXPECT_EQ(re.SubmatchText(1, 4), "1523");
  EXPECT_EQ(re.SubmatchText(1, 5), R"(\u6d41\u6d6a.mp4)");
}

TEST(UserShares, TheListAddressCarriesTIwice) {
  EXPECT_EQ(UserShareListAddress("pan.baidu.com", "2001", "1386601503123", "1386601503124"),
            "http://pan.baidu.com/share/homerecord?channel=chunlei&clienttype=0&web=1&uk=2001&num=100&t="
            "1386601503123&page=1&dir=%2F&t=0.48316&_=1386601503124");
}

TEST(UserShares, ARecordThatDoesNotFitIsSkippedWithoutSpoilingTheNext) {
  // One line, as the share site serves it: a private share between two public ones.
  const Text body = R"({"errno":0,"list":[)" + Record("1", "a.txt") + "," +
                    Record("2", "secret.txt", "x7k2") + "," + Record("3", "c.txt") + R"(],"nextpage":0})";
  RegexObject whole;
  whole.Search(kUserSharePattern, body);
  // Over the raw line the private record's lazy groups run on into the next record.
  ASSERT_EQ(whole.MatchCount(), 2);
  EXPECT_EQ(whole.SubmatchText(2, 1), "2");
  EXPECT_EQ(whole.SubmatchText(2, 5), "c.txt");

  RegexObject records;
  records.Search(kUserSharePattern, UserShareRecordsText(body));
  ASSERT_EQ(records.MatchCount(), 2);
  EXPECT_EQ(records.SubmatchText(1, 1), "1");
  EXPECT_EQ(records.SubmatchText(1, 5), "a.txt");
  EXPECT_EQ(records.SubmatchText(2, 1), "3");
  EXPECT_EQ(records.SubmatchText(2, 5), "c.txt");
}

TEST(UserShares, RecordsAreTheObjectsThatOwnAShareId) {
  struct Row {
    const char* label;
    Text body, records;
  } rows[] = {
      {"objects of a list", R"({"list":[{"shareId":1,"a":[{"x":2}]},{"shareId":2}]})",
       "{\"shareId\":1,\"a\":[{\"x\":2}]}\n{\"shareId\":2}"},
      {"braces and quotes inside strings", R"([{"shareId":1,"p":"\"}{\"shareId\":9"}])",
       R"({"shareId":1,"p":"\"}{\"shareId\":9"})"},
      {"line breaks inside a record", "[{\"shareId\":1,\n\"p\":1}]", "{\"shareId\":1, \"p\":1}"},
      {"no JSON: the body as it is", "shareId 1", "shareId 1"},
      {"an unclosed record is dropped", R"([{"shareId":1},{"shareId":2,)", R"({"shareId":1})"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    EXPECT_EQ(UserShareRecordsText(r.body), r.records);
  }
}

}  // namespace
}  // namespace sarvoke
