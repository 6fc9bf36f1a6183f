#include "core/reclaim/Reclamation.h"

namespace Tavrin::Core {

namespace {

const wchar_t kStateFlags[] = L"StateFlags1111";

std::wstring HandlerKey(const wchar_t* handler)
{
    return std::wstring(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\VolumeCaches\\") + handler;
}

} // namespace

Reclamation::Reclamation()
    : previousInstallations(HKEY_LOCAL_MACHINE, HandlerKey(L"Previous Installations"), kStateFlags),
      temporarySetupFiles(HKEY_LOCAL_MACHINE, HandlerKey(L"Temporary Setup Files"), kStateFlags),
      upgradeDiscardedFiles(HKEY_LOCAL_MACHINE, HandlerKey(L"Upgrade Discarded Files"), kStateFlags),
      updateCleanup(HKEY_LOCAL_MACHINE, HandlerKey(L"Update Cleanup"), kStateFlags)
{
    for (NumberProperty* handler :
         {&previousInstallations, &temporarySetupFiles, &upgradeDiscardedFiles, &updateCleanup})
        handler->SetValue(kSelected);
}

} // namespace Tavrin::Core
