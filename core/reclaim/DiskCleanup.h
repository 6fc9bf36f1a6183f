#pragma once
#include <windows.h>

namespace Tavrin::Core {

// Command line of the disk-cleanup run: the tool of Windows with the private
// cleanup profile whose handlers Reclamation selects.
inline constexpr wchar_t kDiskCleanupCommand[] = L"cleanmgr.exe /sagerun:1111";

// Starts the disk-cleanup tool of the system folder hidden (the native one
// for the 32-bit program), and waits for it to end. ERROR_SUCCESS when the tool ran; otherwise why it could
// not be started (CreateProcessW's error).
DWORD RunDiskCleanup();

} // namespace Tavrin::Core
