#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace Tavrin::Core {

class SettingsBook;
struct JournalEntry;

// The record of the states the user chose: for every row whose state was
// chosen in this program (a click on its box, a page's reset, a profile or
// preset), the state its box showed when read back right after the change,
// so that a later start can tell when Windows took a setting back.
//
// It lives in HKEY_LOCAL_MACHINE\Software\Tavrin\Chosen (64-bit view), which
// only administrators can write: the rows of the machine in "Machine", the
// rows that read or write a per-user value in a key named after the user's
// SID. One REG_DWORD per row, named after the row, 1 for ticked, 0 for
// cleared. A part holding anything else is damaged: a check ignores the
// whole record, and the next choice starts that part afresh.
inline constexpr wchar_t kChosenStatesKey[] = L"Software\\Tavrin\\Chosen";
inline constexpr wchar_t kChosenMachinePart[] = L"Machine";

// Records the named rows (stable names; unknown ones are passed over) as
// their boxes show them now. Holds the journal's lock, so that a change
// made under the same hold and its record are one step for every other
// copy. Returns the first status that failed.
LSTATUS RecordChosenStates(const std::vector<const char*>& names);

// The same for the row of that name, or with `wholePage` for every row of
// its page (a page's reset).
LSTATUS RecordChosenRows(const char* name, bool wholePage);

// Forgets the rows that read or write a value the undo put back: for a
// per-user value in the part of the entry's user, otherwise in every part.
// The caller holds the journal's lock.
void ForgetChosenStates(const std::vector<JournalEntry>& restored);

// A recorded row whose box would show another state now.
struct ChangedBack {
    const char* name = ""; // the row's stable name
    bool chosen = false;
    bool now = false;
};

struct ChosenStatesCheck {
    // Busy: another copy held the journal's lock past the wait.
    enum class State { NoRecord, Read, Damaged, Busy };
    State state = State::NoRecord;
    std::vector<ChangedBack> changed; // in row order
};

// Compares every recorded row of the machine and of the user whose settings
// this run shows with what its box would show now; changes nothing. Rows
// whose values cannot be had now (no policy object, no hive of the user)
// are left out. A damaged record is ignored, with one debug line.
ChosenStatesCheck CheckChosenStates(SettingsBook& book);

// The number of rows Windows changed back, for reports; 0 without a record
// or with a damaged one. Reads the policy-bound rows in a COM apartment of
// the calling thread.
size_t CountChangedBack();

} // namespace Tavrin::Core
