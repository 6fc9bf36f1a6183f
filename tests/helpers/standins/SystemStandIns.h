#pragma once
// Puts the stand-ins of this folder where the program looks for the system's
// own tools: the system folder of the test prefix (thrown away after the run).
// Also plants copies where a tool must NOT be taken from, and records when
// the program switches the 32-bit file-system redirection.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "core/compat/SystemInfo.h"
#include "platform/Module.h"
#include "tests/support/TestSupport.h"

namespace Tavrin::Test {

inline std::wstring SystemFolder()
{
    wchar_t folder[MAX_PATH] = {};
    ::GetSystemDirectoryW(folder, MAX_PATH);
    return folder;
}

// The stand-in program of that name (cleanmgr.exe, mmc.exe, control.exe).
inline std::wstring StandInProgram(const std::wstring& name)
{
    return Platform::JoinPath(Platform::JoinPath(BinFolder(), L"standins"), name);
}

// Turns this thread's file-system redirection off while it lives, where
// there is one (a 32-bit process on 64-bit Windows), so that the system
// folder is the native one.
class NativeSystemFolder {
public:
    NativeSystemFolder() : m_turnedOff(::Wow64DisableWow64FsRedirection(&m_previous) != FALSE) {}
    ~NativeSystemFolder()
    {
        if (m_turnedOff)
            ::Wow64RevertWow64FsRedirection(m_previous);
    }
    NativeSystemFolder(const NativeSystemFolder&) = delete;
    NativeSystemFolder& operator=(const NativeSystemFolder&) = delete;

private:
    PVOID m_previous = nullptr;
    bool m_turnedOff;
};

// While it lives, files copied into the (native) system folder under the
// names given; the files that were there are put back afterwards. The prefix's load order
// says "native" for each name, so that Wine runs the file and not a built-in
// program of the same name.
class SystemFolderStandIns {
public:
    SystemFolderStandIns() = default;
    ~SystemFolderStandIns()
    {
        NativeSystemFolder native;
        for (const Placed& placed : m_placed) {
            // A stand-in that has just said its last word may still be
            // ending, its file in use: a later case must never find it.
            for (int wait = 0; !::DeleteFileW(placed.path.c_str()) &&
                               ::GetLastError() != ERROR_FILE_NOT_FOUND && wait < 100;
                 ++wait)
                ::Sleep(100);
            if (placed.existed)
                ::MoveFileExW(placed.backup.c_str(), placed.path.c_str(), MOVEFILE_REPLACE_EXISTING);
        }
        // The load order goes back after the files, when nothing starts them.
    }
    SystemFolderStandIns(const SystemFolderStandIns&) = delete;
    SystemFolderStandIns& operator=(const SystemFolderStandIns&) = delete;

    // Copies source (by default the stand-in of that name) in as name.
    bool Place(const std::wstring& name, const std::wstring& source = L"")
    {
        NativeSystemFolder native;
        Placed placed;
        placed.path = Platform::JoinPath(SystemFolder(), name);
        placed.backup = placed.path + L".tavrin-test";
        placed.existed =
            ::MoveFileExW(placed.path.c_str(), placed.backup.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
        m_placed.push_back(placed);
        m_loadOrder.push_back(std::make_unique<RegistryValueBackup>(HKEY_CURRENT_USER, kOverridesKey, name));
        const std::wstring nativeFirst = L"native";
        return ::CopyFileW((source.empty() ? StandInProgram(name) : source).c_str(), placed.path.c_str(),
                           FALSE) &&
               ::RegSetKeyValueW(HKEY_CURRENT_USER, kOverridesKey, name.c_str(), REG_SZ, nativeFirst.c_str(),
                                 static_cast<DWORD>((nativeFirst.size() + 1) * sizeof(wchar_t))) ==
                   ERROR_SUCCESS;
    }

private:
    struct Placed {
        std::wstring path, backup;
        bool existed = false;
    };
    static constexpr wchar_t kOverridesKey[] = L"Software\\Wine\\DllOverrides";
    std::vector<std::unique_ptr<RegistryValueBackup>> m_loadOrder;
    std::vector<Placed> m_placed;
};

// A copy of a stand-in where a search by bare name would find it (the
// current folder, the program's folder), deleted again at the end.
class PlantedProgram {
public:
    PlantedProgram(const std::wstring& folder, const std::wstring& name)
        : m_path(Platform::JoinPath(folder, name)),
          m_planted(::CopyFileW(StandInProgram(name).c_str(), m_path.c_str(), FALSE) != FALSE)
    {
    }
    ~PlantedProgram() { ::DeleteFileW(m_path.c_str()); }
    PlantedProgram(const PlantedProgram&) = delete;
    PlantedProgram& operator=(const PlantedProgram&) = delete;
    bool Planted() const { return m_planted; }

private:
    std::wstring m_path;
    bool m_planted;
};

// Every switch of the file-system redirection while it lives, in order:
// "off" or "on". The real switch does nothing in a 64-bit process.
class RedirectionRecorder {
public:
    RedirectionRecorder()
    {
        Switches().clear();
        m_previous = Core::ReplaceFsRedirectionSwitch(&Record);
        Previous() = m_previous;
    }
    ~RedirectionRecorder() { Core::ReplaceFsRedirectionSwitch(m_previous); }
    RedirectionRecorder(const RedirectionRecorder&) = delete;
    RedirectionRecorder& operator=(const RedirectionRecorder&) = delete;

    std::vector<std::string> Seen() const { return Switches(); }

private:
    static std::vector<std::string>& Switches()
    {
        static std::vector<std::string> switches;
        return switches;
    }
    // Recorded, then made: a 32-bit test program must still reach the
    // native system folder.
    static BOOLEAN WINAPI Record(BOOLEAN enable)
    {
        Switches().push_back(enable ? "on" : "off");
        if (Previous())
            Previous()(enable);
        else
            ::Wow64EnableWow64FsRedirection(enable);
        return TRUE;
    }
    static Core::FsRedirectionSwitch& Previous()
    {
        static Core::FsRedirectionSwitch previous = nullptr;
        return previous;
    }
    Core::FsRedirectionSwitch m_previous = nullptr;
};

} // namespace Tavrin::Test
