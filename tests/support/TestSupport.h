#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace Tavrin::Test {

// Folder of the running test program; the build puts every program there.
std::wstring BinFolder();

// A registry key of its own under HKEY_CURRENT_USER\Software\TavrinTests,
// deleted with everything below it when the object goes.
class ScratchKey {
public:
    ScratchKey();
    ~ScratchKey();
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;
    // Relative to HKEY_CURRENT_USER.
    const std::wstring& Path() const { return m_path; }

private:
    std::wstring m_path;
};

// A fresh folder under the temporary folder, removed with its contents.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::wstring& Path() const { return m_path; }
    std::wstring File(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
};

struct ProcessResult {
    DWORD exitCode = static_cast<DWORD>(-1);
    bool timedOut = false;
    std::string output; // standard output and standard error together
};

// CreateProcessW for the tests' own starts. Now and then Wine refuses to
// start a process with ERROR_INTERNAL_ERROR before the program exists (about
// one start in 600 on a busy machine); nothing has run then, so the start is
// tried again, up to three times in all.
BOOL StartTestProcess(const wchar_t* program, std::wstring& commandLine, BOOL inheritHandles,
                      const wchar_t* workingFolder, STARTUPINFOW& startup, PROCESS_INFORMATION& started);

// Starts a command line, collects its output and waits for it (killing it
// after the time-out). The working folder is the current one unless given.
ProcessResult RunProcess(const std::wstring& commandLine, DWORD timeoutMs = 60000,
                         const std::wstring& workingFolder = L"");

// Makes Wine report another Windows version to programs of this file name
// ("win10", "win81", "win8", "win7", "vista", ...) until the object goes.
class WindowsVersionOverride {
public:
    WindowsVersionOverride(const std::wstring& exeName, const std::wstring& version);
    ~WindowsVersionOverride();
    WindowsVersionOverride(const WindowsVersionOverride&) = delete;
    WindowsVersionOverride& operator=(const WindowsVersionOverride&) = delete;

private:
    std::wstring m_keyPath;
};

// Remembers one registry value (or its absence) and puts it back when the
// object goes, for tests that must change machine-wide settings.
class RegistryValueBackup {
public:
    RegistryValueBackup(HKEY root, const std::wstring& path, const std::wstring& name);
    ~RegistryValueBackup();
    RegistryValueBackup(const RegistryValueBackup&) = delete;
    RegistryValueBackup& operator=(const RegistryValueBackup&) = delete;

private:
    HKEY m_root;
    std::wstring m_path, m_name;
    bool m_existed = false;
    DWORD m_type = 0;
    std::string m_data;
};

// Makes the whole prefix report a version by its numbers (as winecfg stores
// them), e.g. 6.1 build 7600 without a service pack, which no named Wine
// version offers. Programs started afterwards see it; restored on destruction.
class PrefixVersionNumbers {
public:
    PrefixVersionNumbers(DWORD major, DWORD minor, DWORD build, const std::wstring& servicePack,
                         DWORD servicePackMajor);

private:
    RegistryValueBackup m_version, m_build, m_buildNumber, m_csd, m_majorNumber, m_minorNumber, m_csdNumber;
};

// Replaces this process's PATH with one folder (or none) in front of the
// system folder, so a program started by name is found there or nowhere.
// Note that Windows searches the starting program's own folder and the
// current folder before PATH.
class ScopedSearchPath {
public:
    explicit ScopedSearchPath(const std::wstring& front);
    ~ScopedSearchPath();
    ScopedSearchPath(const ScopedSearchPath&) = delete;
    ScopedSearchPath& operator=(const ScopedSearchPath&) = delete;

private:
    std::wstring m_old;
};

// Makes a folder the process's current one until the object goes, for
// code that reads and writes beside itself (the saved records). Entered()
// is false when the system refused.
class ScopedCurrentFolder {
public:
    explicit ScopedCurrentFolder(const std::wstring& folder);
    ~ScopedCurrentFolder();
    ScopedCurrentFolder(const ScopedCurrentFolder&) = delete;
    ScopedCurrentFolder& operator=(const ScopedCurrentFolder&) = delete;
    bool Entered() const { return m_entered; }

private:
    std::wstring m_previous;
    bool m_entered = false;
};

// A hive of its own (from an empty file in the temporary folder) loaded
// under HKEY_USERS\<name> with RegLoadKey, as Windows loads the hive of a
// user who logs on; unloaded when the object goes, after every handle to it
// is closed. Loaded() is false when the system refused.
class LoadedHive {
public:
    explicit LoadedHive(std::wstring name);
    ~LoadedHive();
    LoadedHive(const LoadedHive&) = delete;
    LoadedHive& operator=(const LoadedHive&) = delete;
    bool Loaded() const { return m_loaded; }
    const std::wstring& Name() const { return m_name; }

private:
    std::wstring m_name, m_file;
    bool m_loaded = false;
};

// Makes the session's interactive user the given account (SID and name)
// for Platform::UserHive while the object lives, as where an administrator
// elevated for a standard user; the session is asked again afterwards.
class SessionUserOverride {
public:
    SessionUserOverride(const std::wstring& sid, const std::wstring& name);
    ~SessionUserOverride();
    SessionUserOverride(const SessionUserOverride&) = delete;
    SessionUserOverride& operator=(const SessionUserOverride&) = delete;
};

// Every key below the root and each of its values with its key, type and
// bytes, in sorted order, one line each: two exports are equal when nothing
// below changed.
std::vector<std::string> ExportTree(HKEY root, const std::wstring& path = L"");
// The lines only one of two exports has ("- " before, "+ " after), one a
// line; empty when they are equal.
std::string ExportDifference(const std::vector<std::string>& before, const std::vector<std::string>& after);

void DeleteTree(HKEY root, const std::wstring& path, REGSAM view = 0);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::string ReadFileBytes(const std::wstring& path);

} // namespace Tavrin::Test
