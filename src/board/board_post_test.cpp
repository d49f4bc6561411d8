#include "board/board_post.h"

#include <gtest/gtest.h>

namespace sarvoke {
namespace {

TEST(BoardPost, TheChecksInTheirOrder) {
  auto app = CreateApp(".");
  const Text reserved = "昵称和留言内容中不可以出现-、\\、|三个字符。";
  struct Row {
    const char* label;
    Text nickname, message;
    bool qq, allowed;
    Text says;
  } rows[] = {
      {"five Chinese characters", "一二三四五", "好", false, true, ""},
      {"six Chinese characters", "一二三四五六", "好", false, true, "昵称最多输入5个汉字或10个英文字母。"},
      {"ten letters", "abcdefghij", "好", false, true, ""},
      {"eleven letters", "abcdefghijk", "好", false, true, "昵称最多输入5个汉字或10个英文字母。"},
      {"blanks only", " \xA1\xA1 ", "好", false, true, "请输入昵称。"},
      {"the administrator", "管理员", "好", false, true, "请勿冒充管理员。"},
      {"the administrator with a blank before", " 管理员", "好", false, true, ""},
      {"a long nickname with |", "abcdefghij|", "好", false, true, reserved},
      {"a nickname with \\", "a\\b", "好", false, true, reserved},
      {"a trail byte 0x5C is no \\", "\x95\\", "好", false, true, ""},
      {"an empty message", "a", "", false, true, "请输入留言内容。"},
      {"a message of blanks", "a", "\xA1\xA1", false, true, "请输入留言内容。"},
      {"a message with -", "a", "a-b", false, true, reserved},
      {"60 bytes", "a", Text(60, 'x'), false, true, ""},
      {"61 bytes", "a", Text(61, 'x'), false, true, "留言内容最多输入30个汉字或60个英文字母。"},
      {"too soon", "a", "好", false, false, "您提交速度过快，请稍等一会儿再提交。"},
      {"QQ mode ignores the nickname box", "", "好", true, true, ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    app->board.qqMode = r.qq;
    app->board.postAllowed = r.allowed;
    EXPECT_EQ(CheckBoardPost(*app, r.nickname, r.message), r.says);
  }
}

TEST(BoardPost, LocalTimeInTheServicesShape) {
  const Text t = LocalTimeText();
  ASSERT_EQ(t.size(), 19u) << t;
  EXPECT_EQ(t[4], '-');
  EXPECT_EQ(t[10], ' ');
  EXPECT_EQ(t[13], ':');
}

}  // namespace
}  // namespace sarvoke
