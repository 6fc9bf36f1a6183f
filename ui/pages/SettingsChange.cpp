#include "ui/pages/SettingsChange.h"

#include "core/settings/RestorePoint.h"
#include "platform/ComPtr.h"
#include "platform/WorkerThread.h"

namespace {

using Tavrin::Core::RestorePointGate;
using Tavrin::Core::RunRestorePoint;
using Tavrin::Platform::UniqueHandle;

void Run(HWND page, UINT doneMessage, RestorePointGate gate, std::shared_ptr<UniqueHandle> drop,
         SettingsChange::Apply apply)
{
    const HANDLE handles[] = {drop->Get(), gate->Get()};
    // Both signalled: the drop wins, it is the first handle.
    const DWORD woke = ::WaitForMultipleObjects(2, handles, FALSE, Tavrin::Core::kLongestRestorePointWaitMs);
    if (woke == WAIT_OBJECT_0)
        return;
    if (woke != WAIT_OBJECT_0 + 1)
        RunRestorePoint::Instance().GoOnWithout();
    LSTATUS status = ERROR_SUCCESS;
    {
        // The policy object of a policy-bound value is used through COM.
        Tavrin::Platform::ComApartment com(COINIT_APARTMENTTHREADED);
        status = apply();
        apply = nullptr; // what it held goes while COM is still there
    }
    ::PostMessageW(page, doneMessage, static_cast<WPARAM>(status), 0);
}

} // namespace

bool SettingsChange::Start(HWND page, UINT doneMessage, Apply apply)
{
    if (Pending())
        return false;
    auto drop = std::make_shared<UniqueHandle>(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!drop->IsValid())
        return false;
    RestorePointGate gate = RunRestorePoint::Instance().Start();
    if (!Tavrin::Platform::StartWorkerThread(
            [page, doneMessage, gate = std::move(gate), drop, apply = std::move(apply)]() mutable {
                Run(page, doneMessage, std::move(gate), std::move(drop), std::move(apply));
            }))
        return false;
    m_drop = std::move(drop);
    return true;
}

void SettingsChange::Drop()
{
    if (m_drop)
        ::SetEvent(m_drop->Get());
    m_drop.reset();
}
