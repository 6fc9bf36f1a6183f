#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/compat/InstalledApp.h"
#include "platform/RegKey.h"
#include "tests/support/TestSupport.h"

using namespace Tavrin::Core;
using Tavrin::Platform::RegKey;
using Tavrin::Test::DeleteTree;
using Tavrin::Test::TempFolder;

namespace {

const std::wstring kUninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// The current user's key name below HKEY_USERS.
std::wstring UserSid()
{
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return L"";
    std::vector<BYTE> buffer(512);
    DWORD size = 0;
    std::wstring text;
    if (::GetTokenInformation(token, TokenUser, buffer.data(), static_cast<DWORD>(buffer.size()), &size)) {
        wchar_t* sid = nullptr;
        if (::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid)) {
            text = sid;
            ::LocalFree(sid);
        }
    }
    ::CloseHandle(token);
    return text;
}

// Uninstall subkeys made for one test and removed after it.
class UninstallEntries {
public:
    UninstallEntries() : m_prefix(L"TavrinTest" + std::to_wstring(::GetCurrentProcessId()) + L"_") {}
    ~UninstallEntries()
    {
        for (const auto& made : m_made)
            DeleteTree(made.root, kUninstall + L"\\" + made.name, made.view);
    }
    UninstallEntries(const UninstallEntries&) = delete;
    UninstallEntries& operator=(const UninstallEntries&) = delete;

    // Adds a subkey; a null display name leaves the value out.
    std::wstring Add(HKEY root, REGSAM view, const std::wstring& leaf, const wchar_t* displayName)
    {
        const std::wstring name = m_prefix + leaf;
        RegKey key;
        EXPECT_EQ(key.Create(root, kUninstall + L"\\" + name, KEY_WRITE | view), ERROR_SUCCESS);
        if (displayName)
            key.SetString(L"DisplayName", displayName);
        key.SetString(L"UninstallString", L"uninstall.exe");
        m_made.push_back({root, view, name});
        return name;
    }

    // The entries of a list that these tests made, in list order.
    std::list<InstalledApp> Ours(const std::list<InstalledApp>& apps) const
    {
        std::list<InstalledApp> ours;
        std::copy_if(apps.begin(), apps.end(), std::back_inserter(ours),
                     [this](const InstalledApp& app) { return app.keyName.rfind(m_prefix, 0) == 0; });
        return ours;
    }

private:
    struct Made {
        HKEY root;
        REGSAM view;
        std::wstring name;
    };
    std::wstring m_prefix;
    std::vector<Made> m_made;
};

InstalledApp App(const std::wstring& keyName, const std::wstring& displayName = L"Name")
{
    return {kMachineRoot, kUninstall, keyName, displayName};
}

} // namespace

TEST(InstalledApps, MachineAndUserKeysAreListedWithRootPathAndDisplayName)
{
    UninstallEntries entries;
    const auto alpha = entries.Add(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"A", L"Alpha");
    const auto beta = entries.Add(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"B", L"Beta \u00E9");
    const auto user = entries.Add(HKEY_CURRENT_USER, 0, L"U", L"User App");
    const std::wstring sid = UserSid();
    ASSERT_FALSE(sid.empty());

    std::list<InstalledApp> apps;
    EnumerateInstalledApps(apps, true);
    const std::list<InstalledApp> expected = {
        {kMachineRoot, kUninstall, alpha, L"Alpha"},
        {kMachineRoot, kUninstall, beta, L"Beta \u00E9"},
        {kUsersRoot, sid + L"\\" + kUninstall, user, L"User App"},
    };
    EXPECT_EQ(entries.Ours(apps), expected);
}

TEST(InstalledApps, SubkeysWithoutADisplayNameAreSkippedAlsoAfterNamedOnes)
{
    UninstallEntries entries;
    const auto first = entries.Add(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"1", L"First");
    entries.Add(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"2", nullptr);
    entries.Add(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"3", L"");
    const auto fourth = entries.Add(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"4", L"Fourth");
    std::list<InstalledApp> apps;
    EnumerateInstalledApps(apps, true);
    const auto ours = entries.Ours(apps);
    ASSERT_EQ(ours.size(), 2u);
    EXPECT_EQ(ours.front().keyName, first);
    EXPECT_EQ(ours.back().keyName, fourth);
}

