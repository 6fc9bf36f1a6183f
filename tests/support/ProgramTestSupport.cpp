#include "tests/support/ProgramTestSupport.h"

#include "platform/RegKey.h"
#include "res/resource.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WindowTestSupport.h"

namespace Tavrin::Test {

namespace {

const wchar_t kX11Key[] = L"Software\\Wine\\AppDefaults\\tavrin.exe\\X11 Driver";

int MarkerOf(ProgramWindow kind)
{
    switch (kind) {
    case ProgramWindow::MessageBox:
        return 0xFFFF;
    case ProgramWindow::MainWindow:
        return IDC_BTN_PRIVACY;
    case ProgramWindow::PreUpgradeDialog:
        return IDC_START_SCAN;
    }
    return 0;
}

} // namespace

RunningProgram::RunningProgram(const std::wstring& arguments, const std::wstring& program,
                               const std::wstring& workingFolder)
{
    std::wstring path = program.empty() ? BinFolder() + L"\\tavrin.exe" : program;
    std::wstring commandLine = L"\"" + path + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    m_started = StartTestProcess(nullptr, commandLine, FALSE,
                                 workingFolder.empty() ? BinFolder().c_str() : workingFolder.c_str(), startup,
                                 info) != FALSE;
    if (m_started) {
        m_process.Reset(info.hProcess);
        ::CloseHandle(info.hThread);
        m_id = info.dwProcessId;
    }
}

RunningProgram::~RunningProgram()
{
    if (m_started && ::WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(m_process.Get(), 1);
        ::WaitForSingleObject(m_process.Get(), 10000);
    }
}

bool RunningProgram::WaitForExit(DWORD timeoutMs) const
{
    return ::WaitForSingleObject(m_process.Get(), timeoutMs) == WAIT_OBJECT_0;
}

FramedProgramWindows::FramedProgramWindows()
{
    Platform::RegKey x11;
    if (x11.Create(HKEY_CURRENT_USER, kX11Key, KEY_WRITE) == ERROR_SUCCESS)
        x11.SetString(L"Managed", L"N");
}

FramedProgramWindows::~FramedProgramWindows()
{
    DeleteTree(HKEY_CURRENT_USER, kX11Key);
}

DWORD RunningProgram::ExitCode() const
{
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(m_process.Get(), &code);
    return code;
}

HWND FindWindowOf(DWORD process, ProgramWindow kind)
{
    for (HWND window : TopLevelWindows()) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner == process && ::IsWindowVisible(window) && ClassOf(window) == L"#32770" &&
            ::GetDlgItem(window, MarkerOf(kind)))
            return window;
    }
    return nullptr;
}

HWND WaitForWindowOf(DWORD process, ProgramWindow kind, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < timeoutMs) {
        if (HWND found = FindWindowOf(process, kind))
            return found;
        ::Sleep(50);
    }
    return nullptr;
}

HWND FindChildDialogWith(HWND parent, int itemId)
{
    for (HWND child = ::FindWindowExW(parent, nullptr, L"#32770", nullptr); child;
         child = ::FindWindowExW(parent, child, L"#32770", nullptr)) {
        if (::GetDlgItem(child, itemId))
            return child;
    }
    return nullptr;
}

} // namespace Tavrin::Test
