// The baseline of the start-up benchmark: the least a Win32 program does to
// show a painted window. It announces the moment its message queue first runs
// dry after the window is shown, with the same debug line the program's own
// modal loop writes, so that both are measured the same way.
#include <windows.h>

namespace {

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(window, &paint);
        ::FillRect(dc, &paint.rcPaint, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
        ::EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = L"BareWindow";
    ::RegisterClassW(&windowClass);
    HWND window = ::CreateWindowExW(0, L"BareWindow", L"Bare window", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                    CW_USEDEFAULT, 640, 480, nullptr, nullptr, instance, nullptr);
    if (!window)
        return 1;
    ::ShowWindow(window, show);
    ::UpdateWindow(window);
    bool announced = false;
    MSG message;
    for (;;) {
        if (!announced && !::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            ::OutputDebugStringW(L"modal loop idle\n");
            announced = true;
        }
        if (::GetMessageW(&message, nullptr, 0, 0) <= 0)
            break;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 0;
}
