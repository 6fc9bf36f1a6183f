#include "core/compat/SystemTool.h"

#include "core/compat/SystemInfo.h"
#include "platform/UniqueHandle.h"

namespace Tavrin::Core {

std::wstring SystemToolPath(const wchar_t* name)
{
    wchar_t folder[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    return std::wstring(folder, length) + L"\\" + name;
}

DWORD StartSystemTool(const wchar_t* name, std::wstring commandLine, const SystemToolStart& start)
{
    const std::wstring path = SystemToolPath(name);
    if (path.empty())
        return ERROR_PATH_NOT_FOUND;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(start.show);
    PROCESS_INFORMATION process = {};

    DisableFsRedirection();
    const bool started =
        ::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, start.inheritHandles,
                         start.creationFlags, nullptr, nullptr, &startup, &process) != FALSE;
    const DWORD error = started ? ERROR_SUCCESS : ::GetLastError();
    RestoreFsRedirection();
    if (!started)
        return error;
    Platform::UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);
    if (start.waitForEnd)
        ::WaitForSingleObject(processHandle.Get(), INFINITE);
    return ERROR_SUCCESS;
}

} // namespace Tavrin::Core
