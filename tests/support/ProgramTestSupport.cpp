#include "tests/support/ProgramTestSupport.h"

#include "res/resource.h"
#include "tests/support/TestSupport.h"

namespace Tavrin::Test {

namespace {

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return name;
}

} // namespace

RunningProgram::RunningProgram(const std::wstring& arguments, const std::wstring& program)
{
    std::wstring path = program.empty() ? BinFolder() + L"\\tavrin.exe" : program;
    std::wstring commandLine = L"\"" + path + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    started_ = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                BinFolder().c_str(), &startup, &info) != FALSE;
    if (started_) {
        process_.Reset(info.hProcess);
        ::CloseHandle(info.hThread);
        id_ = info.dwProcessId;
    }
}

RunningProgram::~RunningProgram()
{
    if (started_ && ::WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(process_.Get(), 1);
        ::WaitForSingleObject(process_.Get(), 10000);
    }
}

bool RunningProgram::WaitForExit(DWORD timeoutMs) const
{
    return ::WaitForSingleObject(process_.Get(), timeoutMs) == WAIT_OBJECT_0;
}

HWND FindWindowOf(DWORD process, ProgramWindow kind)
{
    struct Search {
        DWORD process;
        ProgramWindow kind;
        HWND found;
    } search{process, kind, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* search = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if (owner != search->process || !::IsWindowVisible(window) || ClassOf(window) != L"#32770")
                return TRUE;
            const int marker = search->kind == ProgramWindow::MessageBox ? 0xFFFF : IDC_BTN_PRIVACY;
            if (!::GetDlgItem(window, marker))
                return TRUE;
            search->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
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
