// Run after the fuzz build: the core's literals must be the code page 936 bytes that the program's own
// build makes, in headers and in sources alike, or the targets would fuzz another program.
#include <cstdio>
#include <string_view>

#include "board/board_format.h"
#include "share/link_codecs.h"
#include "text/code_page.h"
#include "text/text_between.h"

namespace {

int failures = 0;

void Expect(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "cp936_literals_check: %s\n", what);
  ++failures;
}

}  // namespace

int main() {
  using namespace sarvoke;
  // A header's literal, and the same text made by a source file.
  constexpr std::string_view failed = "\xD7\xAA\xBB\xBB\xCA\xA7\xB0\xDC";
  Expect(kConversionFailed == failed, "a header's literal is not code page 936");
  Expect(ConvertLink("xhttp://a", 0) == failed, "a source's literal is not code page 936");
  // A token that only a source file names, read from code page 936 text.
  Expect(ReadBoardSetting("{\xCC\xF5\xCA\xFD}(10)", kTokenPageSize) == "10",
         "board tokens are not code page 936");
  Expect(kQuoteToken == "#\xD2\xFD\xBA\xC5", "the quote token is not code page 936");
  // And the conversion at the edges still sees them as the same characters.
  Expect(AnsiToUtf8(kConversionFailed) == "\xE8\xBD\xAC\xE6\x8D\xA2\xE5\xA4\xB1\xE8\xB4\xA5",
         "the code page table disagrees with the literals");
  if (failures == 0) std::printf("cp936_literals_check: the core's literals are code page 936\n");
  return failures == 0 ? 0 : 1;
}
