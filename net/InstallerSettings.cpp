#include "net/InstallerSettings.h"

#include "platform/RegKey.h"

namespace Tavrin::Net {

namespace {

// Opened for reading in the process's own registry view, as the installer
// wrote it.
Platform::RegKey OpenInstallerKey()
{
    Platform::RegKey key;
    key.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvane\\Tavrin", KEY_READ);
    return key;
}

} // namespace

std::optional<std::wstring> InstallerString(const wchar_t* valueName)
{
    Platform::RegKey key = OpenInstallerKey();
    return key.IsOpen() ? key.QueryString(valueName) : std::nullopt;
}

std::optional<DWORD> InstallerDword(const wchar_t* valueName)
{
    Platform::RegKey key = OpenInstallerKey();
    return key.IsOpen() ? key.QueryDword(valueName) : std::nullopt;
}

} // namespace Tavrin::Net
