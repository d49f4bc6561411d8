#include "app/skin.h"

namespace sarvoke {

bool SkinLook(int number, WindowLook& look) {
  // number, window, panel, text, accent
  static const WindowLook looks[] = {
      {1, 0xF0F0F0, 0xFFFFFF, 0x000000, 0x3C78D8},   // plain grey
      {7, 0x2B2B2B, 0x3C3F41, 0xE0E0E0, 0x4E9A06},   // dark
      {18, 0xDCE8F5, 0xF4F8FC, 0x10243A, 0x2F6FB2},  // light blue: the window's own
  };
  for (const WindowLook& l : looks) {
    if (l.number == number) {
      look = l;
      return true;
    }
  }
  return false;
}

void AttachSkin(WindowModel& window, int number) {
  WindowLook look;
  if (SkinLook(number, look)) window.SetLook(look);
}

}  // namespace sarvoke
