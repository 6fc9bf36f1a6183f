#pragma once

namespace Tavrin::Core {

// Command line of the disk-cleanup run: the tool of Windows with the private
// cleanup profile whose handlers Reclamation selects.
inline constexpr wchar_t kDiskCleanupCommand[] = L"cleanmgr.exe /sagerun:1111";

// Starts the disk-cleanup tool hidden, with the 32-bit file-system redirection
// off so that a 32-bit process reaches the native tool, and waits for it to
// end. Returns false when the tool could not be started at all.
bool RunDiskCleanup();

} // namespace Tavrin::Core
