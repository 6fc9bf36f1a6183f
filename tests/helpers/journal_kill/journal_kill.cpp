// journal_kill <key below HKEY_LOCAL_MACHINE> <value name> <number>
// Journals the change of the value to the number exactly as the settings
// layer does before it writes, then ends the process at once, without the
// write and without any clean-up: what a kill at that moment leaves.
#include <windows.h>

#include <cwchar>

#include "core/settings/ChangeJournal.h"
#include "core/settings/RestorePoint.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4)
        return 2;
    Tavrin::Core::RunRestorePoint::Instance().SetCall({});
    Tavrin::Core::RegistryPlace place;
    place.root = Tavrin::Core::RegistryPlace::Root::Machine;
    place.view = KEY_WOW64_64KEY;
    place.keyPath = argv[1];
    place.valueName = argv[2];
    const DWORD number = static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10));
    Tavrin::Core::BeforeRegistryChange(HKEY_LOCAL_MACHINE, place, Tavrin::Core::StoredState::Dword(number));
    ::TerminateProcess(::GetCurrentProcess(), 3);
    return 0;
}
