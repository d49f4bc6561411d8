// The window's look. The program draws itself with a small table of looks of its own; the window uses
// look 18. A number without a look leaves the system's own look.
#pragma once

#include "app/window_model.h"

namespace sarvoke {

inline constexpr int kWindowSkin = 18;

// The look of that number; false when the table has none.
bool SkinLook(int number, WindowLook& look);

// Applies look `number` to the window (nothing for a number without a look).
void AttachSkin(WindowModel& window, int number);

}  // namespace sarvoke
