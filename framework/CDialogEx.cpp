#include "framework/CDialogEx.h"

#include "framework/CWinApp.h"
#include "platform/Text.h"

namespace {

BOOL CALLBACK SendUiState(HWND child, LPARAM state)
{
    ::SendMessageW(child, WM_UPDATEUISTATE, static_cast<WPARAM>(state), 0);
    return TRUE;
}

} // namespace

CDialogEx::CDialogEx(UINT templateId, CWnd* parent) : m_templateId(templateId), m_parent(parent) {}

CDialogEx::~CDialogEx()
{
    // Destroy here rather than in ~CWnd so that the last messages still
    // reach the dialog's own handling.
    if (m_hWnd)
        ::DestroyWindow(m_hWnd);
}

const DLGTEMPLATE* CDialogEx::LoadTemplate(UINT templateId) const
{
    HINSTANCE instance = AfxGetInstanceHandle();
    HRSRC found =
        ::FindResourceW(instance, MAKEINTRESOURCEW(templateId), reinterpret_cast<LPCWSTR>(RT_DIALOG));
    if (!found)
        return nullptr;
    HGLOBAL loaded = ::LoadResource(instance, found);
    return loaded ? static_cast<const DLGTEMPLATE*>(::LockResource(loaded)) : nullptr;
}

INT_PTR CALLBACK CDialogEx::StaticDialogProc(HWND, UINT, WPARAM, LPARAM)
{
    // The dialog's window procedure is subclassed from the window's first
    // message on, so every message is handled in WindowProc; what reaches
    // the dialog manager is default processing.
    return FALSE;
}

BOOL CDialogEx::CreateFromTemplate(const DLGTEMPLATE* dialogTemplate, HWND parent)
{
    if (!dialogTemplate)
        return FALSE;
    return CreateAttached([&] {
        return ::CreateDialogIndirectParamW(AfxGetInstanceHandle(), dialogTemplate, parent, StaticDialogProc,
                                            reinterpret_cast<LPARAM>(this));
    });
}

BOOL CDialogEx::Create(UINT templateId, CWnd* parent)
{
    m_templateId = templateId;
    m_parent = parent;
    return CreateIndirect(m_indirectTemplate ? m_indirectTemplate : LoadTemplate(templateId), parent);
}

BOOL CDialogEx::CreateIndirect(const DLGTEMPLATE* dialogTemplate, CWnd* parent)
{
    m_parent = parent;
    m_modal = false;
    if (!CreateFromTemplate(dialogTemplate, parent ? parent->GetSafeHwnd() : nullptr))
        return FALSE;
    // Lets the modal dialog's keyboard handling (Tab) reach into the child.
    if (GetStyle() & WS_CHILD)
        ModifyStyleEx(0, WS_EX_CONTROLPARENT);
    return TRUE;
}

