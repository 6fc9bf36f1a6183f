#include "framework/CToolTipCtrl.h"

BOOL CToolTipCtrl::Create(CWnd* parent, DWORD style)
{
    RECT none = {CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT};
    none.right = none.left;
    none.bottom = none.top;
    if (!CreateEx(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | style, none,
                  parent ? parent->GetSafeHwnd() : nullptr, 0))
        return FALSE;
    // WS_EX_TOPMOST already puts it above other windows: a further move
    // would only cost the window manager's round trips.
    return TRUE;
}

TTTOOLINFOW CToolTipCtrl::ToolInfo(HWND tool, UINT_PTR id)
{
    TTTOOLINFOW info = {};
    // The size without the reserved field, understood by every common-controls version.
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    if (id) {
        info.hwnd = tool;
        info.uId = id;
    } else {
        HWND parent = ::GetParent(tool);
        info.hwnd = parent ? parent : tool;
        info.uFlags = TTF_IDISHWND;
        info.uId = reinterpret_cast<UINT_PTR>(tool);
    }
    return info;
}

BOOL CToolTipCtrl::AddTool(HWND tool, const wchar_t* text, const RECT* rect, UINT_PTR id, bool subclass) const
{
    TTTOOLINFOW info = ToolInfo(tool, id);
    if (id && rect)
        info.rect = *rect;
    else if (id)
        ::GetClientRect(tool, &info.rect);
    if (subclass)
        info.uFlags |= TTF_SUBCLASS;
    info.lpszText = const_cast<wchar_t*>(text ? text : LPSTR_TEXTCALLBACKW);
    return static_cast<BOOL>(SendMessage(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info)));
}

void CToolTipCtrl::DelTool(HWND tool, UINT_PTR id) const
{
    TTTOOLINFOW info = ToolInfo(tool, id);
    SendMessage(TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void CToolTipCtrl::UpdateTipText(const wchar_t* text, HWND tool, UINT_PTR id) const
{
    TTTOOLINFOW info = ToolInfo(tool, id);
    info.lpszText = const_cast<wchar_t*>(text);
    SendMessage(TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

void CToolTipCtrl::RelayEvent(const MSG* message) const
{
    if (m_hWnd)
        SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(message));
}
