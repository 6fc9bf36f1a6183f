#include "core/reclaim/DiskCleanup.h"

#include "core/compat/SystemTool.h"

namespace Tavrin::Core {

DWORD RunDiskCleanup()
{
    SystemToolStart start;
    start.show = SW_HIDE;
    start.creationFlags = CREATE_NO_WINDOW;
    start.inheritHandles = TRUE;
    start.waitForEnd = true;
    return StartSystemTool(L"cleanmgr.exe", kDiskCleanupCommand, start);
}

} // namespace Tavrin::Core
