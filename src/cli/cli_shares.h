// `sarvoke shares ROW WORD`: a search, then the pop-up menu's "搜索该用户分享的其他文件" on one row.
#pragma once

namespace sarvoke {

// Returns the exit status: 0 the sharer's shares were listed, 1 a message was shown instead, 2 a usage
// error.
int SharesCommand(int argc, char** argv);

}  // namespace sarvoke
