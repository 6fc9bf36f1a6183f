// journal_copy hold <ready event> <release event>
//   Takes the journal's lock, sets the ready event and keeps the lock until
//   the release event is set (at most a minute). Exit code 3 when the lock
//   could not be had.
// journal_copy changes <key below HKEY_LOCAL_MACHINE> <rounds>
//   Writes the round's number to the values "First", "Second" and "Third" of
//   the key, round after round, each as a settings page's click does. Exit
//   code 4 when a change failed.
#include <windows.h>

#include <cwchar>
#include <string>

#include "core/settings/JournalLock.h"
#include "core/settings/SettingsCatalogue.h"

namespace {

std::wstring valuesKey;

struct Values {
    Tavrin::Core::NumberProperty first{HKEY_LOCAL_MACHINE, valuesKey, L"First"};
    Tavrin::Core::NumberProperty second{HKEY_LOCAL_MACHINE, valuesKey, L"Second"};
    Tavrin::Core::NumberProperty third{HKEY_LOCAL_MACHINE, valuesKey, L"Third"};
};

int Hold(const wchar_t* ready, const wchar_t* release)
{
    const Tavrin::Core::JournalLock hold;
    if (hold.Status() != ERROR_SUCCESS)
        return 3;
    HANDLE readyEvent = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, ready);
    HANDLE releaseEvent = ::OpenEventW(SYNCHRONIZE, FALSE, release);
    if (!readyEvent || !releaseEvent)
        return 2;
    ::SetEvent(readyEvent);
    ::WaitForSingleObject(releaseEvent, 60000);
    ::CloseHandle(readyEvent);
    ::CloseHandle(releaseEvent);
    return 0;
}

int Changes(const wchar_t* key, unsigned rounds)
{
    valuesKey = key;
    Values values;
    for (unsigned round = 1; round <= rounds; ++round) {
        for (auto member : {&Values::first, &Values::second, &Values::third})
            if (Tavrin::Core::RunStep(values, Tavrin::Core::Set(member, round)) != ERROR_SUCCESS)
                return 4;
        // Clicks come one after another, not all at once.
        ::Sleep(2);
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 4 && std::wcscmp(argv[1], L"hold") == 0)
        return Hold(argv[2], argv[3]);
    if (argc == 4 && std::wcscmp(argv[1], L"changes") == 0)
        return Changes(argv[2], static_cast<unsigned>(std::wcstoul(argv[3], nullptr, 10)));
    return 2;
}
