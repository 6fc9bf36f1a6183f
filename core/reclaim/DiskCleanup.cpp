#include "core/reclaim/DiskCleanup.h"

#include <windows.h>

#include <string>

#include "core/compat/SystemInfo.h"
#include "platform/UniqueHandle.h"

namespace Tavrin::Core {

bool RunDiskCleanup()
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process = {};
    std::wstring commandLine = kDiskCleanupCommand; // CreateProcessW may write into it

    DisableFsRedirection();
    bool started = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                    nullptr, nullptr, &startup, &process) != FALSE;
    if (started) {
        Platform::UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);
        ::WaitForSingleObject(processHandle.Get(), INFINITE);
    }
    RestoreFsRedirection();
    return started;
}

} // namespace Tavrin::Core
