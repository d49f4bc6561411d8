// The search's event handlers: 按钮1 "搜索", Enter in 编辑框1, 按钮3 "上一页" and 按钮2 "下一页".
#pragma once

#include "app/app.h"

namespace sarvoke {

void SearchClicked(App& app);
// Enter (key code 13) searches; other keys do nothing here.
void SearchWordKeyPressed(App& app, int keyCode);
void PreviousPageClicked(App& app);
void NextPageClicked(App& app);

// Binds the four handlers in the window's event table.
void BindSearchEvents(App& app);

}  // namespace sarvoke
