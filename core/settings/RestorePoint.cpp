#include "core/settings/RestorePoint.h"

#include <cwchar>

#include "platform/Module.h"
#include "platform/Text.h"

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

} // namespace

RunRestorePoint& RunRestorePoint::Instance()
{
    static RunRestorePoint instance;
    return instance;
}

RunRestorePoint::RunRestorePoint() = default;

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
    std::lock_guard<std::mutex> lock(m_mutex);
    m_call = std::move(call);
    m_attempted = false;
    m_open = false;
    m_sequence = 0;
    m_usingSystem = usingSystem;
}

void RunRestorePoint::BeforeChange()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_attempted)
        return;
    m_attempted = true;
    if (m_usingSystem)
        m_call = SystemCall();
    if (!m_call) {
        Platform::DebugLine(L"restore point: System Restore is not available");
        return;
    }
    RESTOREPOINTINFOW info = {};
    info.dwEventType = BEGIN_SYSTEM_CHANGE;
    info.dwRestorePtType = MODIFY_SETTINGS;
    std::wcsncpy(info.szDescription, kRestorePointName, MAX_DESC_W - 1);
    STATEMGRSTATUS status = {};
    // Takes a while on a real system; the first change waits for it, as the
    // restore point has to hold the state before that change.
    if (!m_call(info, status)) {
        Platform::DebugLine(L"restore point: not created, status " + std::to_wstring(status.nStatus));
        return;
    }
    m_open = true;
    m_sequence = status.llSequenceNumber;
}

void RunRestorePoint::EndOfRun()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_open || !m_call)
        return;
    m_open = false;
    RESTOREPOINTINFOW info = {};
    info.dwEventType = END_SYSTEM_CHANGE;
    info.dwRestorePtType = MODIFY_SETTINGS;
    info.llSequenceNumber = m_sequence;
    STATEMGRSTATUS status = {};
    if (!m_call(info, status))
        Platform::DebugLine(L"restore point: not ended, status " + std::to_wstring(status.nStatus));
}

bool RunRestorePoint::Attempted() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_attempted;
}

bool RunRestorePoint::Open() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_open;
}

} // namespace Tavrin::Core
