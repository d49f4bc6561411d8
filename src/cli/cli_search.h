// `sarvoke search`: the search driven headlessly through the window model, its rows printed as lines.
#pragma once

namespace sarvoke {

// Runs `sarvoke search …` with the arguments behind "search"; returns the exit status: 0 rows listed,
// 1 the no-result message was shown, 2 a usage error.
int SearchCommand(int argc, char** argv);

// The usage text of the command line, in UTF-8.
const char* CommandLineUsage();

}  // namespace sarvoke
