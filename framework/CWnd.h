#pragma once
#include <windows.h>

#include <functional>
#include <string>

// What an accessibility client (a screen reader, UI automation) learns
// about a window the system's own accessible objects cannot describe, such
// as an owner-drawn button: role and state are the oleacc ROLE_SYSTEM_* and
// STATE_SYSTEM_* values.
struct AccessibleInfo {
    std::wstring name;
    LONG role = 0;
    LONG state = 0;
    std::wstring defaultAction;
};

// Base of every window object: owns the association with one HWND.
//
// A CWnd is attached to its window either when it creates it (CreateEx,
// Create) or when it subclasses an existing one (SubclassWindow,
// SubclassDlgItem). From then on every message of the window goes through
// the virtual WindowProc, which a derived class overrides with a plain
// switch and ends with a call to its base class's WindowProc:
//
//     LRESULT CMyWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
//     {
//         switch (message) {
//         case WM_PAINT:
//             OnPaint();
//             return 0;
//         }
//         return CWnd::WindowProc(message, wParam, lParam);
//     }
//
// What a class does not handle reaches DefWindowProc: the window procedure
// the window had before it was attached (the control's own class procedure,
// the dialog manager's, or the system default).
//
// Notifications a control sends to its parent (WM_COMMAND from a control,
// WM_NOTIFY, WM_DRAWITEM, WM_MEASUREITEM, WM_CTLCOLOR*, scroll messages of
// a scroll-bar control) are first offered back to the control's own object
// through OnChildNotify ("reflection"), so that a control class can handle
// its own notifications; the parent sees them only when the control leaves
// them. This needs the parent to be a CWnd as well.
class CWnd {
public:
    CWnd() = default;
    // Destroys a window this object created; a window it only subclassed
    // gets its previous procedure back and lives on.
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return GetSafeHwnd(); }

    // The object attached to a window, or null for a window without one.
    static CWnd* FromHandlePermanent(HWND window);

    // Creates a window and attaches this object before the window's first
    // message (WM_NCCREATE), so that WM_CREATE reaches WindowProc. A null
    // class name means this framework's plain window class.
    BOOL CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* windowName, DWORD style,
                  const RECT& rect, HWND parent, UINT id);
    BOOL Create(const wchar_t* className, const wchar_t* windowName, DWORD style, const RECT& rect,
                HWND parent, UINT id);
    BOOL DestroyWindow();

    // Attaches this object to an existing window by replacing its window
    // procedure. Fails when the window already has an object.
    BOOL SubclassWindow(HWND window);
    BOOL SubclassDlgItem(UINT id, HWND parent);
    // Gives the window its previous procedure back and forgets it.
    HWND UnsubclassWindow();

    // Thin helpers over the window functions of the same names.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    HWND GetParent() const { return ::GetParent(m_hWnd); }
    // The parent's object, or null when the parent has none.
    CWnd* GetParentWnd() const { return FromHandlePermanent(::GetParent(m_hWnd)); }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE)); }
    DWORD GetExStyle() const { return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE)); }
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT swpFlags = 0);
    BOOL ModifyStyleEx(DWORD remove, DWORD add, UINT swpFlags = 0);
    BOOL ShowWindow(int command) const { return ::ShowWindow(m_hWnd, command); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL EnableWindow(BOOL enable = TRUE) const { return ::EnableWindow(m_hWnd, enable); }
    void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE) const;
    void MoveWindow(const RECT& rect, BOOL repaint = TRUE) const;
    BOOL SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags) const;
    RECT GetClientRect() const;
    RECT GetWindowRect() const;
    // The window's rectangle in its parent's client coordinates.
    RECT GetRectInParent() const;
    void ScreenToClient(POINT& point) const { ::ScreenToClient(m_hWnd, &point); }
    void ScreenToClient(RECT& rect) const;
    void ClientToScreen(POINT& point) const { ::ClientToScreen(m_hWnd, &point); }
    void ClientToScreen(RECT& rect) const;
    void SetWindowText(const std::wstring& text) const { ::SetWindowTextW(m_hWnd, text.c_str()); }
    std::wstring GetWindowText() const;
    void SetFont(HFONT font, BOOL redraw = TRUE) const;
    HFONT GetFont() const { return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)); }
    void Invalidate(BOOL erase = TRUE) const { ::InvalidateRect(m_hWnd, nullptr, erase); }
    void InvalidateRect(const RECT* rect, BOOL erase = TRUE) const { ::InvalidateRect(m_hWnd, rect, erase); }
    void UpdateWindow() const { ::UpdateWindow(m_hWnd); }
    BOOL RedrawWindow(const RECT* rect = nullptr, HRGN region = nullptr,
                      UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE) const;
    HWND SetFocus() const { return ::SetFocus(m_hWnd); }
    HICON SetIcon(HICON icon, BOOL big) const;
    // Owned by this window; the caption defaults to the application name.
    int MessageBox(const wchar_t* text, const wchar_t* caption = nullptr, UINT type = MB_OK) const;
    void CheckDlgButton(int id, UINT check) const { ::CheckDlgButton(m_hWnd, id, check); }
    UINT IsDlgButtonChecked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id); }
    void SetDlgItemText(int id, const std::wstring& text) const
    {
        ::SetDlgItemTextW(m_hWnd, id, text.c_str());
    }
    std::wstring GetDlgItemText(int id) const;

    // The message loop's hook: a window may consume a message before it is
    // translated and dispatched (tooltip relaying, dialog keyboard handling).
    virtual BOOL PreTranslateMessage(MSG* message);
    // Offers a message to the objects of its target window and each of its
    // ancestors up to and including `last`; true when one consumed it.
    static BOOL WalkPreTranslateTree(HWND last, MSG* message);

    // Whether focus cues (focus rectangles) show in this window now, by the
    // system's UI state (WM_QUERYUISTATE) and by the WM_UPDATEUISTATE
    // messages the window has seen: hidden after a mouse start, shown once
    // the keyboard moved the focus.
    bool ShowsFocusCues() const;

    // A window that describes itself to accessibility clients fills `info`
    // and returns true; the window then answers WM_GETOBJECT itself.
    virtual bool GetAccessibleInfo(AccessibleInfo& info);
    // Runs the default action an accessibility client asked for (what a
    // click does); true when there is one.
    virtual bool DoAccessibleDefaultAction();
    // The private message through which the accessible object asks the
    // window's thread: wParam 0 fills the AccessibleInfo at lParam, 1 runs
    // the default action. Answers 1 when the window took the request.
    static UINT AccessibleRequestMessage();

    HWND m_hWnd = nullptr;

