#pragma once
#include <windows.h>

#include <functional>

namespace Tavrin::Core {

// The journal's lock, machine-wide: while a thread holds it, no other copy of
// the program (in any session, of either width) and no other thread of this
// one reads or writes the journal. It is an exclusive open of
// "Journal.lock" in the program-data folder "Tavrin", a folder that only
// SYSTEM and the administrators can enter or change, so a standard user can
// neither hold it nor put anything in its place. The thread that holds it may
// take it again inside; it goes when the outermost hold goes.
//
// A hold waits for it at most JournalLockWait() milliseconds, then fails
// with ERROR_TIMEOUT: a copy that keeps it longer costs the others a refusal,
// never a hang. whileWaiting is called once when the hold has to wait for
// another copy.
class JournalLock {
public:
    explicit JournalLock(const std::function<void()>& whileWaiting = {});
    // Waits at most waitMs (still no longer than JournalLockWait()).
    JournalLock(const std::function<void()>& whileWaiting, DWORD waitMs);
    ~JournalLock();
    JournalLock(const JournalLock&) = delete;
    JournalLock& operator=(const JournalLock&) = delete;

    // ERROR_SUCCESS when held, otherwise why not.
    LSTATUS Status() const { return m_status; }

private:
    LSTATUS m_status = ERROR_SUCCESS;
    bool m_held = false;
};

// How long a hold waits (30 seconds unless changed); tests shorten it.
DWORD JournalLockWait();
void SetJournalLockWait(DWORD milliseconds);

} // namespace Tavrin::Core
