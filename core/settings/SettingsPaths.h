#pragma once
#include <windows.h>

#include <string>

namespace Tavrin::Core {

// Short names for the catalogues' tables, kept out of the namespace the rest
// of the program sees. HKCU marks a per-user value: the property reads and
// writes it in the hive of the user whose settings this run shows
// (Platform::UserHive), never in the process's own on its own account.
namespace RegistryRoots {
inline const HKEY HKLM = HKEY_LOCAL_MACHINE;
inline const HKEY HKCU = HKEY_CURRENT_USER;
} // namespace RegistryRoots

// The per-user switch that lets Store apps use one class of device; its
// "Value" holds "Allow" or "Deny".
inline std::wstring DeviceAccessKey(const wchar_t* deviceClass)
{
    return std::wstring(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\DeviceAccess\\Global\\") +
           deviceClass;
}

} // namespace Tavrin::Core
