#pragma once
#include <cstdint>
#include <list>
#include <string>

#include "core/compat/SavedFile.h"

namespace Tavrin::Core {

// One application found in an Uninstall key.
struct InstalledApp {
    std::uint32_t rootKey = 0;  // 0x80000002 HKEY_LOCAL_MACHINE or 0x80000003 HKEY_USERS
    std::wstring uninstallPath; // the Uninstall key below that root
    std::wstring keyName;       // the application's subkey: its identity
    std::wstring displayName;
};

inline bool operator==(const InstalledApp& a, const InstalledApp& b)
{
    return a.rootKey == b.rootKey && a.uninstallPath == b.uninstallPath && a.keyName == b.keyName &&
           a.displayName == b.displayName;
}

template <class Archive> void serialize(Archive& archive, InstalledApp& app, const unsigned int /*version*/)
{
    archive& app.rootKey& app.uninstallPath& app.keyName& app.displayName;
}

constexpr std::uint32_t kMachineRoot = 0x80000002;
constexpr std::uint32_t kUsersRoot = 0x80000003;
extern const wchar_t kUninstallPath[]; // "Software\Microsoft\Windows\CurrentVersion\Uninstall"
extern const wchar_t kApplicationsFile[];

// Appends the applications of the machine's and every user's Uninstall key,
// read through the 64-bit registry view or the process's default one. Never
// clears the list and never removes duplicates.
void EnumerateInstalledApps(std::list<InstalledApp>& apps, bool use64BitView);

// Writes the list to "applications.saved"; false when the file cannot be written.
bool SaveInstalledApps(const std::list<InstalledApp>& apps, const std::wstring& path = kApplicationsFile);
// The saved list; empty when the file is missing or damaged, which state
// (when given) tells apart.
std::list<InstalledApp> LoadInstalledApps(const std::wstring& path = kApplicationsFile,
                                          SavedFile::ReadState* state = nullptr);

// The saved applications whose subkey name no longer appears among the
// current ones (exact, case-sensitive), in saved order, duplicates kept.
// Nothing is missing while there are no current applications at all.
// saved (when given) receives what reading the file found.
std::list<InstalledApp> MissingApplications(const std::list<InstalledApp>& current,
                                            const std::wstring& path = kApplicationsFile,
                                            SavedFile::ReadState* saved = nullptr);
std::list<InstalledApp> FindMissingApplications(const std::list<InstalledApp>& saved,
                                                const std::list<InstalledApp>& current);

namespace SavedFile {
template <> struct Layout<InstalledApp> {
    static constexpr Field fields[] = {Field::Unsigned32, Field::WideText, Field::WideText, Field::WideText};
};
} // namespace SavedFile

} // namespace Tavrin::Core
