#include "framework/CWnd.h"

#include <windows.h>
#include <commctrl.h>

#include <mutex>
#include <unordered_map>
#include <vector>

#include "framework/CAccessible.h"
#include "framework/CWinApp.h"
#include "platform/ExceptionBarrier.h"
#include "platform/UniqueHook.h"

namespace {

// The windows this process has subclassed: each one's object and the
// procedure ours replaced. It lives in the process, not in the windows:
// a window property costs a round trip to the window manager on every
// message under some systems, and a page's creation sends thousands.
struct SubclassEntry {
    CWnd* wnd = nullptr; // none once released, while a later subclass keeps ours in its chain
    WNDPROC previous = nullptr;
};

class SubclassMap {
public:
    bool Find(HWND window, SubclassEntry& entry) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto found = m_entries.find(window);
        if (found == m_entries.end())
            return false;
        entry = found->second;
        return true;
    }
    void Set(HWND window, const SubclassEntry& entry)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_entries[window] = entry;
    }
    void Erase(HWND window)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_entries.erase(window);
    }

private:
    mutable std::mutex m_mutex;
    std::unordered_map<HWND, SubclassEntry> m_entries;
};

// Never destroyed: objects with static lifetime may release their windows
// after every function-local static is gone.
SubclassMap& Subclasses()
{
    static SubclassMap* map = new SubclassMap;
    return *map;
}

// The procedure ours replaced, or the system default for a window that was
// never ours.
LRESULT CallPrevious(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    SubclassEntry entry;
    if (Subclasses().Find(window, entry) && entry.previous)
        return ::CallWindowProcW(entry.previous, window, message, wParam, lParam);
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// Puts the window's previous procedure back when ours is the current one
// (a subclass made after ours keeps calling ours, which passes everything
// on); true when it did.
bool RestorePreviousProcedure(HWND window, WNDPROC ours, const SubclassEntry& entry)
{
    if (reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(window, GWLP_WNDPROC)) != ours)
        return false;
    ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(entry.previous));
    return true;
}

class CreationScope;
// The CreateEx call on this thread whose window is not yet attached.
thread_local CreationScope* t_pendingCreation = nullptr;

// Installs the creation hook for one CreateEx call; nested creations (a
// window creating children in WM_CREATE) each install their own. The hook
// leaves as soon as its window is attached, so the windows created after
// it (a dialog's controls, the pages a window creates as it initialises)
// do not each pass through it.
class CreationScope {
public:
    CreationScope(CWnd* wnd, HOOKPROC hook) : m_wnd(wnd), m_previous(t_pendingCreation)
    {
        t_pendingCreation = this;
        m_hook.Reset(::SetWindowsHookExW(WH_CBT, hook, nullptr, ::GetCurrentThreadId()));
    }
    ~CreationScope() { t_pendingCreation = m_previous; }
    CreationScope(const CreationScope&) = delete;
    CreationScope& operator=(const CreationScope&) = delete;
    bool Hooked() const { return m_hook.IsValid(); }
    // The object for the window being created, once; the hook goes with it.
    CWnd* Take()
    {
        CWnd* wnd = m_wnd;
        m_wnd = nullptr;
        m_hook.Reset();
        t_pendingCreation = m_previous;
        return wnd;
    }

private:
    CWnd* m_wnd;
    CreationScope* m_previous;
    Tavrin::Platform::UniqueHook m_hook;
};