protected:
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The window's previous procedure (or the system default).
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // WM_COMMAND after reflection; true when handled.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    // WM_NOTIFY after reflection; true when handled, with the result.
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
    // A notification this control sent to its parent, offered back to it.
    // True means handled (the parent does not see it) with *result.
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // Called when the object is attached, before the window's next message.
    // During CreateEx the window has not yet had any message (see IsBeingCreated).
    virtual void PreSubclassWindow();
    bool IsBeingCreated() const { return m_beingCreated; }
    // Called after the window's last message (WM_NCDESTROY).
    virtual void PostNcDestroy();
    // Runs a window-creating call (CreateWindowExW, CreateDialogIndirectParamW)
    // so that the first window it creates on this thread is attached to this
    // object from its first message on. True when that window exists.
    BOOL CreateAttached(const std::function<HWND()>& create);

private:
    // Changes the bits of GWL_STYLE or GWL_EXSTYLE; false when nothing changed.
    BOOL ModifyStyleBits(int which, DWORD remove, DWORD add, UINT swpFlags);
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Puts the window's previous procedure back once no object uses ours.
    static void ReleaseSubclass(HWND window);
    static LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam);
    bool Attach(HWND window);
    void Detach();
    // Gives a child control's object the first look at its notification.
    BOOL ReflectToChild(HWND child, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

    // UISF_* flags set by the WM_UPDATEUISTATE messages seen; the system
    // keeps its own, which some systems never change.
    WORD m_uiState = 0;
    bool m_ownsWindow = false;
    bool m_beingCreated = false;
};

// Registers (once) and names the framework's plain window class.
const wchar_t* AfxPlainWindowClass();
