#include "platform/top_level_windows.h"

namespace sarvoke {

// A build without X11 sees no other program's windows.
std::vector<Text> TopLevelWindowTitles(std::string_view) { return {}; }

}  // namespace sarvoke
