#pragma once
#include <windows.h>
#include <mstask.h>

#include <optional>
#include <string>
#include <vector>

namespace Tavrin::Test {

// HKEY_LOCAL_MACHINE\SOFTWARE\Orvane\Tavrin, the installer's key, created
// for a test and removed (with HKEY_LOCAL_MACHINE\SOFTWARE\Orvane when the
// test made that too) when the object goes; in this process's registry view
// unless another is given (KEY_WOW64_32KEY or KEY_WOW64_64KEY).
class InstallerKey {
public:
    explicit InstallerKey(REGSAM view = 0);
    ~InstallerKey();
    InstallerKey(const InstallerKey&) = delete;
    InstallerKey& operator=(const InstallerKey&) = delete;

    static constexpr const wchar_t* kPath = L"SOFTWARE\\Orvane\\Tavrin";
    void SetDword(const std::wstring& name, DWORD value, const std::wstring& subKey = L"") const;
    void SetString(const std::wstring& name, const std::wstring& value,
                   const std::wstring& subKey = L"") const;
    void CreateSubKey(const std::wstring& subKey) const;

private:
    REGSAM m_view;
    bool m_createdOrvane = false;
};

// Sets an environment variable of this process (so of the programs it
// starts) until the object goes.
class EnvironmentOverride {
public:
    EnvironmentOverride(const std::wstring& name, const std::wstring& value);
    ~EnvironmentOverride();
    EnvironmentOverride(const EnvironmentOverride&) = delete;
    EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

private:
    std::wstring m_name;
    std::optional<std::wstring> m_previous;
};

// A test signing root (a DER file beside the tests, made by
// sign-test-updater.sh) in the machine's trusted roots until the object goes.
class TrustedTestRoot {
public:
    explicit TrustedTestRoot(const std::wstring& derFile = L"test_signing_root.der");
    ~TrustedTestRoot();
    TrustedTestRoot(const TrustedTestRoot&) = delete;
    TrustedTestRoot& operator=(const TrustedTestRoot&) = delete;
    bool Added() const { return m_added; }

private:
    std::string m_der;
    bool m_added = false;
};

// The SHA-256 thumbprint, in hexadecimal, that sign-test-updater.sh wrote
// beside the tests for one of its certificates ("test_signing_root",
// "test_signer", "test_other_root", "test_other_signer").
std::wstring TestThumbprint(const std::wstring& name);

// The URLs of the user's WinINet cache entries that contain text.
std::vector<std::wstring> CachedUrls(const std::wstring& text);

// What lets anyone but SYSTEM and the administrators change a folder or
// what is in it (an inherited access list, an entry that grants write,
// delete or ownership rights to another account, an owner that is not one
// of them), one reason a line; empty when only they can.
std::string OthersCanWrite(const std::wstring& folder);

// A folder whose access list lets everyone do everything.
bool CreateOpenFolder(const std::wstring& path);
// False where the file system does not keep the access list a folder was
// made with (Wine derives one from the folder's modes).
bool FileSystemKeepsSecurity();

// True under Wine. Its WinINet goes on reading a trickled answer head in
// HttpSendRequestW after another thread closed the request handle, where
// Windows ends the call.
bool RunningOnWine();

// Removes a folder, the files in it and its empty subfolders. A link or
// junction is removed where the system lets it go, never entered.
void RemoveFolder(const std::wstring& path);

// A Unix symbolic link made with ln -s in the prefix, from a Windows path to
// another, removed (the link only) when the object goes. Wine presents one
// that points at a folder as a folder and a reparse point, and follows it,
// as Windows follows a junction; Wine can make neither a Windows link nor
// a junction.
class UnixLink {
public:
    UnixLink(const std::wstring& link, const std::wstring& target);
    ~UnixLink();
    UnixLink(const UnixLink&) = delete;
    UnixLink& operator=(const UnixLink&) = delete;
    bool Made() const { return m_made; }
    const std::string& Problem() const { return m_problem; }

private:
    std::wstring m_path;
    std::string m_link;
    std::string m_problem;
    bool m_made = false;
};

// A scheduled task as the Task Scheduler reports it.
struct TaskTriggerInfo {
    bool enabled = false;
    TASK_TRIGGER trigger = {};
};
struct TaskInfo {
    std::wstring application;
    std::wstring parameters;
    std::wstring workingDirectory;
    std::wstring comment;
    DWORD flags = 0;
    std::vector<TaskTriggerInfo> triggers;
    size_t EnabledTriggers() const;
};
// Reads a task through the Task Scheduler 1.0 interfaces; nothing when the
// task does not exist.
std::optional<TaskInfo> ReadTask(const std::wstring& name);
// Deletes a task if it exists.
void RemoveTask(const std::wstring& name);
// Names of the task files in the Windows "Tasks" folder.
std::vector<std::wstring> TaskFiles();

} // namespace Tavrin::Test
