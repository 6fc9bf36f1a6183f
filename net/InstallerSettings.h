#pragma once
#include <windows.h>

#include <optional>
#include <string>

namespace Tavrin::Net {

// The installer's key, HKEY_LOCAL_MACHINE\SOFTWARE\Orvane\Tavrin, where an
// installation keeps the deployment settings it overrides. Only
// administrators can write there, so what it says is as trusted as the
// program itself.
std::optional<std::wstring> InstallerString(const wchar_t* valueName);
std::optional<DWORD> InstallerDword(const wchar_t* valueName);

} // namespace Tavrin::Net
