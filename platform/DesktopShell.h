#pragma once
#include <windows.h>

#include <string>

namespace Tavrin::Platform {

// Opens a web address (or document) as the logged-on user: the desktop's
// own shell (Explorer, unelevated) is asked to open it, through
// IShellWindows and the desktop view's IShellDispatch2::ShellExecute. This
// program runs elevated, and a handler looked up here would come from the
// user's classes (HKCU\Software\Classes), which any unelevated program of
// the user may write, and would run with administrator rights. Nothing is
// opened when the desktop's shell cannot be reached (no shell, another
// shell, a session without a desktop); the failing step's HRESULT is given
// back.
HRESULT OpenAsDesktopUser(const std::wstring& address);

} // namespace Tavrin::Platform
