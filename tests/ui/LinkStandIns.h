#pragma once
// Stand-ins for the programs the compatibility page's links start, for the
// page's tests and the main window's.
#include <windows.h>

#include <string>

#include "platform/Text.h"
#include "tests/helpers/standins/SystemStandIns.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WindowTestSupport.h"

namespace Tavrin::Test {

// The links start programs that a test must not really run. Stand-ins that
// record their command lines take their places in the system folder of the
// test prefix for the test's duration: the Device Manager console is started
// from there by its full path, and the control panel by name, which Wine's
// shell resolves in the system folder before the program's own folder
// (unlike Windows, which looks in the program's folder first).
class LinkStandIns {
public:
    explicit LinkStandIns(const std::wstring& logFolder)
        : m_log(Platform::JoinPath(logFolder, L"standins.log"))
    {
        m_ready = m_system.Place(L"mmc.exe") && m_system.Place(L"control.exe");
        ::SetEnvironmentVariableW(L"TAVRIN_STANDIN_LOG", m_log.c_str());
    }
    ~LinkStandIns() { ::SetEnvironmentVariableW(L"TAVRIN_STANDIN_LOG", nullptr); }
    LinkStandIns(const LinkStandIns&) = delete;
    LinkStandIns& operator=(const LinkStandIns&) = delete;

    bool Ready() const { return m_ready; }
    std::string Log() const { return ReadFileBytes(m_log); }
    // Pumps until `count` stand-ins have finished.
    bool WaitForRuns(size_t count, DWORD timeoutMs = 30000) const
    {
        return PumpUntil([&] { return Finished() >= count; }, timeoutMs);
    }

    // The log of one Device Manager run: the console of the system folder,
    // by the path the system itself gives for that folder.
    static std::string DeviceManagerRun()
    {
        return "start \"" + Platform::Narrow(SystemFolder(), CP_UTF8) + "\\mmc.exe\" devmgmt.msc\nend\n";
    }

private:
    size_t Finished() const
    {
        std::string log = Log();
        size_t count = 0;
        for (size_t at = log.find("end\n"); at != std::string::npos; at = log.find("end\n", at + 1))
            ++count;
        return count;
    }

    std::wstring m_log;
    SystemFolderStandIns m_system;
    bool m_ready = false;
};

// While it lives, web addresses open in a stand-in browser that appends each
// address it is given, one line each, to Log().
class WebAddressStandIn {
public:
    explicit WebAddressStandIn(const std::wstring& logFolder)
        : m_log(Platform::JoinPath(logFolder, L"opened.txt"))
    {
        const std::wstring handler = L"\"" + StandInProgram(L"urlhandler.exe") + L"\" \"%1\"";
        m_ready = true;
        for (const wchar_t* key : kCommandKeys)
            m_ready =
                m_ready && ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, key, nullptr, REG_SZ, handler.c_str(),
                                             static_cast<DWORD>((handler.size() + 1) * sizeof(wchar_t))) ==
                               ERROR_SUCCESS;
        ::SetEnvironmentVariableW(L"TAVRIN_URL_LOG", m_log.c_str());
    }
    ~WebAddressStandIn() { ::SetEnvironmentVariableW(L"TAVRIN_URL_LOG", nullptr); }
    WebAddressStandIn(const WebAddressStandIn&) = delete;
    WebAddressStandIn& operator=(const WebAddressStandIn&) = delete;

    bool Ready() const { return m_ready; }
    std::string Log() const { return ReadFileBytes(m_log); }

private:
    static constexpr const wchar_t* kCommandKeys[] = {L"Software\\Classes\\http\\shell\\open\\command",
                                                      L"Software\\Classes\\https\\shell\\open\\command"};
    RegistryValueBackup m_http{HKEY_LOCAL_MACHINE, kCommandKeys[0], L""};
    RegistryValueBackup m_https{HKEY_LOCAL_MACHINE, kCommandKeys[1], L""};
    std::wstring m_log;
    bool m_ready = false;
};

} // namespace Tavrin::Test
