#include "tests/support/TestSupport.h"

#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/Module.h"
#include "platform/RegKey.h"
#include "platform/Text.h"
#include "platform/UniqueHandle.h"
#include "platform/UserHive.h"

namespace Tavrin::Test {

using Platform::RegKey;
using Platform::UniqueHandle;

namespace {

std::wstring UniqueName(const wchar_t* prefix)
{
    static std::atomic<unsigned> counter{0};
    return prefix + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(::GetTickCount()) +
           L"_" + std::to_wstring(counter++);
}

// Loading and unloading a hive need the backup and restore privileges; they
// are enabled for the call alone, not left so for the rest of the program.
void EnableHivePrivileges(bool enable)
{
    HANDLE opened = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &opened))
        return;
    const UniqueHandle token(opened);
    for (const wchar_t* name : {SE_BACKUP_NAME, SE_RESTORE_NAME}) {
        TOKEN_PRIVILEGES privilege = {1, {{{}, enable ? static_cast<DWORD>(SE_PRIVILEGE_ENABLED) : 0}}};
        if (::LookupPrivilegeValueW(nullptr, name, &privilege.Privileges[0].Luid))
            ::AdjustTokenPrivileges(token.Get(), FALSE, &privilege, 0, nullptr, nullptr);
    }
}

std::string Hex(const BYTE* data, DWORD size)
{
    std::string text;
    char pair[4];
    for (DWORD i = 0; i < size; ++i) {
        std::snprintf(pair, sizeof(pair), "%02x", data[i]);
        text += pair;
    }
    return text;
}

void ExportInto(HKEY root, const std::wstring& path, std::vector<std::string>& out)
{
    RegKey key;
    if (key.Open(root, path, KEY_READ) != ERROR_SUCCESS) {
        out.push_back(Platform::Narrow(path) + ": cannot be opened");
        return;
    }
    DWORD subkeys = 0, longestSubkey = 0, values = 0, longestName = 0, longestData = 0;
    ::RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr, &values,
                       &longestName, &longestData, nullptr, nullptr);
    std::vector<std::string> lines;
    std::vector<wchar_t> name(longestName + 2);
    std::vector<BYTE> data(longestData + 2);
    for (DWORD index = 0; index < values; ++index) {
        DWORD length = static_cast<DWORD>(name.size()), size = static_cast<DWORD>(data.size()), type = 0;
        if (::RegEnumValueW(key.Get(), index, name.data(), &length, nullptr, &type, data.data(), &size) !=
            ERROR_SUCCESS) {
            lines.push_back(Platform::Narrow(path) + ": value " + std::to_string(index) + " unreadable");
            continue;
        }
        lines.push_back(Platform::Narrow(path) + ": " + Platform::Narrow(std::wstring(name.data(), length)) +
                        "=" + std::to_string(type) + ":" + Hex(data.data(), size));
    }
    std::sort(lines.begin(), lines.end());
    out.push_back(Platform::Narrow(path) + ":");
    out.insert(out.end(), lines.begin(), lines.end());
    std::vector<std::wstring> children;
    std::vector<wchar_t> child(longestSubkey + 2);
    for (DWORD index = 0; index < subkeys; ++index) {
        DWORD length = static_cast<DWORD>(child.size());
        if (::RegEnumKeyExW(key.Get(), index, child.data(), &length, nullptr, nullptr, nullptr, nullptr) ==
            ERROR_SUCCESS)
            children.emplace_back(child.data(), length);
    }
    std::sort(children.begin(), children.end());
    for (const std::wstring& below : children)
        ExportInto(root, path.empty() ? below : path + L"\\" + below, out);
}

} // namespace

std::wstring BinFolder()
{
    return Platform::FolderOf(Platform::ModuleFileName(nullptr));
}

ScratchKey::ScratchKey() : m_path(L"Software\\TavrinTests\\" + UniqueName(L"k"))
{
    RegKey key;
    key.Create(HKEY_CURRENT_USER, m_path, KEY_WRITE);
}

ScratchKey::~ScratchKey()
{
    DeleteTree(HKEY_CURRENT_USER, m_path);
}

