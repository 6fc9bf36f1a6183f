#include "framework/CMFCButton.h"

#include <oleacc.h>

#include "framework/CAccessible.h"
#include "framework/CMFCVisualManager.h"
#include "platform/GdiHandles.h"

using Tavrin::Platform::PaintDc;
using Tavrin::Platform::SelectedObject;
using Tavrin::Platform::UniqueBitmap;
using Tavrin::Platform::UniqueCreatedDc;

CMFCButton::~CMFCButton()
{
    // The tooltip subclasses the button; it must let go before we do.
    m_toolTip.DestroyWindow();
}

void CMFCButton::PreSubclassWindow()
{
    CButton::PreSubclassWindow();
    RememberStyle();
}

void CMFCButton::RememberStyle()
{
    DWORD style = GetStyle();
    UINT type = style & BS_TYPEMASK;
    if (type == BS_OWNERDRAW)
        return;
    if (!m_styleRemembered) {
        m_styleRemembered = true;
        switch (type) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_3STATE:
        case BS_AUTO3STATE:
            m_kind = Kind::CheckBox;
            m_autoCheck = type == BS_AUTOCHECKBOX || type == BS_AUTO3STATE;
            m_threeState = type == BS_3STATE || type == BS_AUTO3STATE;
            break;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            m_kind = Kind::Radio;
            m_autoCheck = type == BS_AUTORADIOBUTTON;
            break;
        default:
            m_kind = Kind::Push;
            m_defaultButton = type == BS_DEFPUSHBUTTON;
            break;
        }
        // A dialog item may come checked from its creator; the window's own
        // state is still readable here because it is not subclassed yet.
        if (m_kind != Kind::Push && !IsBeingCreated())
            m_checked = static_cast<int>(::SendMessageW(m_hWnd, BM_GETCHECK, 0, 0));
    }
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>((style & ~BS_TYPEMASK) | BS_OWNERDRAW));
}

void CMFCButton::SetTooltip(const wchar_t* text)
{
    if (!m_hWnd)
        return;
    if (!m_toolTip.GetSafeHwnd()) {
        if (!m_toolTip.Create(this))
            return;
        m_toolTip.AddTool(m_hWnd, text ? text : L"", nullptr, 0, true);
        m_toolTip.Activate(TRUE);
        return;
    }
    m_toolTip.UpdateTipText(text ? text : L"", m_hWnd);
}

void CMFCButton::ResetTooltip() const
{
    if (!m_toolTip.GetSafeHwnd())
        return;
    m_toolTip.Activate(FALSE);
    m_toolTip.Activate(TRUE);
}

bool CMFCButton::GetAccessibleInfo(AccessibleInfo& info)
{
    info.name = StripMnemonics(GetWindowText());
    LONG state = STATE_SYSTEM_FOCUSABLE;
    if (::GetFocus() == m_hWnd)
        state |= STATE_SYSTEM_FOCUSED;
    if (!IsWindowEnabled())
        state |= STATE_SYSTEM_UNAVAILABLE;
    if (!IsWindowVisible())
        state |= STATE_SYSTEM_INVISIBLE;
    switch (m_kind) {
    case Kind::CheckBox:
        info.role = ROLE_SYSTEM_CHECKBUTTON;
        if (m_checked == BST_CHECKED)
            state |= STATE_SYSTEM_CHECKED;
        else if (m_checked == BST_INDETERMINATE)
            state |= STATE_SYSTEM_MIXED;
        info.defaultAction = m_checked == BST_CHECKED ? L"Uncheck" : L"Check";
        break;
    case Kind::Radio:
        info.role = ROLE_SYSTEM_RADIOBUTTON;
        if (m_checked == BST_CHECKED)
            state |= STATE_SYSTEM_CHECKED;
        info.defaultAction = L"Check";
        break;
    case Kind::Push:
        info.role = ROLE_SYSTEM_PUSHBUTTON;
        if (m_defaultButton)
            state |= STATE_SYSTEM_DEFAULT;
        if (DefWindowProc(BM_GETSTATE, 0, 0) & BST_PUSHED)
            state |= STATE_SYSTEM_PRESSED;
        info.defaultAction = L"Press";
        break;
    }
    info.state = state;
    return true;
}

bool CMFCButton::DoAccessibleDefaultAction()
{
    if (!IsWindowEnabled())
        return false;
    return PostMessage(BM_CLICK) != FALSE;
}

