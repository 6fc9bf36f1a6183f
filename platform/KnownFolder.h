#pragma once
#include <windows.h>

#include <shlobj.h>

#include <string>

namespace Tavrin::Platform {

// The path of a known folder as the shell gives it, without checking that it
// exists; empty when the shell cannot tell.
std::wstring KnownFolderPath(REFKNOWNFOLDERID folder);

} // namespace Tavrin::Platform
