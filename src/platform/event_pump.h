// Letting the pending window events run, from code that knows no window.
//
// The front-end installs its pump on the GUI thread at start. Long waits on the GUI thread (a transfer,
// a probe) call LetPendingEventsRun() now and then, so that the window keeps painting while a handler
// waits; the front-end's pump takes no user input meanwhile. Calls from other threads, and calls when no
// pump is installed (tests, the command line), do nothing.
#pragma once

#include <functional>

namespace sarvoke {

// Installs the front-end's pump for the calling thread (the GUI thread); an empty function removes it.
void SetEventPump(std::function<void()> pump);
// Runs the pending window events when called on the thread that installed the pump.
void LetPendingEventsRun();

// Cancelling a wait: the front-end asks for it (the user pressed Esc or closed the window while a
// handler waits); every wait on the pump's thread then ends at once as a failure (a transfer as a failed
// fetch), until the front-end clears it when the handler has ended. Waits on other threads go on.
void CancelPendingWaits();
void ClearWaitCancel();
// True on the pump's thread while a cancel is pending.
bool WaitCancelled();

}  // namespace sarvoke