std::wstring TextOf(HWND window)
{
    int length = window ? ::GetWindowTextLengthW(window) : 0;
    if (length <= 0)
        return {};
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
    int copied = ::GetWindowTextW(window, buffer.data(), length + 1);
    return std::wstring(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

} // namespace

CWnd::~CWnd()
{
    if (!m_hWnd)
        return;
    if (m_ownsWindow)
        ::DestroyWindow(m_hWnd);
    else
        UnsubclassWindow();
    // A window destroyed from another thread may still be attached.
    if (m_hWnd)
        Detach();
}

CWnd* CWnd::FromHandlePermanent(HWND window)
{
    SubclassEntry entry;
    if (!window || !Subclasses().Find(window, entry))
        return nullptr;
    return entry.wnd;
}

const wchar_t* AfxPlainWindowClass()
{
    static const wchar_t name[] = L"TavrinWnd";
    static const ATOM atom = [] {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = name;
        return ::RegisterClassExW(&wc);
    }();
    (void)atom;
    return name;
}

BOOL CWnd::CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* windowName, DWORD style,
                    const RECT& rect, HWND parent, UINT id)
{
    // Child windows carry their identifier where top-level ones carry a menu.
    HMENU menuOrId = (style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)) : nullptr;
    return CreateAttached([&] {
        return ::CreateWindowExW(exStyle, className ? className : AfxPlainWindowClass(),
                                 windowName ? windowName : L"", style, rect.left, rect.top,
                                 rect.right - rect.left, rect.bottom - rect.top, parent, menuOrId,
                                 AfxGetInstanceHandle(), nullptr);
    });
}

BOOL CWnd::CreateAttached(const std::function<HWND()>& create)
{
    if (m_hWnd)
        return FALSE;
    HWND created = nullptr;
    {
        CreationScope scope(this, CreationHook);
        if (!scope.Hooked())
            return FALSE;
        created = create();
    }
    if (created && m_hWnd != created) {
        // The window exists but could not be attached: the caller is told
        // the creation failed, so it must not stay behind.
        ::DestroyWindow(created);
        return FALSE;
    }
    if (!created)
        return FALSE;
    m_ownsWindow = true;
    return TRUE;
}

BOOL CWnd::Create(const wchar_t* className, const wchar_t* windowName, DWORD style, const RECT& rect,
                  HWND parent, UINT id)
{
    return CreateEx(0, className, windowName, style | WS_CHILD, rect, parent, id);
}

BOOL CWnd::DestroyWindow()
{
    if (!m_hWnd)
        return FALSE;
    return ::DestroyWindow(m_hWnd);
}

LRESULT CALLBACK CWnd::CreationHook(int code, WPARAM wParam, LPARAM lParam)
{
    CWnd* wnd = code == HCBT_CREATEWND && t_pendingCreation ? t_pendingCreation->Take() : nullptr;
    if (wnd) {
        wnd->m_beingCreated = true;
        // A failure leaves the window unattached, and CreateAttached then
        // destroys it and reports the creation failed.
        Tavrin::Platform::Guarded(
            L"CWnd::CreationHook", [&] { return wnd->Attach(reinterpret_cast<HWND>(wParam)); },
            [] { return false; });
        wnd->m_beingCreated = false;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

bool CWnd::Attach(HWND window)
{
    if (m_hWnd || !window)
        return false;
    // A window released earlier with a later subclass on top still has ours
    // in its chain: the new object takes the old place.
    SubclassEntry entry;
    if (Subclasses().Find(window, entry) && entry.wnd)
        return false;
    entry.wnd = this;
    Subclasses().Set(window, entry);
    m_hWnd = window;
    PreSubclassWindow();
    if (entry.previous)
        return true;
    ::SetLastError(ERROR_SUCCESS);
    const auto previous = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::SubclassProc)));
    if (!previous && ::GetLastError() != ERROR_SUCCESS) {
        Subclasses().Erase(window);
        m_hWnd = nullptr;
        return false;
    }
    entry.previous = previous;
    Subclasses().Set(window, entry);
    return true;
}

void CWnd::Detach()
{
    SubclassEntry entry;
    if (m_hWnd && Subclasses().Find(m_hWnd, entry) && entry.wnd == this) {
        entry.wnd = nullptr;
        Subclasses().Set(m_hWnd, entry);
    }
    m_hWnd = nullptr;
    m_ownsWindow = false;
}

BOOL CWnd::SubclassWindow(HWND window)
{
    if (!::IsWindow(window))
        return FALSE;
    return Attach(window) ? TRUE : FALSE;
}

BOOL CWnd::SubclassDlgItem(UINT id, HWND parent)
{
    return SubclassWindow(::GetDlgItem(parent, static_cast<int>(id)));
}

