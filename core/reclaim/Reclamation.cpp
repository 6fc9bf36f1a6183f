#include "core/reclaim/Reclamation.h"

#include "core/settings/JournalLock.h"

namespace Tavrin::Core {

namespace {

std::wstring HandlerKey(const wchar_t* handler)
{
    return std::wstring(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\VolumeCaches\\") + handler;
}

} // namespace

const std::vector<std::wstring>& Reclamation::HandlerKeys()
{
    static const std::vector<std::wstring> keys = {
        HandlerKey(L"Previous Installations"), HandlerKey(L"Temporary Setup Files"),
        HandlerKey(L"Upgrade Discarded Files"), HandlerKey(L"Update Cleanup")};
    return keys;
}

Reclamation::Reclamation()
    : previousInstallations(HKEY_LOCAL_MACHINE, HandlerKeys()[0], kStateFlags),
      temporarySetupFiles(HKEY_LOCAL_MACHINE, HandlerKeys()[1], kStateFlags),
      upgradeDiscardedFiles(HKEY_LOCAL_MACHINE, HandlerKeys()[2], kStateFlags),
      updateCleanup(HKEY_LOCAL_MACHINE, HandlerKeys()[3], kStateFlags)
{
    // Each value's journal entry and its change are one step for the other
    // copies of the program.
    for (NumberProperty* handler :
         {&previousInstallations, &temporarySetupFiles, &upgradeDiscardedFiles, &updateCleanup}) {
        const JournalLock hold;
        if (hold.Status() == ERROR_SUCCESS)
            handler->SetValue(kSelected);
    }
}

} // namespace Tavrin::Core