TempFolder::TempFolder()
{
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    m_path = Platform::JoinPath(temp, UniqueName(L"tavrin_"));
    ::CreateDirectoryW(m_path.c_str(), nullptr);
}

TempFolder::~TempFolder()
{
    // Double-NUL-terminated list for the shell's recursive delete.
    std::wstring from = m_path + L'\0';
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NO_UI;
    ::SHFileOperationW(&operation);
}

BOOL StartTestProcess(const wchar_t* program, std::wstring& commandLine, BOOL inheritHandles,
                      const wchar_t* workingFolder, STARTUPINFOW& startup, PROCESS_INFORMATION& started)
{
    for (int attempt = 1;; ++attempt) {
        if (::CreateProcessW(program, commandLine.data(), nullptr, nullptr, inheritHandles, 0, nullptr,
                             workingFolder, &startup, &started))
            return TRUE;
        const DWORD error = ::GetLastError();
        if (error != ERROR_INTERNAL_ERROR || attempt == 3)
            return FALSE;
        std::fprintf(stderr, "StartTestProcess: Wine refused the start (error %lu); trying again\n", error);
        ::Sleep(100);
    }
}

ProcessResult RunProcess(const std::wstring& commandLine, DWORD timeoutMs, const std::wstring& workingFolder)
{
    ProcessResult result;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    UniqueHandle readEnd, writeEnd;
    if (!::CreatePipe(readEnd.Put(), writeEnd.Put(), &inherit, 0)) {
        result.output = "RunProcess: no pipe, error " + std::to_string(::GetLastError());
        return result;
    }
    ::SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = writeEnd.Get();
    startup.hStdError = writeEnd.Get();
    PROCESS_INFORMATION process = {};
    std::wstring mutableLine = commandLine;
    if (!StartTestProcess(nullptr, mutableLine, TRUE, workingFolder.empty() ? nullptr : workingFolder.c_str(),
                          startup, process)) {
        result.output = "RunProcess: CreateProcess failed, error " + std::to_string(::GetLastError());
        return result;
    }
    UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);
    writeEnd.Reset();

    // The pipe is polled rather than read until it breaks: a process the
    // program started (Wine's desktop process, an updater) may inherit the
    // write end and keep it open long after the program is gone.
    std::atomic<bool> ended{false};
    std::thread reader([&] {
        char buffer[4096];
        constexpr DWORD kQuietMs = 200;
        DWORD quietSince = 0; // since when, after the end, nothing came; 0 before
        for (;;) {
            DWORD available = 0;
            if (!::PeekNamedPipe(readEnd.Get(), nullptr, 0, nullptr, &available, nullptr)) {
                // Every writer has gone, and Wine says so also while what
                // the last one wrote is still in the pipe: reads still get
                // it, and no read can wait for a writer any more.
                DWORD read = 0;
                while (::ReadFile(readEnd.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
                    result.output.append(buffer, read);
                break;
            }
            if (available == 0) {
                // What the program wrote just before it ended may reach the
                // pipe a moment later under a busy Wine: the pipe has to
                // stay quiet for a while before it counts as read.
                if (ended && !quietSince)
                    quietSince = ::GetTickCount() | 1;
                else if (ended && ::GetTickCount() - quietSince >= kQuietMs)
                    break;
                ::Sleep(10);
                continue;
            }
            quietSince = 0;
            DWORD read = 0;
            if (!::ReadFile(readEnd.Get(), buffer, available < sizeof(buffer) ? available : sizeof(buffer),
                            &read, nullptr) ||
                read == 0)
                break;
            result.output.append(buffer, read);
        }
    });
    if (::WaitForSingleObject(processHandle.Get(), timeoutMs) == WAIT_TIMEOUT) {
        result.timedOut = true;
        ::TerminateProcess(processHandle.Get(), 1);
        ::WaitForSingleObject(processHandle.Get(), 5000);
    }
    ended = true;
    reader.join();
    if (!::GetExitCodeProcess(processHandle.Get(), &result.exitCode))
        result.output += "RunProcess: no exit code, error " + std::to_string(::GetLastError());
    return result;
}

WindowsVersionOverride::WindowsVersionOverride(const std::wstring& exeName, const std::wstring& version)
    : m_keyPath(L"Software\\Wine\\AppDefaults\\" + exeName)
{
    RegKey key;
    if (key.Create(HKEY_CURRENT_USER, m_keyPath, KEY_WRITE) == ERROR_SUCCESS)
        key.SetString(L"Version", version);
}

WindowsVersionOverride::~WindowsVersionOverride()
{
    DeleteTree(HKEY_CURRENT_USER, m_keyPath);
}

RegistryValueBackup::RegistryValueBackup(HKEY root, const std::wstring& path, const std::wstring& name)
    : m_root(root), m_path(path), m_name(name)
{
    RegKey key;
    if (key.Open(m_root, m_path, KEY_READ) != ERROR_SUCCESS)
        return;
    DWORD size = 0;
    if (::RegQueryValueExW(key.Get(), m_name.c_str(), nullptr, &m_type, nullptr, &size) != ERROR_SUCCESS)
        return;
    m_data.resize(size);
    m_existed = ::RegQueryValueExW(key.Get(), m_name.c_str(), nullptr, &m_type,
                                   reinterpret_cast<BYTE*>(m_data.data()), &size) == ERROR_SUCCESS;
    m_data.resize(size);
}

RegistryValueBackup::~RegistryValueBackup()
{
    RegKey key;
    if (key.Create(m_root, m_path, KEY_WRITE) != ERROR_SUCCESS)
        return;
    if (m_existed)
        ::RegSetValueExW(key.Get(), m_name.c_str(), 0, m_type, reinterpret_cast<const BYTE*>(m_data.data()),
                         static_cast<DWORD>(m_data.size()));
    else
        key.DeleteValue(m_name);
}

namespace {
const wchar_t kNtVersionKey[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion";
const wchar_t kWindowsControlKey[] = L"System\\CurrentControlSet\\Control\\Windows";
} // namespace

PrefixVersionNumbers::PrefixVersionNumbers(DWORD major, DWORD minor, DWORD build,
                                           const std::wstring& servicePack, DWORD servicePackMajor)
    : m_version(HKEY_LOCAL_MACHINE, kNtVersionKey, L"CurrentVersion"),
      m_build(HKEY_LOCAL_MACHINE, kNtVersionKey, L"CurrentBuild"),
      m_buildNumber(HKEY_LOCAL_MACHINE, kNtVersionKey, L"CurrentBuildNumber"),
      m_csd(HKEY_LOCAL_MACHINE, kNtVersionKey, L"CSDVersion"),
      m_majorNumber(HKEY_LOCAL_MACHINE, kNtVersionKey, L"CurrentMajorVersionNumber"),
      m_minorNumber(HKEY_LOCAL_MACHINE, kNtVersionKey, L"CurrentMinorVersionNumber"),
      m_csdNumber(HKEY_LOCAL_MACHINE, kWindowsControlKey, L"CSDVersion")
{
    RegKey nt, control;
    nt.Create(HKEY_LOCAL_MACHINE, kNtVersionKey, KEY_WRITE);
    nt.SetString(L"CurrentVersion", std::to_wstring(major) + L"." + std::to_wstring(minor));
    nt.SetString(L"CurrentBuild", std::to_wstring(build));
    nt.SetString(L"CurrentBuildNumber", std::to_wstring(build));
    nt.SetString(L"CSDVersion", servicePack);
    if (major >= 10) {
        nt.SetDword(L"CurrentMajorVersionNumber", major);
        nt.SetDword(L"CurrentMinorVersionNumber", minor);
    } else {
        nt.DeleteValue(L"CurrentMajorVersionNumber");
        nt.DeleteValue(L"CurrentMinorVersionNumber");
    }
    control.Create(HKEY_LOCAL_MACHINE, kWindowsControlKey, KEY_WRITE);
    control.SetDword(L"CSDVersion", servicePackMajor << 8);
}

ScopedSearchPath::ScopedSearchPath(const std::wstring& front)
{
    std::wstring old(32768, L'\0');
    old.resize(::GetEnvironmentVariableW(L"PATH", old.data(), static_cast<DWORD>(old.size())));
    m_old = old;
    wchar_t system[MAX_PATH];
    ::GetSystemDirectoryW(system, MAX_PATH);
    std::wstring path = front.empty() ? std::wstring(system) : front + L";" + system;
    ::SetEnvironmentVariableW(L"PATH", path.c_str());
}

ScopedSearchPath::~ScopedSearchPath()
{
    ::SetEnvironmentVariableW(L"PATH", m_old.c_str());
}

ScopedCurrentFolder::ScopedCurrentFolder(const std::wstring& folder)
{
    std::wstring previous(MAX_PATH, L'\0');
    const DWORD length = ::GetCurrentDirectoryW(static_cast<DWORD>(previous.size()), previous.data());
    if (length == 0 || length >= previous.size())
        return;
    previous.resize(length);
    m_previous = previous;
    m_entered = ::SetCurrentDirectoryW(folder.c_str()) != FALSE;
}

ScopedCurrentFolder::~ScopedCurrentFolder()
{
    if (m_entered)
        ::SetCurrentDirectoryW(m_previous.c_str());
}

LoadedHive::LoadedHive(std::wstring name) : m_name(std::move(name))
{
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    m_file = Platform::JoinPath(temp, UniqueName(L"hive_"));
    // An empty key saved to a file is an empty hive.
    const std::wstring source = L"Software\\TavrinTests\\" + UniqueName(L"hive");
    RegKey key;
    if (key.Create(HKEY_CURRENT_USER, source, KEY_READ | KEY_WRITE) != ERROR_SUCCESS)
        return;
    EnableHivePrivileges(true);
    const bool saved = ::RegSaveKeyW(key.Get(), m_file.c_str(), nullptr) == ERROR_SUCCESS;
    key.Close();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, source.c_str());
    m_loaded = saved && ::RegLoadKeyW(HKEY_USERS, m_name.c_str(), m_file.c_str()) == ERROR_SUCCESS;
    EnableHivePrivileges(false);
}

LoadedHive::~LoadedHive()
{
    if (m_loaded) {
        EnableHivePrivileges(true);
        ::RegUnLoadKeyW(HKEY_USERS, m_name.c_str());
        EnableHivePrivileges(false);
    }
    ::DeleteFileW(m_file.c_str());
}

SessionUserOverride::SessionUserOverride(const std::wstring& sid, const std::wstring& name)
{
    Platform::UserHive::SetInteractiveUserLookup([sid, name] {
        return std::optional<Platform::UserAccount>(Platform::UserAccount{sid, name});
    });
}

SessionUserOverride::~SessionUserOverride()
{
    Platform::UserHive::SetInteractiveUserLookup({});
}

std::vector<std::string> ExportTree(HKEY root, const std::wstring& path)
{
    std::vector<std::string> lines;
    ExportInto(root, path, lines);
    return lines;
}

std::string ExportDifference(const std::vector<std::string>& before, const std::vector<std::string>& after)
{
    std::vector<std::string> first = before, second = after, gone, come;
    std::sort(first.begin(), first.end());
    std::sort(second.begin(), second.end());
    std::set_difference(first.begin(), first.end(), second.begin(), second.end(), std::back_inserter(gone));
    std::set_difference(second.begin(), second.end(), first.begin(), first.end(), std::back_inserter(come));
    std::string text;
    for (const std::string& line : gone)
        text += "- " + line + "\n";
    for (const std::string& line : come)
        text += "+ " + line + "\n";
    return text;
}

void DeleteTree(HKEY root, const std::wstring& path, REGSAM view)
{
    if (!view) {
        ::RegDeleteTreeW(root, path.c_str());
        return;
    }
    // Open the parent in the requested view; the subtree below it follows.
    size_t slash = path.rfind(L'\\');
    std::wstring parent = slash == std::wstring::npos ? L"" : path.substr(0, slash);
    std::wstring leaf = slash == std::wstring::npos ? path : path.substr(slash + 1);
    RegKey key;
    if (key.Open(root, parent, KEY_ALL_ACCESS | view) == ERROR_SUCCESS)
        ::RegDeleteTreeW(key.Get(), leaf.c_str());
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::string ReadFileBytes(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace Tavrin::Test
