#include "app/InteractiveInstance.h"

#include <vector>

namespace {

// How long a second start looks for the first copy's window, or for the
// claim to go, before it ends.
constexpr DWORD kWait = 10000;
constexpr DWORD kPause = 100;

struct WindowsOf {
    DWORD process;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<WindowsOf*>(context);
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process == search->process && ::IsWindowVisible(window) && !::GetWindow(window, GW_OWNER))
        search->found.push_back(window);
    return TRUE;
}

// The process's window, or what it shows on top of it (a message box):
// brought to the front, restored when minimised. False when it has none yet.
bool BringToFront(DWORD process)
{
    WindowsOf search{process, {}};
    ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found.empty())
        return false;
    HWND main = search.found.front();
    if (::IsIconic(main))
        ::ShowWindow(main, SW_RESTORE);
    ::AllowSetForegroundWindow(process);
    ::SetForegroundWindow(::GetLastActivePopup(main));
    return true;
}

} // namespace

bool CInteractiveInstance::Claim()
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        Tavrin::Platform::UniqueHandle claim(
            ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(DWORD), kName));
        const DWORD error = ::GetLastError();
        // Without the object there is nothing to coordinate with.
        if (!claim)
            return true;
        void* view = ::MapViewOfFile(claim.Get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(DWORD));
        if (!view)
            return error != ERROR_ALREADY_EXISTS;
        auto* owner = static_cast<volatile DWORD*>(view);
        if (error != ERROR_ALREADY_EXISTS) {
            *owner = ::GetCurrentProcessId();
            ::UnmapViewOfFile(view);
            m_claim = std::move(claim);
            return true;
        }
        const DWORD process = *owner;
        ::UnmapViewOfFile(view);
        // The holder's id is written just after the object is made.
        if (process && BringToFront(process))
            return false;
        if (::GetTickCount() - start >= kWait)
            return false;
        // Let go of it, so that a copy that is closing takes it along.
        claim.Reset();
        ::Sleep(kPause);
    }
}