INT_PTR CDialogEx::DoModal()
{
    if (m_hWnd)
        return -1;
    const DLGTEMPLATE* dialogTemplate = m_indirectTemplate ? m_indirectTemplate : LoadTemplate(m_templateId);
    HWND owner = m_parent ? m_parent->GetSafeHwnd() : nullptr;
    m_modal = true;
    m_modalRunning = true;
    m_modalResult = -1;
    if (!CreateFromTemplate(dialogTemplate, owner)) {
        m_modal = false;
        m_modalRunning = false;
        return -1;
    }
    bool ownerDisabled = owner && ::IsWindowEnabled(owner) && !::EnableWindow(owner, FALSE);
    // OnInitDialog may already have ended the dialog; then it never shows.
    if (m_modalRunning && !IsWindowVisible()) {
        ShowWindow(SW_SHOWNORMAL);
        UpdateWindow();
    }
    // The first moment the queue runs dry the dialog and its controls have
    // painted; the start-up benchmark times the program by this line.
    bool announcedIdle = false;
    while (m_modalRunning && m_hWnd) {
        MSG message;
        if (!announcedIdle && !::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            Tavrin::Platform::DebugLine(L"modal loop idle");
            announcedIdle = true;
        }
        BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == -1)
            break;
        if (!got) {
            // Leave the loop but keep the quit request for the outer loop.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (!WalkPreTranslateTree(m_hWnd, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    // Re-enable the owner first so that activation returns to it.
    if (ownerDisabled)
        ::EnableWindow(owner, TRUE);
    if (m_hWnd)
        ::DestroyWindow(m_hWnd);
    m_modal = false;
    m_modalRunning = false;
    return m_modalResult;
}

void CDialogEx::EndDialog(int result)
{
    if (!m_hWnd)
        return;
    if (m_modal) {
        m_modalResult = result;
        m_modalRunning = false;
        // Wakes the loop when the call comes from outside a message.
        PostMessage(WM_NULL);
        return;
    }
    ShowWindow(SW_HIDE);
}

BOOL CDialogEx::PreTranslateMessage(MSG* message)
{
    // The dialog keyboard (Tab, arrows, Enter, Escape, mnemonics) belongs to
    // the top-level dialog; its child dialogs are reached through
    // WS_EX_CONTROLPARENT.
    if (GetStyle() & WS_CHILD)
        return FALSE;
    if (message->message < WM_KEYFIRST || message->message > WM_KEYLAST)
        return FALSE;
    // The keys that move the focus make its cue show, as the system's dialog
    // manager does (not every system's does).
    if (message->message == WM_KEYDOWN) {
        switch (message->wParam) {
        case VK_TAB:
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN:
            SendMessage(WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS));
            break;
        }
    }
    return ::IsDialogMessageW(m_hWnd, message);
}

LRESULT CDialogEx::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_CHANGEUISTATE:
        // A change of the UI state goes up to the top-level window, which
        // hands it down to its whole tree as WM_UPDATEUISTATE. The system's
        // own handling runs as well; where it does nothing, this is all.
        if (GetStyle() & WS_CHILD) {
            if (HWND parent = GetParent())
                return ::SendMessageW(parent, message, wParam, lParam);
            break;
        }
        if (LOWORD(wParam) == UIS_SET || LOWORD(wParam) == UIS_CLEAR) {
            DefWindowProc(message, wParam, lParam);
            ::SendMessageW(m_hWnd, WM_UPDATEUISTATE, wParam, 0);
            ::EnumChildWindows(m_hWnd, SendUiState, static_cast<LPARAM>(wParam));
            return 0;
        }
        break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

BOOL CDialogEx::OnCommand(WPARAM wParam, LPARAM lParam)
{
    // Commands from buttons (BN_CLICKED), menus and accelerators; other
    // notifications of controls numbered 1 or 2 are not commands.
    if (HIWORD(wParam) > 1)
        return CWnd::OnCommand(wParam, lParam);
    switch (LOWORD(wParam)) {
    case IDOK:
        OnOK();
        return TRUE;
    case IDCANCEL:
        OnCancel();
        return TRUE;
    }
    return CWnd::OnCommand(wParam, lParam);
}

void CDialogEx::DoDataExchange() {}

bool CDialogEx::BindControl(int id, CWnd& control)
{
    return control.SubclassDlgItem(static_cast<UINT>(id), m_hWnd) != FALSE;
}

BOOL CDialogEx::OnInitDialog()
{
    DoDataExchange();
    return TRUE;
}

void CDialogEx::OnOK()
{
    EndDialog(IDOK);
}

void CDialogEx::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialogEx::ArrangeTabOrder(std::initializer_list<HWND> windows)
{
    HWND previous = nullptr;
    for (HWND window : windows) {
        if (!window)
            continue;
        if (previous)
            ::SetWindowPos(window, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        previous = window;
    }
}

void CDialogEx::FocusControl(HWND control) const
{
    if (!control || !::IsWindow(control))
        return;
    // The top-level dialog keeps the default-button look of its whole tree.
    HWND top = m_hWnd;
    while ((::GetWindowLongPtrW(top, GWL_STYLE) & WS_CHILD) && ::GetParent(top))
        top = ::GetParent(top);
    ::SendMessageW(top, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}
