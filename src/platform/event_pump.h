// Letting the pending window events of the calling thread run, from code that knows no window.
//
// The front-end installs the pump at start; without one (tests, the command line) the call does nothing.
#pragma once

#include <functional>

namespace sarvoke {

// Installs the front-end's pump; an empty function removes it.
void SetEventPump(std::function<void()> pump);
// Runs the pending window events of the calling thread, when a pump is installed.
void LetPendingEventsRun();

}  // namespace sarvoke
