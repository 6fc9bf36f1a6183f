#include "core/settings/RestorePoint.h"

#include <cwchar>

#include "platform/Text.h"

namespace Tavrin::Core {

namespace {

using SetRestorePointW = BOOL(WINAPI*)(PRESTOREPOINTINFOW, PSTATEMGRSTATUS);

// srclient.dll is loaded only from the system folder: this program runs
// elevated, and a library of that name beside it or on the path must never
// be taken. Server editions and stripped systems do not have it at all.
SetRestorePointCall SystemCall()
{
    HMODULE library = ::LoadLibraryExW(L"srclient.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!library)
        return {};
    auto function = reinterpret_cast<SetRestorePointW>(
        reinterpret_cast<void*>(::GetProcAddress(library, "SRSetRestorePointW")));
    if (!function) {
        ::FreeLibrary(library);
        return {};
    }
    // The library stays loaded for the rest of the process: the end of the
    // run needs the same call.
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
    std::lock_guard<std::mutex> lock(mutex_);
    call_ = std::move(call);
    attempted_ = false;
    open_ = false;
    sequence_ = 0;
    usingSystem_ = false;
}

void RunRestorePoint::UseSystemCall()
{
    std::lock_guard<std::mutex> lock(mutex_);
    call_ = {};
    attempted_ = false;
    open_ = false;
    sequence_ = 0;
    usingSystem_ = true;
}

void RunRestorePoint::BeforeChange()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (attempted_)
        return;
    attempted_ = true;
    if (usingSystem_)
        call_ = SystemCall();
    if (!call_) {
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
    if (!call_(info, status)) {
        Platform::DebugLine(L"restore point: not created, status " + std::to_wstring(status.nStatus));
        return;
    }
    open_ = true;
    sequence_ = status.llSequenceNumber;
}

void RunRestorePoint::EndOfRun()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_ || !call_)
        return;
    open_ = false;
    RESTOREPOINTINFOW info = {};
    info.dwEventType = END_SYSTEM_CHANGE;
    info.dwRestorePtType = MODIFY_SETTINGS;
    info.llSequenceNumber = sequence_;
    STATEMGRSTATUS status = {};
    if (!call_(info, status))
        Platform::DebugLine(L"restore point: not ended, status " + std::to_wstring(status.nStatus));
}

bool RunRestorePoint::Attempted() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return attempted_;
}

bool RunRestorePoint::Open() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return open_;
}

} // namespace Tavrin::Core