LRESULT CMFCButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: {
        LRESULT result = CButton::WindowProc(message, wParam, lParam);
        if (result != -1)
            RememberStyle();
        return result;
    }
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_ERASEBKGND:
        return TRUE;
    case BM_GETCHECK:
        return IsPushButton() ? BST_UNCHECKED : m_checked;
    case BM_SETCHECK:
        SetCheckState(wParam);
        return 0;
    case BM_GETSTATE: {
        LRESULT state = DefWindowProc(message, wParam, lParam) & ~static_cast<LRESULT>(3);
        return IsPushButton() ? state : (state | m_checked);
    }
    case BM_SETSTYLE: {
        // The dialog manager moves the default-button look with BM_SETSTYLE;
        // keep the window owner-drawn and remember the look instead.
        if (IsPushButton())
            m_defaultButton = (wParam & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
        LRESULT result =
            DefWindowProc(message, (wParam & ~static_cast<WPARAM>(BS_TYPEMASK)) | BS_OWNERDRAW, lParam);
        Invalidate(FALSE);
        return result;
    }
    case WM_GETDLGCODE:
        if (IsRadioButton())
            return DLGC_BUTTON | DLGC_RADIOBUTTON;
        if (IsCheckBox())
            return DLGC_BUTTON;
        return DLGC_BUTTON | (m_defaultButton ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
    case WM_MOUSEMOVE:
        UpdateHighlight(lParam);
        break;
    case WM_MOUSELEAVE:
        if (m_highlighted) {
            m_highlighted = false;
            Invalidate(FALSE);
        }
        break;
    // The button control paints these changes itself through WM_DRAWITEM,
    // which this class does not draw from; repaint through WM_PAINT instead.
    case BM_SETSTATE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
    case WM_SETTEXT:
    case WM_UPDATEUISTATE: {
        LRESULT result = CButton::WindowProc(message, wParam, lParam);
        Invalidate(FALSE);
        return result;
    }
    }
    return CButton::WindowProc(message, wParam, lParam);
}

BOOL CMFCButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED)
            OnClicked();
        // The parent still handles the click.
        return FALSE;
    case WM_DRAWITEM:
        // Everything is drawn in WM_PAINT.
        *result = TRUE;
        return TRUE;
    }
    return CButton::OnChildNotify(message, wParam, lParam, result);
}

void CMFCButton::UpdateHighlight(LPARAM point)
{
    POINT pt = {static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point))};
    RECT client = GetClientRect();
    bool inside = ::PtInRect(&client, pt) != FALSE;
    if (inside == m_highlighted)
        return;
    m_highlighted = inside;
    if (inside) {
        TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, m_hWnd, 0};
        ::TrackMouseEvent(&track);
    }
    Invalidate(FALSE);
}

void CMFCButton::SetCheckState(WPARAM check)
{
    if (IsPushButton())
        return;
    int maximum = (IsCheckBox() && m_threeState) ? BST_INDETERMINATE : BST_CHECKED;
    int value = check > static_cast<WPARAM>(maximum) ? maximum : static_cast<int>(check);
    if (value == m_checked)
        return;
    m_checked = value;
    Invalidate(FALSE);
}

