#include "core/compat/InstalledApp.h"

#include <windows.h>

#include <vector>

#include "core/compat/MissingEntries.h"
#include "platform/RegKey.h"

namespace Tavrin::Core {

const wchar_t kUninstallPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t kApplicationsFile[] = L"applications.saved";

namespace {

using Platform::RegKey;

// The subkeys of one Uninstall key that carry a display name.
void CollectSubkeys(HKEY uninstall, std::uint32_t root, const std::wstring& path,
                    std::list<InstalledApp>& apps)
{
    std::vector<wchar_t> name(1024);
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        if (::RegEnumKeyExW(uninstall, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        std::wstring keyName(name.data(), length);
        if (keyName.empty())
            continue;
        RegKey app;
        if (app.Open(uninstall, keyName, KEY_READ) != ERROR_SUCCESS)
            continue;
        // 2048 bytes and one more character, so the text always ends.
        wchar_t value[1024 + 1] = {};
        DWORD size = 2048;
        if (::RegQueryValueExW(app.Get(), L"DisplayName", nullptr, nullptr, reinterpret_cast<BYTE*>(value),
                               &size) != ERROR_SUCCESS)
            continue;
        std::wstring displayName(value); // cut at the first zero
        if (displayName.empty())
            continue;
        apps.push_back({root, path, keyName, displayName});
    }
}

} // namespace

void EnumerateInstalledApps(std::list<InstalledApp>& apps, bool use64BitView)
{
    const REGSAM access = KEY_READ | (use64BitView ? KEY_WOW64_64KEY : 0);

    RegKey machine;
    if (machine.Open(HKEY_LOCAL_MACHINE, kUninstallPath, access) == ERROR_SUCCESS)
        CollectSubkeys(machine.Get(), kMachineRoot, kUninstallPath, apps);

    RegKey users;
    if (users.Open(HKEY_USERS, L"", KEY_READ) != ERROR_SUCCESS)
        return;
    std::vector<wchar_t> name(2048);
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        if (::RegEnumKeyExW(users.Get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS ||
            length == 0)
            break;
        const std::wstring path = std::wstring(name.data(), length) + L"\\" + kUninstallPath;
        RegKey uninstall;
        if (uninstall.Open(users.Get(), path, access) == ERROR_SUCCESS)
            CollectSubkeys(uninstall.Get(), kUsersRoot, path, apps);
    }
}

bool SaveInstalledApps(const std::list<InstalledApp>& apps, const std::wstring& path)
{
    return SavedFile::SaveList(path, apps);
}

std::list<InstalledApp> LoadInstalledApps(const std::wstring& path, SavedFile::ReadState* state)
{
    return SavedFile::LoadList<InstalledApp>(path, state);
}

std::list<InstalledApp> FindMissingApplications(const std::list<InstalledApp>& saved,
                                                const std::list<InstalledApp>& current)
{
    return MissingEntries(saved, current, &InstalledApp::keyName);
}

std::list<InstalledApp> MissingApplications(const std::list<InstalledApp>& current, const std::wstring& path,
                                            SavedFile::ReadState* saved)
{
    // The file is read even when nothing is current: a damaged one is
    // reported whatever the difference.
    return FindMissingApplications(LoadInstalledApps(path, saved), current);
}

} // namespace Tavrin::Core
