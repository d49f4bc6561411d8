// `sarvoke link` converts between the download managers' link formats; `sarvoke dlink` resolves a share
// page's direct download address.
#pragma once

namespace sarvoke {

// Return the exit status: 0 a link was printed, 1 a message was written instead, 2 a usage error.
int LinkCommand(int argc, char** argv);
int DirectLinkCommand(int argc, char** argv);

}  // namespace sarvoke
