#include "ui/controls/CButtonHeader.h"

#include <oleacc.h>

#include "res/resource.h"
#include "ui/controls/PageDrawing.h"

const wchar_t CButtonHeader::kClosedImage[] = L"images/windows/tab-closed.png";
const wchar_t CButtonHeader::kOpenedImage[] = L"images/windows/tab-opened.png";

CButtonHeader::CButtonHeader(IHeaderParent* headerParent)
    : CBaseWnd(IDD_BUTTON_HEADER), m_headerParent(headerParent)
{
}

BOOL CButtonHeader::Create(CWnd* parent)
{
    return CDialogEx::Create(IDD_BUTTON_HEADER, parent);
}

void CButtonHeader::DoDataExchange()
{
    CBaseWnd::DoDataExchange();
    BindControl(IDC_HEADER_TITLE, m_title);
    BindControl(IDOK, m_button);
}

BOOL CButtonHeader::OnInitDialog()
{
    CBaseWnd::OnInitDialog();
    // The bar's colour is fixed, so the title's colour is too.
    m_title.SetTextColor(kTitleColor);
    m_title.SetFont(CreateMessageFont(FontSpec::Regular(kTitlePoints), GetDpi()));
    SetButtonImage(kClosedImage);
    m_button.SizeToImage();
    PlaceButton();
    return TRUE;
}

void CButtonHeader::OnDpiChanged()
{
    m_title.SetFont(CreateMessageFont(FontSpec::Regular(kTitlePoints), GetDpi()));
    m_button.SizeToImage();
    PlaceButton();
}

void CButtonHeader::SetTitle(const std::wstring& title)
{
    m_title.SetText(title);
    // The open/close button is what the keyboard reaches; screen readers
    // read its text.
    m_button.SetWindowText(title);
}

bool CButtonHeader::GetAccessibleInfo(AccessibleInfo& info)
{
    info.name = m_title.GetText();
    info.role = ROLE_SYSTEM_PUSHBUTTON;
    info.state = m_opened ? STATE_SYSTEM_EXPANDED : STATE_SYSTEM_COLLAPSED;
    if (!IsWindowVisible())
        info.state |= STATE_SYSTEM_INVISIBLE;
    info.defaultAction = m_opened ? L"Collapse" : L"Expand";
    return true;
}

bool CButtonHeader::DoAccessibleDefaultAction()
{
    // Posted, so that the client does not wait for the page's re-layout.
    return ::PostMessageW(m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0) != FALSE;
}

void CButtonHeader::SetButtonImage(const wchar_t* path)
{
    m_button.SetImages(path, path, path, L"");
}

void CButtonHeader::Toggle()
{
    SetButtonImage(m_opened ? kClosedImage : kOpenedImage);
    m_opened = !m_opened;
    if (m_headerParent)
        m_headerParent->OnHeaderToggled(this);
}

void CButtonHeader::PlaceButton()
{
    if (!m_button.GetSafeHwnd())
        return;
    RECT client = GetClientRect();
    RECT button = m_button.GetClientRect();
    int left = client.right - button.right - Scaled(kButtonMargin);
    int top = (client.bottom - button.bottom) / 2;
    m_button.SetWindowPos(nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_button.Invalidate();
}

BOOL CButtonHeader::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) == IDOK && HIWORD(wParam) == BN_CLICKED) {
        Toggle();
        return TRUE;
    }
    return CBaseWnd::OnCommand(wParam, lParam);
}

LRESULT CButtonHeader::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE: {
        LRESULT result = CBaseWnd::WindowProc(message, wParam, lParam);
        PlaceButton();
        return result;
    }
    case WM_LBUTTONUP:
        Toggle();
        return 0;
    }
    return CBaseWnd::WindowProc(message, wParam, lParam);
}

void CButtonHeader::DrawContent(Gdiplus::Graphics& graphics)
{
    graphics.Clear(Gdiplus::Color(PageColors::kBlue));
}
