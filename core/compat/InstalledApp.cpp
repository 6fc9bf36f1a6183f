#include "core/compat/InstalledApp.h"

#include <windows.h>

#include "core/compat/MissingEntries.h"
#include "platform/RegKey.h"

namespace Tavrin::Core {

const wchar_t kUninstallPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t kApplicationsFile[] = L"applications.saved";

namespace {

using Platform::RegKey;

// More than any real machine has; a key filled by someone else ends there.
constexpr size_t kMostListed = 65536;

// The subkeys of one Uninstall key that carry a display name.
void CollectSubkeys(const RegKey& uninstall, std::uint32_t root, const std::wstring& path,
                    std::list<InstalledApp>& apps)
{
    for (const std::wstring& keyName : uninstall.SubkeyNames(kMostListed)) {
        if (keyName.empty())
            continue;
        RegKey app;
        if (app.Open(uninstall.Get(), keyName, KEY_READ) != ERROR_SUCCESS)
            continue;
        // At most 2048 bytes; the text ends at the first zero.
        std::wstring displayName;
        if (app.QueryFixedText(L"DisplayName", 1024, displayName) != ERROR_SUCCESS || displayName.empty())
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
        CollectSubkeys(machine, kMachineRoot, kUninstallPath, apps);

    RegKey users;
    if (users.Open(HKEY_USERS, L"", KEY_READ) != ERROR_SUCCESS)
        return;
    for (const std::wstring& user : users.SubkeyNames(kMostListed)) {
        if (user.empty())
            continue;
        const std::wstring path = user + L"\\" + kUninstallPath;
        RegKey uninstall;
        if (uninstall.Open(users.Get(), path, access) == ERROR_SUCCESS)
            CollectSubkeys(uninstall, kUsersRoot, path, apps);
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
