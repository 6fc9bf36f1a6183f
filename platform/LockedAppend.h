#pragma once
#include <windows.h>

#include <string>
#include <string_view>

namespace Tavrin::Platform {

// How long an append waits for the writers before it, and how often it
// looks again.
struct AppendWait {
    DWORD totalMs = 30000;
    DWORD stepMs = 100;
};

// Appends `row` to the file at path (made when missing), under an exclusive
// lock of the whole file (LockFileEx), so that many programs, on many PCs
// writing to one file on a share, never tear or lose a row. `header` goes
// first when the file is empty. Both are written by one call and flushed
// before the lock is let go. When the lock is not had within the wait,
// nothing is written and the answer is WAIT_TIMEOUT; else 0 or the Win32
// error.
DWORD AppendUnderLock(const std::wstring& path, std::string_view header, std::string_view row,
                      const AppendWait& wait = AppendWait());

} // namespace Tavrin::Platform