TEST(InstalledApps, EachPassAppendsAndPerUserEntriesAppearInBoth)
{
    UninstallEntries entries;
    const auto machine = entries.Add(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"M", L"Machine");
    const auto user = entries.Add(HKEY_CURRENT_USER, 0, L"U", L"User");
    std::list<InstalledApp> apps = {App(L"kept from before")};
    EnumerateInstalledApps(apps, true);
    EnumerateInstalledApps(apps, false);
    EXPECT_EQ(apps.front(), App(L"kept from before"));
    std::vector<std::wstring> names;
    for (const auto& app : entries.Ours(apps))
        names.push_back(app.keyName);
    // The default view of a 64-bit process is the 64-bit view, so both passes
    // see the machine entry too; that of the shipped 32-bit process is the
    // 32-bit view, without it. Nothing is de-duplicated.
    if (sizeof(void*) == 8)
        EXPECT_EQ(names, (std::vector<std::wstring>{machine, user, machine, user}));
    else
        EXPECT_EQ(names, (std::vector<std::wstring>{machine, user, user}));
}

TEST(InstalledApps, TheThirtyTwoBitViewIsNotThe64BitView)
{
    UninstallEntries entries;
    const auto only32 = entries.Add(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, L"W", L"Wow App");
    const auto only64 = entries.Add(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"N", L"Native App");
    std::list<InstalledApp> apps;
    EnumerateInstalledApps(apps, true);
    const auto ours = entries.Ours(apps);
    ASSERT_EQ(ours.size(), 1u);
    EXPECT_EQ(ours.front().keyName, only64);
    EXPECT_NE(only32, only64);
}

TEST(InstalledApps, LongDisplayNamesThatDoNotFitAreSkipped)
{
    UninstallEntries entries;
    const auto fits =
        entries.Add(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"F", std::wstring(1023, L'x').c_str());
    entries.Add(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"G", std::wstring(1024, L'y').c_str());
    std::list<InstalledApp> apps;
    EnumerateInstalledApps(apps, true);
    const auto ours = entries.Ours(apps);
    ASSERT_EQ(ours.size(), 1u);
    EXPECT_EQ(ours.front().keyName, fits);
    EXPECT_EQ(ours.front().displayName, std::wstring(1023, L'x'));
}

TEST(MissingApplications, SavedKeysNoLongerPresentInSavedOrderWithDuplicates)
{
    const std::list<InstalledApp> saved = {App(L"Gone", L"1"), App(L"Kept"), App(L"Other"),
                                           App(L"Gone", L"2")};
    const std::list<InstalledApp> current = {App(L"Kept", L"Renamed"), App(L"Other")};
    EXPECT_EQ(FindMissingApplications(saved, current),
              (std::list<InstalledApp>{App(L"Gone", L"1"), App(L"Gone", L"2")}));
}

TEST(MissingApplications, OnlyTheKeyNameDecidesAndLetterCaseMatters)
{
    const std::list<InstalledApp> saved = {App(L"Editor"), App(L"Viewer", L"Old name")};
    const std::list<InstalledApp> current = {App(L"EDITOR"), {kUsersRoot, L"elsewhere", L"Viewer", L"New"}};
    EXPECT_EQ(FindMissingApplications(saved, current), (std::list<InstalledApp>{App(L"Editor")}));
}

TEST(MissingApplications, NothingIsMissingWhileNothingIsInstalled)
{
    EXPECT_TRUE(FindMissingApplications({App(L"A"), App(L"B")}, {}).empty());
}

TEST(MissingApplications, ComparesTheSavedFileWithTheCurrentList)
{
    TempFolder folder;
    const auto file = folder.File(L"applications.saved");
    ASSERT_TRUE(SaveInstalledApps({App(L"A"), App(L"B"), App(L"C")}, file));
    EXPECT_EQ(MissingApplications({App(L"B")}, file), (std::list<InstalledApp>{App(L"A"), App(L"C")}));
    EXPECT_TRUE(MissingApplications({}, file).empty());
    EXPECT_TRUE(MissingApplications({App(L"B")}, folder.File(L"absent.saved")).empty());
}
