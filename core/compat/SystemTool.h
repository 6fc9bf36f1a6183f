#pragma once
#include <windows.h>

#include <string>

namespace Tavrin::Core {

// Full path of a program in the system folder. The 32-bit program reaches the
// native folder through it while the file-system redirection is off.
std::wstring SystemToolPath(const wchar_t* name);

struct SystemToolStart {
    int show = SW_SHOW;
    DWORD creationFlags = 0;
    BOOL inheritHandles = FALSE;
    bool waitForEnd = false;
};

// Starts the system's own tool of that name with commandLine, by its full
// path, never through a search: the program runs elevated, and a file of the
// same name beside it, in the current folder or on the search path must not
// run with its rights. The redirection is off while the process is created,
// so the 32-bit program starts the native tool. ERROR_SUCCESS when the tool
// started (and, with waitForEnd, has ended); otherwise CreateProcessW's error.
DWORD StartSystemTool(const wchar_t* name, std::wstring commandLine, const SystemToolStart& start);

} // namespace Tavrin::Core
