#pragma once
#include <windows.h>
#include <srrestoreptapi.h>

#include <functional>
#include <mutex>

namespace Tavrin::Core {

// What the restore point of a run is called in System Restore.
inline constexpr wchar_t kRestorePointName[] = L"Tavrin settings change";

// SRSetRestorePointW of srclient.dll, or a stand-in for it.
using SetRestorePointCall = std::function<BOOL(RESTOREPOINTINFOW&, STATEMGRSTATUS&)>;

// The run's one system restore point, opened before the run's first change
// to the registry (BEGIN_SYSTEM_CHANGE) and closed when the run ends
// (END_SYSTEM_CHANGE), so that everything the run changed can be rolled back
// by Windows as one step.
//
// Where System Restore is missing, switched off or refuses, the run goes on
// without one: the change journal still protects the user. A failed begin is
// not tried again in the same run.
class RunRestorePoint {
public:
    static RunRestorePoint& Instance();

    // Replaces srclient.dll's call; an empty call stands for a system
    // without System Restore. Forgets what this run has done so far.
    void SetCall(SetRestorePointCall call);
    // Brings the default call back (srclient.dll of the system folder).
    void UseSystemCall();

    // Before a change: begins the restore point on the run's first change.
    void BeforeChange();
    // At the end of the run: ends a restore point that was begun.
    void EndOfRun();

    bool Attempted() const;
    bool Open() const;

private:
    RunRestorePoint();
    // Back to a run without a restore point, with `call` or the system's.
    void Restart(SetRestorePointCall call, bool usingSystem);

    mutable std::mutex m_mutex;
    SetRestorePointCall m_call;
    bool m_usingSystem = true; // m_call is looked up in srclient.dll at the first change
    bool m_attempted = false;
    bool m_open = false;
    INT64 m_sequence = 0;
};

} // namespace Tavrin::Core