HWND CWnd::UnsubclassWindow()
{
    HWND window = m_hWnd;
    if (!window)
        return nullptr;
    Detach();
    ReleaseSubclass(window);
    return window;
}

void CWnd::ReleaseSubclass(HWND window)
{
    SubclassEntry entry;
    if (Subclasses().Find(window, entry) && !entry.wnd &&
        RestorePreviousProcedure(window, &CWnd::SubclassProc, entry))
        Subclasses().Erase(window);
}

LRESULT CALLBACK CWnd::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* wnd = FromHandlePermanent(window);
    LRESULT result = 0;
    if (wnd) {
        result = Tavrin::Platform::Guarded(
            L"CWnd::WindowProc", [&] { return wnd->WindowProc(message, wParam, lParam); },
            [&] { return CallPrevious(window, message, wParam, lParam); });
    } else {
        result = CallPrevious(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        // The window's last message: the entry goes, whoever subclassed after us.
        SubclassEntry entry;
        if (Subclasses().Find(window, entry))
            RestorePreviousProcedure(window, &CWnd::SubclassProc, entry);
        Subclasses().Erase(window);
        if (wnd && wnd->m_hWnd == window) {
            wnd->m_hWnd = nullptr;
            wnd->m_ownsWindow = false;
            Tavrin::Platform::Guarded(
                L"CWnd::PostNcDestroy", [&] { wnd->PostNcDestroy(); }, [] {});
        }
    }
    return result;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return CallPrevious(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::ReflectToChild(HWND child, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    CWnd* wnd = FromHandlePermanent(child);
    if (!wnd || wnd == this)
        return FALSE;
    return wnd->OnChildNotify(message, wParam, lParam, result);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    switch (message) {
    case WM_COMMAND: {
        HWND control = reinterpret_cast<HWND>(lParam);
        if (control && ReflectToChild(control, message, wParam, lParam, &result))
            return result;
        if (OnCommand(wParam, lParam))
            return 0;
        break;
    }
    case WM_NOTIFY: {
        auto header = reinterpret_cast<const NMHDR*>(lParam);
        if (header && ReflectToChild(header->hwndFrom, message, wParam, lParam, &result))
            return result;
        if (OnNotify(wParam, lParam, &result))
            return result;
        break;
    }
    case WM_DRAWITEM: {
        auto item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item && item->CtlType != ODT_MENU &&
            ReflectToChild(item->hwndItem, message, wParam, lParam, &result))
            return result;
        break;
    }
    case WM_MEASUREITEM: {
        auto item = reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam);
        if (item && item->CtlType != ODT_MENU &&
            ReflectToChild(GetDlgItem(static_cast<int>(item->CtlID)), message, wParam, lParam, &result))
            return result;
        break;
    }
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
        if (ReflectToChild(reinterpret_cast<HWND>(lParam), message, wParam, lParam, &result))
            return result;
        break;
    case WM_HSCROLL:
    case WM_VSCROLL:
        if (lParam && ReflectToChild(reinterpret_cast<HWND>(lParam), message, wParam, lParam, &result))
            return result;
        break;
    case WM_UPDATEUISTATE:
        switch (LOWORD(wParam)) {
        case UIS_SET:
            m_uiState = static_cast<WORD>(m_uiState | HIWORD(wParam));
            break;
        case UIS_CLEAR:
            m_uiState = static_cast<WORD>(m_uiState & ~HIWORD(wParam));
            break;
        }
        break;
    case WM_GETOBJECT: {
        // The identifier is a 32-bit value; on 64 bits lParam carries it
        // sign-extended.
        AccessibleInfo info;
        if (static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT) && GetAccessibleInfo(info))
            return AnswerAccessibleObject(m_hWnd, wParam);
        break;
    }
    default:
        if (message == AccessibleRequestMessage()) {
            if (wParam == 0 && lParam)
                return GetAccessibleInfo(*reinterpret_cast<AccessibleInfo*>(lParam)) ? 1 : 0;
            if (wParam == 1)
                return DoAccessibleDefaultAction() ? 1 : 0;
            return 0;
        }
        break;
    }
    return DefWindowProc(message, wParam, lParam);
}

