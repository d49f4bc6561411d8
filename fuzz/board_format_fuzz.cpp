// The board's entries and setting tokens from any board text.
#include "board/board_format.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sarvoke;
  const std::string_view board = fuzz::AsText(data, size);
  const auto entries = ParseBoardEntries(board);
  for (const BoardEntry& e : entries)
    fuzz::Check(!e.nickname.empty() && !e.content.empty() && !e.time.empty(), "an entry with an empty field");
  for (int token = 0; token <= 8; ++token) {
    const Text value = ReadBoardSetting(board, token);
    if (token < kTokenPinnedText || token > kTokenBorderColor)
      fuzz::Check(value.empty(), "a setting outside the seven has a value");
  }
  const BoardSettings s = ReadBoardSettings(board);
  fuzz::Check(s.pageSize >= 1, "a page size below 1");
  for (const Text* colour : {&s.indexColor, &s.nicknameColor, &s.contentColor, &s.borderColor})
    fuzz::Check(IsSafeColour(*colour), "a colour that could write markup");
  return 0;
}
