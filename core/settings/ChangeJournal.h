#pragma once
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace Tavrin::Core {

// The journal of previous values: for every registry value this program has
// changed, the state it had before the program's first change to it, so that
// every change can be undone exactly, however many changes came after.
//
// It lives in HKEY_LOCAL_MACHINE\Software\Tavrin\Journal (64-bit view, so the
// 32-bit and 64-bit builds share it): a machine-wide place that only
// administrators can write. One entry is one REG_MULTI_SZ value, named after
// the value it describes, written in one registry call and flushed before the
// change is made. A process killed between the journal write and the change
// thus leaves an entry that holds the value as it still is; undoing it writes
// the same value back. An entry that exists is never replaced.
inline constexpr wchar_t kJournalKey[] = L"Software\\Tavrin\\Journal";
// Where a damaged journal is moved, out of the way of the new one: the first
// here, later ones beside it as "Journal (damaged 2)", "Journal (damaged 3)",
// ... (DamagedJournalKey), none replacing another.
inline constexpr wchar_t kDamagedJournalKey[] = L"Software\\Tavrin\\Journal (damaged)";
inline constexpr unsigned kDamagedJournalCopies = 100;
// The key of the number'th copy (1 is kDamagedJournalKey).
std::wstring DamagedJournalKey(unsigned number);
inline constexpr REGSAM kJournalView = KEY_WOW64_64KEY;

// Where a value lives, as the settings layer names it.
struct RegistryPlace {
    enum class Root {
        Machine,       // HKEY_LOCAL_MACHINE
        User,          // the hive of the user whose settings the run showed (Platform::UserHive)
        PolicyMachine, // the local group policy object, machine section
        PolicyUser,    // the local group policy object, user section
        Other,         // any other key: not journalled
    };
    Root root = Root::Other;
    REGSAM view = KEY_WOW64_64KEY;
    std::wstring keyPath;
    std::wstring valueName;

    bool ViaPolicyObject() const { return root == Root::PolicyMachine || root == Root::PolicyUser; }
};

// A value as stored: absent, or its type and bytes.
struct StoredState {
    bool present = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;

    static StoredState Dword(DWORD value);
    static StoredState String(const std::wstring& text); // REG_SZ with its terminating zero
    bool operator==(const StoredState& other) const;
    bool operator!=(const StoredState& other) const { return !(*this == other); }
};

// The state of a value below an open root; absent when its key is missing.
StoredState ReadState(HKEY root, const std::wstring& keyPath, const std::wstring& valueName, REGSAM view);

struct JournalEntry {
    RegistryPlace place;
    std::wstring userSid;    // the user whose hive it was (Root::User only)
    std::wstring createdKey; // the topmost key the change created, empty when the key existed
    StoredState previous;

    // The registry value name of the entry.
    std::wstring Name() const;
};

struct Journal {
    // Busy: another copy of the program held the journal longer than a hold
    // waits (JournalLock); nothing is known of it.
    enum class State { Empty, Holding, Damaged, Unreadable, Busy };
    State state = State::Empty;
    std::vector<JournalEntry> entries; // only when Holding
};

// Reads the whole journal. A damaged one (an entry that does not parse) is
// moved aside, reported once (TakeJournalProblem) and counts as no journal;
// when it cannot be copied whole it stays where it is. A read that meets a
// change made meanwhile (by a tool that does not take the lock) reads again.
Journal ReadJournal();
// The same, waiting at most waitMs for another hold on the journal (Busy
// after that).
Journal ReadJournal(DWORD waitMs);
// Whether there is anything to undo.
bool JournalHoldsEntries();
// A damaged or unreadable journal met since the last call, for the one
// report the user gets; nothing when there was none.
std::optional<Journal::State> TakeJournalProblem();

// The one place every write and delete of the settings layer passes through,
// just before it happens. `root` is the open root of `place` (the policy
// section's key for policy-bound values); `next` the state the change leaves,
// or nothing for a delete. When the change changes anything, journals the
// value's state unless it already is. Returns ERROR_SUCCESS when the change
// may go ahead, otherwise the status that kept its entry out of the journal:
// a change that could not be undone is not made. The run's restore point is
// a step of its own (RunRestorePoint::BeforeChange), taken before.
LSTATUS BeforeRegistryChange(HKEY root, const RegistryPlace& place, const std::optional<StoredState>& next);

struct UndoResult {
    size_t restored = 0;         // values put back (including ones already as they were)
    size_t failed = 0;           // values that could not be put back; still journalled
    bool restartNeeded = false;  // a value that needs a restart of Windows changed
    bool journalProblem = false; // the journal was damaged or unreadable; nothing was written
    bool journalBusy = false;    // another copy held the journal past the wait; nothing was written

    bool Succeeded() const { return failed == 0 && !journalProblem && !journalBusy; }
};

// Puts every journalled value back as it was before the program's first
// change (a value that was absent is deleted, keys the changes created go
// again when nothing else is in them), through the policy object where the
// change went through it, flushes the keys it wrote and then removes the
// entries that were put back. The whole undo holds the journal's lock;
// whileWaiting is called once when another copy holds it.
UndoResult UndoAllChanges(const std::function<void()>& whileWaiting = {});

// For tests: called with the index of each entry a read of the journal is
// about to read, so that a test can change the journal under the read as
// another program would. Empty for none.
void SetJournalReadHook(std::function<void(DWORD index)> hook);
// For tests: how an undo flushes a key it restored (RegFlushKey when empty),
// so that a test can see when it happens, and make it fail, where the system
// at hand keeps every key on disk at once (Wine's flush does nothing).
void SetRestoreFlush(std::function<LSTATUS(HKEY key)> flush);

// Whether a change to the value needs a restart of Windows to take effect:
// the values of the rows that ask for a restart.
bool ChangeNeedsRestart(const RegistryPlace& place);

} // namespace Tavrin::Core
