#pragma once
// Stand-ins for the programs the compatibility page's links start, for the
// page's tests and the main window's.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/Module.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WindowTestSupport.h"

namespace Tavrin::Test {

// The links start programs that a test must not really run. Stand-ins that
// record their command lines take their places in the system folder of the
// test prefix for the test's duration (the prefix is thrown away after the
// run; the files that were there are put back): the Device Manager console
// is started by its full path there, and the control panel by name, which
// Wine's shell resolves in the system folder before the program's own
// folder (unlike Windows, which looks in the program's folder first).
class LinkStandIns {
public:
    explicit LinkStandIns(const std::wstring& logFolder)
    {
        wchar_t system[MAX_PATH] = {};
        ::GetSystemDirectoryW(system, MAX_PATH);
        const std::wstring standIns = Tavrin::Platform::JoinPath(BinFolder(), L"standins");
        ready_ = true;
        for (const wchar_t* name : {L"mmc.exe", L"control.exe"}) {
            Replaced replaced;
            replaced.path = Tavrin::Platform::JoinPath(system, name);
            replaced.backup = replaced.path + L".tavrin-test";
            replaced.existed = ::MoveFileExW(replaced.path.c_str(), replaced.backup.c_str(),
                                             MOVEFILE_REPLACE_EXISTING) != FALSE;
            ready_ = ready_ && ::CopyFileW(Tavrin::Platform::JoinPath(standIns, name).c_str(),
                                           replaced.path.c_str(), FALSE);
            replaced_.push_back(replaced);
        }
        log_ = Tavrin::Platform::JoinPath(logFolder, L"standins.log");
        ::SetEnvironmentVariableW(L"TAVRIN_STANDIN_LOG", log_.c_str());
        // Wine prefers its built-in control panel to a file of that name
        // unless the prefix's load order says otherwise.
        const std::wstring nativeFirst = L"native";
        ready_ =
            ready_ && ::RegSetKeyValueW(
                          HKEY_CURRENT_USER, kOverridesKey, L"control.exe", REG_SZ, nativeFirst.c_str(),
                          static_cast<DWORD>((nativeFirst.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    ~LinkStandIns()
    {
        ::SetEnvironmentVariableW(L"TAVRIN_STANDIN_LOG", nullptr);
        for (const Replaced& replaced : replaced_) {
            ::DeleteFileW(replaced.path.c_str());
            if (replaced.existed)
                ::MoveFileExW(replaced.backup.c_str(), replaced.path.c_str(), MOVEFILE_REPLACE_EXISTING);
        }
    }
    LinkStandIns(const LinkStandIns&) = delete;
    LinkStandIns& operator=(const LinkStandIns&) = delete;

    bool Ready() const { return ready_; }
    std::string Log() const { return ReadFileBytes(log_); }
    // Pumps until `count` stand-ins have finished.
    bool WaitForRuns(size_t count, DWORD timeoutMs = 30000) const
    {
        return PumpUntil([&] { return Finished() >= count; }, timeoutMs);
    }

private:
    struct Replaced {
        std::wstring path, backup;
        bool existed = false;
    };

    size_t Finished() const
    {
        std::string log = Log();
        size_t count = 0;
        for (size_t at = log.find("end\n"); at != std::string::npos; at = log.find("end\n", at + 1))
            ++count;
        return count;
    }

    static constexpr wchar_t kOverridesKey[] = L"Software\\Wine\\DllOverrides";
    // Put back after the files, once nothing can start them any more.
    RegistryValueBackup loadOrder_{HKEY_CURRENT_USER, kOverridesKey, L"control.exe"};
    std::vector<Replaced> replaced_;
    std::wstring log_;
    bool ready_ = false;
};

} // namespace Tavrin::Test
