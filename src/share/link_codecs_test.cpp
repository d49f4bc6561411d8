#include "share/link_codecs.h"

#include <gtest/gtest.h>

namespace sarvoke {
namespace {

Bytes B(std::string_view s) { return BytesFromText(s); }

TEST(Base64, DecodesLenientlyAsTheDownloadManagersDo) {
  struct Row {
    const char* label;
    std::string_view in;
    std::string_view out;
  } rows[] = {
      {"standard", "YWJj", "abc"},
      {"padded by one", "YWI=", "ab"},
      {"padded by two", "YQ==", "a"},
      {"unpadded: the missing value counts as 0", "YWI", std::string_view("ab\0", 3)},
      {"one character", "Y", std::string_view("`\0\0", 3)},
      {"a stray = behind a complete group loses its last byte", "YWJj=", "ab"},
      {"spaces", "YW Jj", "abc"},
      {"full-width space", "YW\xA1\xA1Jj", "abc"},
      {"CR LF", "YW\r\nJj", "abc"},
      {"a lone LF stops its group", "YW\nJj", std::string_view("ab\x80\x8c\0\0", 6)},
      {"a CR LF formed by removing another stays", "YWJj\r\r\n\n", "ab"},
      {"a lone lead byte at the end is dropped", "YWJj\x81", "abc"},
      {"a double-byte character ending in A1 is no space", "YW\xB0\xA1Jj", std::string_view("al\0&0\0", 6)},
      {"a stopped group takes its missing values from the group before", "YWJjY=JjYWJj",
       "abcc\xD2"
       "cabc"},
      {"a first group stopped early", "Y=JjYWJj", std::string_view("c\xD0\0abc", 6)},
      {"nothing but padding", "=", ""},
      {"nothing but blanks", " \xA1\xA1\r\n ", ""},
      {"empty", "", ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    EXPECT_EQ(Base64Decode(r.in), B(r.out));
  }
}

TEST(Base64, EncodesStandardBase64AndRoundTrips) {
  EXPECT_EQ(Base64Encode({}), "");
  EXPECT_EQ(Base64Encode(B("a")), "YQ==");
  EXPECT_EQ(Base64Encode(B("ab")), "YWI=");
  EXPECT_EQ(Base64Encode(B("abc")), "YWJj");
  Bytes all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<std::uint8_t>(i));
  for (std::size_t len = 0; len <= all.size(); len += 37) {
    const Bytes part(all.begin(), all.begin() + len);
    EXPECT_EQ(Base64Decode(Base64Encode(part)), part) << len;
  }
  // Line-wrapped Base64 with CR LF, as mail and some forums carry it.
  Text wrapped = Base64Encode(all);
  for (std::size_t at = 76; at < wrapped.size(); at += 78) wrapped.insert(at, "\r\n");
  EXPECT_EQ(Base64Decode(wrapped), all);
}

TEST(ConvertLink, WrapsAndUnwrapsTheThreeSchemes) {
  const Text failed(kConversionFailed);
  struct Row {
    const char* label;
    Text in;
    int kind;
    Text out;
  } rows[] = {
      {"empty, plain", "", Plain, failed},
      {"empty, thunder", "", Thunder, failed},
      {"thunder", "http://a/b", Thunder, "thunder://QUFodHRwOi8vYS9iWlo="},
      {"flashget", "http://a/b", Flashget, "Flashget://W0ZMQVNIR0VUXWh0dHA6Ly9hL2JbRkxBU0hHRVRd&1926"},
      {"qqdl", "http://a/b", Qqdl, "qqdl://aHR0cDovL2EvYg=="},
      {"plain stays plain", "http://a/b", Plain, "http://a/b"},
      {"https holds no known prefix and is wrapped", "https://a/b", Qqdl, "qqdl://aHR0cHM6Ly9hL2I="},
      {"a known prefix not at the start", "xhttp://a/b", Plain, failed},
      {"a known prefix not at the start, any kind", "see thunder://x", Thunder, failed},
      {"unknown kind", "http://a/b", 4, failed},
      {"negative kind", "http://a/b", -1, failed},
      {"thunder to plain", "thunder://QUFodHRwOi8vYS9iWlo=", Plain, "http://a/b"},
      {"thunder to thunder is the link itself", "thunder://QUFodHRwOi8vYS9iWlo=", Thunder,
       "thunder://QUFodHRwOi8vYS9iWlo="},
      {"thunder to qqdl", "thunder://QUFodHRwOi8vYS9iWlo=", Qqdl, "qqdl://aHR0cDovL2EvYg=="},
      {"flashget to plain", "Flashget://W0ZMQVNIR0VUXWh0dHA6Ly9hL2JbRkxBU0hHRVRd&1926", Plain, "http://a/b"},
      {"flashget without its suffix", "Flashget://W0ZMQVNIR0VUXWh0dHA6Ly9hL2JbRkxBU0hHRVRd", Plain,
       "http://a/b"},
      {"flashget with another suffix", "Flashget://W0ZMQVNIR0VUXWh0dHA6Ly9hL2JbRkxBU0hHRVRd&x=1", Plain,
       "http://a/b"},
      {"qqdl to thunder", "qqdl://aHR0cDovL2EvYg==", Thunder, "thunder://QUFodHRwOi8vYS9iWlo="},
      {"spaces and CR LF inside the Base64", "thunder://QUFod HRw\r\nOi8vYS9i\xA1\xA1Wlo=", Plain,
       "http://a/b"},
      {"a prefix in capitals is no prefix", "THUNDER://QUFodHRwOi8vYS9iWlo=", Plain,
       "THUNDER://QUFodHRwOi8vYS9iWlo="},
      {"nor in all capitals for FlashGet", "FLASHGET://abc", Qqdl, "qqdl://RkxBU0hHRVQ6Ly9hYmM="},
      {"a thunder wrapper of 4 bytes or fewer", "thunder://QUFaWg==", Plain, ""},
      {"a flashget wrapper of 20 bytes or fewer", "Flashget://W0ZMQVNIR0VUXVtGTEFTSEdFVF0=&1926", Plain, ""},
      {"the qqdl link of nothing", "qqdl://", Qqdl, "qqdl://"},
      {"the thunder link of nothing still wraps", "qqdl://", Thunder, "thunder://QUFaWg=="},
      {"unpadded Base64 ends at the zero it decodes to", "qqdl://YWI", Plain, "ab"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    EXPECT_EQ(ConvertLink(r.in, r.kind), r.out);
  }
}

TEST(ConvertLink, RoundTripsAddressesThroughEveryScheme) {
  const Text addresses[] = {"http://d.pcs.baidu.com/file/1?fid=2-3&sh=1", "http://h/文件 名.mp3", "x",
                            "http://"};
  for (const Text& a : addresses) {
    for (int kind : {Thunder, Flashget, Qqdl}) {
      SCOPED_TRACE(a + " kind " + std::to_string(kind));
      const Text link = ConvertLink(a, kind);
      EXPECT_EQ(ConvertLink(link, Plain), a);
      for (int other : {Thunder, Flashget, Qqdl}) EXPECT_EQ(ConvertLink(link, other), ConvertLink(a, other));
    }
  }
}

}  // namespace
}  // namespace sarvoke
