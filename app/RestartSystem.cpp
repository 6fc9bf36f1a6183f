#include "app/RestartSystem.h"

#include "platform/UniqueHandle.h"

void RestartSystem(ExitWindowsFunction exitWindows)
{
    Tavrin::Platform::UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.Put()))
        return;

    TOKEN_PRIVILEGES enable = {};
    if (!::LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &enable.Privileges[0].Luid))
        return;
    enable.PrivilegeCount = 1;
    enable.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;

    TOKEN_PRIVILEGES previous = {};
    DWORD previousSize = sizeof(previous);
    ::SetLastError(ERROR_SUCCESS);
    ::AdjustTokenPrivileges(token.Get(), FALSE, &enable, sizeof(previous), &previous, &previousSize);
    // AdjustTokenPrivileges succeeds even when the privilege is not held;
    // only a clean last error means it really is enabled now.
    if (::GetLastError() != ERROR_SUCCESS)
        return;

    if (exitWindows(EWX_REBOOT, SHTDN_REASON_MAJOR_OTHER | SHTDN_REASON_MINOR_MAINTENANCE) &&
        previous.PrivilegeCount > 0)
        ::AdjustTokenPrivileges(token.Get(), FALSE, &previous, 0, nullptr, nullptr);
}
