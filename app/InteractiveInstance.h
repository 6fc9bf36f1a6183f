#pragma once
#include <windows.h>

#include "platform/UniqueHandle.h"

// The one window of the program per session. The first interactive start
// of a session claims it; a later one brings that copy's window to the front
// and ends. Only the journal's lock is machine-wide: every session may have
// its own window.
class CInteractiveInstance {
public:
    // The exit code of a start that found another copy's window.
    static constexpr int kAlreadyRunning = ERROR_ALREADY_EXISTS;
    // The name of the session's claim, a mapping that holds the process id
    // of the copy that made it.
    static constexpr wchar_t kName[] = L"Local\\Tavrin.InteractiveInstance";

    // True when this copy is the session's: no other had claimed it, or the
    // one that had let it go within the wait (a copy that is closing). False
    // when another copy holds it: its window has been brought to the front,
    // or it is still starting and shows its window itself.
    // The claim goes with the object: the next start may open a window.
    bool Claim();

private:
    Tavrin::Platform::UniqueHandle m_claim;
};
