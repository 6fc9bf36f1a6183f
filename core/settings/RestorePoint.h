#pragma once
#include <windows.h>
#include <srrestoreptapi.h>

#include <functional>
#include <memory>
#include <mutex>

#include "platform/UniqueHandle.h"

namespace Tavrin::Core {

// What the restore point of a run is called in System Restore.
inline constexpr wchar_t kRestorePointName[] = L"Tavrin settings change";
// The longest a change waits for the restore point. Making one takes from
// seconds to minutes; one that has not come by then is not waited for.
inline constexpr DWORD kLongestRestorePointWaitMs = 10 * 60 * 1000;

// SRSetRestorePointW of srclient.dll, or a stand-in for it.
using SetRestorePointCall = std::function<BOOL(RESTOREPOINTINFOW&, STATEMGRSTATUS&)>;

// Signalled once changes may go ahead: the restore point is made, or could
// not be, or the user chose to go on without it. Holding it keeps the event
// open, also after the run forgot it.
using RestorePointGate = std::shared_ptr<Platform::UniqueHandle>;

// The run's one system restore point, opened before the run's first change
// to the registry (BEGIN_SYSTEM_CHANGE) and closed when the run ends
// (END_SYSTEM_CHANGE), so that everything the run changed can be rolled back
// by Windows as one step.
//
// SRSetRestorePointW makes a volume shadow copy and can take minutes, so it
// runs on a thread of its own, which nothing ever waits for: a window stays
// responsive, and the process can end while the call is still running.
// Changes wait for the gate instead, so that the restore point holds the
// state from before them.
//
// Where System Restore is missing, switched off or refuses, the run goes on
// without one: the change journal still protects the user. A failed begin is
// not tried again in the same run.
class RunRestorePoint {
public:
    static RunRestorePoint& Instance();

    // Replaces srclient.dll's call; an empty call stands for a system
    // without System Restore. Forgets what this run has done so far (a call
    // still running then is left to finish on its own).
    void SetCall(SetRestorePointCall call);
    // Brings the default call back (srclient.dll of the system folder).
    void UseSystemCall();

    // Before a change: on the run's first call, starts making the restore
    // point on a thread of its own. Never waits.
    RestorePointGate Start();
    // Changes of this run no longer wait for the restore point being made.
    // If it is made after all, it is still ended with the run.
    void GoOnWithout();
    // Start, then wait at most kLongestRestorePointWaitMs: for callers
    // without a window.
    void BeforeChange();
    // At the end of the run: ends a restore point that was begun. Never
    // waits for one still being made; that one is ended as soon as it is
    // made, if the process still runs by then.
    void EndOfRun();

    bool Attempted() const;
    bool Open() const;

private:
    struct Run;

    RunRestorePoint();
    // Back to a run without a restore point, with `call` or the system's.
    void Restart(SetRestorePointCall call, bool usingSystem);
    std::shared_ptr<Run> Current() const;
    static void Begin(std::shared_ptr<Run> run);

    mutable std::mutex m_mutex; // guards m_run, the pointer only
    std::shared_ptr<Run> m_run;
};

} // namespace Tavrin::Core