void CMFCButton::OnClicked()
{
    if (!m_autoCheck)
        return;
    if (IsCheckBox()) {
        int next =
            m_threeState ? (m_checked + 1) % 3 : (m_checked == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
        SetCheckState(static_cast<WPARAM>(next));
    } else if (IsRadioButton()) {
        SetCheckState(BST_CHECKED);
        ClearGroupRadios();
    }
}

void CMFCButton::ClearGroupRadios()
{
    HWND parent = GetParent();
    if (!parent)
        return;
    // The group walk skips hidden and disabled items, so a clicked button
    // that is one of them may never come round again: bound the walk.
    HWND sibling = ::GetNextDlgGroupItem(parent, m_hWnd, FALSE);
    for (int guard = 0; sibling && sibling != m_hWnd && guard < 1000; ++guard) {
        if (::SendMessageW(sibling, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON)
            ::SendMessageW(sibling, BM_SETCHECK, BST_UNCHECKED, 0);
        sibling = ::GetNextDlgGroupItem(parent, sibling, FALSE);
    }
}

UINT CMFCButton::GetDrawState()
{
    UINT state = 0;
    auto buttonState = static_cast<UINT>(DefWindowProc(BM_GETSTATE, 0, 0));
    if (buttonState & BST_PUSHED)
        state |= ODS_SELECTED;
    if (::GetFocus() == m_hWnd)
        state |= ODS_FOCUS;
    if (!IsWindowEnabled())
        state |= ODS_DISABLED;
    if (m_checked == BST_CHECKED)
        state |= ODS_CHECKED;
    if (m_highlighted)
        state |= ODS_HOTLIGHT;
    if (!ShowsFocusCues())
        state |= ODS_NOFOCUSRECT;
    return state;
}

void CMFCButton::OnPaint()
{
    PaintDc paint(m_hWnd);
    RECT client = GetClientRect();
    int width = client.right - client.left;
    int height = client.bottom - client.top;
    if (width <= 0 || height <= 0)
        return;
    UniqueCreatedDc buffer(::CreateCompatibleDC(paint.Get()));
    UniqueBitmap bitmap(::CreateCompatibleBitmap(paint.Get(), width, height));
    if (!buffer || !bitmap) {
        DrawButton(paint.Get(), client);
        return;
    }
    SelectedObject selected(buffer.Get(), bitmap.Get());
    DrawButton(buffer.Get(), client);
    ::BitBlt(paint.Get(), 0, 0, width, height, buffer.Get(), 0, 0, SRCCOPY);
}

void CMFCButton::DrawButton(HDC dc, const RECT& client)
{
    UINT state = GetDrawState();
    SelectedObject font(dc, GetFont());
    int oldMode = ::SetBkMode(dc, TRANSPARENT);
    OnFillBackground(dc, client);
    RECT content = client;
    OnDrawBorder(dc, content, state);
    OnDraw(dc, content, state);
    ::SetBkMode(dc, oldMode);
}

void CMFCButton::OnFillBackground(HDC dc, const RECT& client)
{
    ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
}

void CMFCButton::OnDrawBorder(HDC dc, RECT& client, UINT state)
{
    if (!IsPushButton())
        return;
    bool pressed = (state & ODS_SELECTED) != 0;
    bool enabled = (state & ODS_DISABLED) == 0;
    if (!CMFCVisualManager::GetInstance()->DrawPushButton(m_hWnd, dc, client, (state & ODS_HOTLIGHT) != 0,
                                                          pressed, enabled, m_defaultButton)) {
        RECT frame = client;
        if (m_defaultButton) {
            ::FrameRect(dc, &frame, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
            ::InflateRect(&frame, -1, -1);
        }
        ::DrawFrameControl(dc, &frame, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
    }
    ::InflateRect(&client, -3, -3);
}

void CMFCButton::OnDraw(HDC dc, const RECT& rect, UINT state)
{
    std::wstring text = GetWindowText();
    bool enabled = (state & ODS_DISABLED) == 0;
    bool pressed = (state & ODS_SELECTED) != 0;
    bool highlighted = (state & ODS_HOTLIGHT) != 0;
    RECT textRect = rect;
    UINT format = DT_SINGLELINE | DT_VCENTER;
    if (IsPushButton()) {
        format |= DT_CENTER;
        if (pressed)
            ::OffsetRect(&textRect, 1, 1);
    } else {
        int cx = ::GetSystemMetrics(SM_CXMENUCHECK);
        int cy = ::GetSystemMetrics(SM_CYMENUCHECK);
        RECT glyph = {rect.left, 0, rect.left + cx, 0};
        glyph.top = rect.top + (rect.bottom - rect.top) / 2 - cy / 2;
        glyph.bottom = glyph.top + cy;
        CMFCVisualManager* manager = CMFCVisualManager::GetInstance();
        bool drawn = IsCheckBox()
                         ? manager->DrawCheckBox(m_hWnd, dc, glyph, highlighted, m_checked, enabled, pressed)
                         : manager->DrawRadioButton(m_hWnd, dc, glyph, highlighted, m_checked == BST_CHECKED,
                                                    enabled, pressed);
        if (!drawn) {
            UINT frame = IsCheckBox() ? DFCS_BUTTONCHECK : DFCS_BUTTONRADIO;
            if (m_checked != BST_UNCHECKED)
                frame |= DFCS_CHECKED;
            if (!enabled)
                frame |= DFCS_INACTIVE;
            if (pressed)
                frame |= DFCS_PUSHED;
            ::DrawFrameControl(dc, &glyph, DFC_BUTTON, frame);
        }
        textRect.left = glyph.right + 4;
    }
    ::SetTextColor(dc, ::GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect, format);
    if ((state & ODS_FOCUS) && !(state & ODS_NOFOCUSRECT)) {
        RECT focus = textRect;
        if (!IsPushButton()) {
            ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &focus, format | DT_CALCRECT);
            int height = focus.bottom - focus.top;
            focus.top = textRect.top + (textRect.bottom - textRect.top - height) / 2;
            focus.bottom = focus.top + height;
            ::InflateRect(&focus, 1, 1);
        }
        ::DrawFocusRect(dc, &focus);
    }
}
