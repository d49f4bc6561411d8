// Literals of every shape that cp936_copy meets, printed as bytes. Built once by GCC with
// -fexec-charset=CP936 and once by clang from its code page 936 copy; the two outputs must be equal.
#include <cstdio>
#include <string_view>

#define WRAPPED(x) x "尾"

namespace {

void Print(const char* label, std::string_view s) {
  std::printf("%s:", label);
  for (const unsigned char c : s) std::printf(" %02X", c);
  std::printf("\n");
}

// An identifier in Chinese, as the program has, and a digit separator, which is no character literal.
const int 数量 = 1'000;

}  // namespace

int main() {
  Print("plain", "中文");
  Print("digits behind", "中1文07");
  Print("hex escape behind", "中\x41文");
  Print("second byte a backslash", "乗\\n乗\"乗");
  Print("raw", R"re(乗"中\)re");
  Print("raw without delimiter", R"(中)");
  Print("adjacent",
        "a"
        "文"
        "b");
  Print("macro", WRAPPED("头"));
  Print("full-width space", "　");
  Print("punctuation", "【可疑文件】，。“”…");
  Print("char array", std::string_view("文\0字", 5));
  // Prefixed literals keep their own encodings.
  Print("u8", reinterpret_cast<const char*>(u8"中"));
  std::printf("wide: %zu %X\n", sizeof(L"中") / sizeof(wchar_t), static_cast<unsigned>(L"中"[0]));
  std::printf("char16: %X\n", static_cast<unsigned>(u"中"[0]));
  // A comment's quote: it's not a literal, "nor is this".
  std::printf("identifier: %d\n", 数量);
  return 0;
}
