#pragma once
#include <functional>

namespace Tavrin::Platform {

// Runs `work` on a new thread that nobody waits for; false (and `work` never
// runs) when the system made no thread. The thread is made by the C runtime
// directly rather than through std::thread: a std::thread detached at once,
// right beside another one starting, could be left never running its work
// at all, so that a settings change started at a program's first click was
// never made.
bool StartWorkerThread(std::function<void()> work);

} // namespace Tavrin::Platform
