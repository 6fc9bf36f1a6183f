#pragma once
// Stand-ins for the programs the compatibility page's links start, for the
// page's tests and the main window's.
#include <windows.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

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
    // The log of one run of the control panel's association page, likewise.
    static std::string AssociationPageRun()
    {
        return "start \"" + Platform::Narrow(SystemFolder(), CP_UTF8) +
               "\\control.exe\" /name Microsoft.DefaultPrograms /page pageFileAssoc\nend\n";
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

// While it lives, a stand-in handler is registered for some classes (web
// addresses, programs) and appends each address or file it is given, one
// line each, to Log(), and the file name of the program that started it to
// Parents(). It is registered with the machine's classes, or planted in the
// user's (HKCU\Software\Classes, which Windows merges into the classes
// every program of the user reads, an elevated one included).
class HandlerStandIn {
public:
    enum class Where { Machine, PlantedByUser };
    HandlerStandIn(const std::wstring& logFolder, Where where, std::initializer_list<const wchar_t*> classes)
        : m_log(Platform::JoinPath(logFolder, where == Where::Machine ? L"opened.txt" : L"planted.txt"))
    {
        const HKEY root = where == Where::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        const std::wstring handler =
            L"\"" + StandInProgram(L"urlhandler.exe") + L"\" \"/log:" + m_log + L"\" \"%1\"";
        m_ready = true;
        for (const wchar_t* name : classes) {
            const std::wstring key = L"Software\\Classes\\" + std::wstring(name) + L"\\shell\\open\\command";
            m_backups.push_back(std::make_unique<RegistryValueBackup>(root, key, L""));
            m_ready =
                m_ready && ::RegSetKeyValueW(root, key.c_str(), nullptr, REG_SZ, handler.c_str(),
                                             static_cast<DWORD>((handler.size() + 1) * sizeof(wchar_t))) ==
                               ERROR_SUCCESS;
        }
    }
    HandlerStandIn(const HandlerStandIn&) = delete;
    HandlerStandIn& operator=(const HandlerStandIn&) = delete;

    bool Ready() const { return m_ready; }
    std::string Log() const { return ReadFileBytes(m_log); }
    std::string Parents() const { return ReadFileBytes(m_log + L".parents"); }

private:
    std::vector<std::unique_ptr<RegistryValueBackup>> m_backups;
    std::wstring m_log;
    bool m_ready = false;
};

// A stand-in browser for web addresses.
class WebAddressStandIn : public HandlerStandIn {
public:
    explicit WebAddressStandIn(const std::wstring& logFolder, Where where = Where::Machine)
        : HandlerStandIn(logFolder, where, {L"http", L"https"})
    {
    }
};

// A handler planted for programs: what a shell would start in place of a
// program it is asked to open.
class PlantedProgramHandler : public HandlerStandIn {
public:
    explicit PlantedProgramHandler(const std::wstring& logFolder)
        : HandlerStandIn(logFolder, Where::PlantedByUser, {L"exefile", L".exe"})
    {
    }
};

} // namespace Tavrin::Test
