#include "core/settings/RestorePoint.h"

#include <cwchar>

#include "platform/Module.h"
#include "platform/Text.h"
#include "platform/WorkerThread.h"

namespace Tavrin::Core {

namespace {

using SetRestorePointW = BOOL(WINAPI*)(PRESTOREPOINTINFOW, PSTATEMGRSTATUS);

// Server editions and stripped systems have no srclient.dll at all.
SetRestorePointCall SystemCall()
{
    auto function = Platform::SystemFunction<SetRestorePointW>(L"srclient.dll", "SRSetRestorePointW");
    if (!function)
        return {};
    return [function](RESTOREPOINTINFOW& info, STATEMGRSTATUS& status) { return function(&info, &status); };
}

void End(const SetRestorePointCall& call, INT64 sequence)
{
    RESTOREPOINTINFOW info = {};
    info.dwEventType = END_SYSTEM_CHANGE;
    info.dwRestorePtType = MODIFY_SETTINGS;
    info.llSequenceNumber = sequence;
    STATEMGRSTATUS status = {};
    if (!call(info, status))
        Platform::DebugLine(L"restore point: not ended, status " + std::to_wstring(status.nStatus));
}

} // namespace

// One run's restore point. The thread that makes it holds it too, so that
// neither a new run (SetCall) nor the end of the process pulls it from
// under that thread.
struct RunRestorePoint::Run {
    Run(SetRestorePointCall givenCall, bool system)
        : call(std::move(givenCall)), usingSystem(system),
          gate(std::make_shared<Platform::UniqueHandle>(::CreateEventW(nullptr, TRUE, FALSE, nullptr)))
    {
    }
    const SetRestorePointCall call; // looked up in srclient.dll instead when usingSystem
    const bool usingSystem;
    const RestorePointGate gate;

    // Never held during a call to System Restore.
    std::mutex mutex;
    bool attempted = false;
    bool open = false;
    bool ended = false; // the run is over
    SetRestorePointCall openedWith;
    INT64 sequence = 0;
};

RunRestorePoint& RunRestorePoint::Instance()
{
    static RunRestorePoint instance;
    return instance;
}

RunRestorePoint::RunRestorePoint() : m_run(std::make_shared<Run>(SetRestorePointCall{}, true)) {}

void RunRestorePoint::SetCall(SetRestorePointCall call)
{
    Restart(std::move(call), false);
}

void RunRestorePoint::UseSystemCall()
{
    Restart({}, true);
}

void RunRestorePoint::Restart(SetRestorePointCall call, bool usingSystem)
{
    auto run = std::make_shared<Run>(std::move(call), usingSystem);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_run = std::move(run);
}

std::shared_ptr<RunRestorePoint::Run> RunRestorePoint::Current() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_run;
}

RestorePointGate RunRestorePoint::Start()
{
    std::shared_ptr<Run> run = Current();
    {
        std::lock_guard<std::mutex> lock(run->mutex);
        if (run->attempted)
            return run->gate;
        run->attempted = true;
    }
    if (!run->usingSystem && !run->call) {
        Platform::DebugLine(L"restore point: System Restore is not available");
        ::SetEvent(run->gate->Get());
        return run->gate;
    }
    if (!Platform::StartWorkerThread([run] { Begin(run); })) {
        Platform::DebugLine(L"restore point: no thread to make it");
        ::SetEvent(run->gate->Get());
    }
    return run->gate;
}

void RunRestorePoint::Begin(std::shared_ptr<Run> run)
{
    const SetRestorePointCall call = run->usingSystem ? SystemCall() : run->call;
    STATEMGRSTATUS status = {};
    bool made = false;
    if (!call) {
        Platform::DebugLine(L"restore point: System Restore is not available");
    } else {
        RESTOREPOINTINFOW info = {};
        info.dwEventType = BEGIN_SYSTEM_CHANGE;
        info.dwRestorePtType = MODIFY_SETTINGS;
        std::wcsncpy(info.szDescription, kRestorePointName, MAX_DESC_W - 1);
        made = call(info, status) != FALSE;
        if (!made)
            Platform::DebugLine(L"restore point: not created, status " + std::to_wstring(status.nStatus));
    }
    bool endNow = false;
    {
        std::lock_guard<std::mutex> lock(run->mutex);
        if (made && run->ended) {
            endNow = true;
        } else if (made) {
            run->open = true;
            run->openedWith = call;
            run->sequence = status.llSequenceNumber;
        }
    }
    ::SetEvent(run->gate->Get());
    // Made after the run ended: a restore point left begun would stay open.
    if (endNow)
        End(call, status.llSequenceNumber);
}

void RunRestorePoint::GoOnWithout()
{
    ::SetEvent(Current()->gate->Get());
}

void RunRestorePoint::BeforeChange()
{
    const RestorePointGate gate = Start();
    ::WaitForSingleObject(gate->Get(), kLongestRestorePointWaitMs);
}

void RunRestorePoint::EndOfRun()
{
    std::shared_ptr<Run> run = Current();
    SetRestorePointCall call;
    INT64 sequence = 0;
    {
        std::lock_guard<std::mutex> lock(run->mutex);
        run->ended = true;
        if (!run->open)
            return;
        run->open = false;
        call = run->openedWith;
        sequence = run->sequence;
    }
    End(call, sequence);
}

bool RunRestorePoint::Attempted() const
{
    std::shared_ptr<Run> run = Current();
    std::lock_guard<std::mutex> lock(run->mutex);
    return run->attempted;
}

bool RunRestorePoint::Open() const
{
    std::shared_ptr<Run> run = Current();
    std::lock_guard<std::mutex> lock(run->mutex);
    return run->open;
}

} // namespace Tavrin::Core