BOOL CWnd::OnCommand(WPARAM, LPARAM)
{
    return FALSE;
}

BOOL CWnd::OnNotify(WPARAM, LPARAM, LRESULT*)
{
    return FALSE;
}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*)
{
    return FALSE;
}

bool CWnd::ShowsFocusCues() const
{
    const auto state = static_cast<WORD>(SendMessage(WM_QUERYUISTATE)) | m_uiState;
    return (state & UISF_HIDEFOCUS) == 0;
}

bool CWnd::GetAccessibleInfo(AccessibleInfo&)
{
    return false;
}

bool CWnd::DoAccessibleDefaultAction()
{
    return false;
}

UINT CWnd::AccessibleRequestMessage()
{
    static const UINT message = ::RegisterWindowMessageW(L"Tavrin.AccessibleRequest");
    return message;
}

void CWnd::PreSubclassWindow() {}

void CWnd::PostNcDestroy() {}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

BOOL CWnd::WalkPreTranslateTree(HWND last, MSG* message)
{
    for (HWND window = message->hwnd; window; window = ::GetParent(window)) {
        if (CWnd* wnd = FromHandlePermanent(window)) {
            if (wnd->PreTranslateMessage(message))
                return TRUE;
        }
        if (window == last)
            break;
    }
    return FALSE;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::PostMessageW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT swpFlags)
{
    return ModifyStyleBits(GWL_STYLE, remove, add, swpFlags);
}

BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT swpFlags)
{
    return ModifyStyleBits(GWL_EXSTYLE, remove, add, swpFlags);
}

BOOL CWnd::ModifyStyleBits(int which, DWORD remove, DWORD add, UINT swpFlags)
{
    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, which));
    const DWORD changed = (style & ~remove) | add;
    if (changed == style)
        return FALSE;
    ::SetWindowLongPtrW(m_hWnd, which, static_cast<LONG_PTR>(changed));
    if (swpFlags)
        SetWindowPos(nullptr, 0, 0, 0, 0, swpFlags | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return TRUE;
}

void CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint) const
{
    ::MoveWindow(m_hWnd, x, y, width, height, repaint);
}

void CWnd::MoveWindow(const RECT& rect, BOOL repaint) const
{
    ::MoveWindow(m_hWnd, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, repaint);
}

BOOL CWnd::SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags) const
{
    return ::SetWindowPos(m_hWnd, insertAfter, x, y, cx, cy, flags);
}

RECT CWnd::GetClientRect() const
{
    RECT rect = {};
    ::GetClientRect(m_hWnd, &rect);
    return rect;
}

RECT CWnd::GetWindowRect() const
{
    RECT rect = {};
    ::GetWindowRect(m_hWnd, &rect);
    return rect;
}

RECT CWnd::GetRectInParent() const
{
    RECT rect = GetWindowRect();
    if (HWND parent = GetParent())
        ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void CWnd::ScreenToClient(RECT& rect) const
{
    ::MapWindowPoints(HWND_DESKTOP, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
}

void CWnd::ClientToScreen(RECT& rect) const
{
    ::MapWindowPoints(m_hWnd, HWND_DESKTOP, reinterpret_cast<POINT*>(&rect), 2);
}

std::wstring CWnd::GetWindowText() const
{
    return TextOf(m_hWnd);
}

std::wstring CWnd::GetDlgItemText(int id) const
{
    return TextOf(GetDlgItem(id));
}

void CWnd::SetFont(HFONT font, BOOL redraw) const
{
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw);
}

BOOL CWnd::RedrawWindow(const RECT* rect, HRGN region, UINT flags) const
{
    return ::RedrawWindow(m_hWnd, rect, region, flags);
}

HICON CWnd::SetIcon(HICON icon, BOOL big) const
{
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
}

int CWnd::MessageBox(const wchar_t* text, const wchar_t* caption, UINT type) const
{
    std::wstring title;
    if (caption)
        title = caption;
    else if (CWinApp* app = AfxGetApp())
        title = app->m_appName;
    return ::MessageBoxW(m_hWnd, text, title.c_str(), type);
}
