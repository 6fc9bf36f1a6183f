#include "ui/pages/PrivacyDlg.h"

#include "res/resource.h"

const SettingsPageLayout CPrivacyDlg::kLayout = {
    IDD_PRIVACY,
    L"images/headers/privacy-title.PNG",
    {1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1012, 1013, 1014, 1015, 1016, 1017,
     1018, 1019},
    {1050, 1052, 1051, 1053, 1054, 1055, 1056, 1057, 1058, 1059, 1060, 1061, 1062, 1063, 1064, 1065, 1066,
     1067, 1068},
    IDC_PRIVACY_INTRO,
    true,
};

CPrivacyDlg::CPrivacyDlg() : CSettingsPage(kLayout) {}

BOOL CPrivacyDlg::OnInitDialog()
{
    CSettingsPage::OnInitDialog();
    // Set up once: the page is sized by its host later, and what the window
    // shows at its template size is what the scroll bar measures.
    m_scrollHelper.AttachWnd(this);
    SetContentSize();
    return TRUE;
}

void CPrivacyDlg::OnDpiChanged()
{
    CSettingsPage::OnDpiChanged();
    SetContentSize();
}

void CPrivacyDlg::SetContentSize()
{
    m_contentHeight = Scaled(kContentHeight);
    m_scrollHelper.SetDisplaySize(Scaled(kContentWidth), m_contentHeight);
    if (m_hWnd)
        m_scrollHelper.UpdateScrollInfo();
}

LRESULT CPrivacyDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_scrollHelper.GetAttachedWnd()) {
        switch (message) {
        case WM_VSCROLL:
            m_scrollHelper.OnVScroll(LOWORD(wParam), reinterpret_cast<HWND>(lParam));
            return 0;
        case WM_HSCROLL:
            m_scrollHelper.OnHScroll(LOWORD(wParam), reinterpret_cast<HWND>(lParam));
            return 0;
        case WM_MOUSEWHEEL:
            return m_scrollHelper.OnMouseWheel(GET_WHEEL_DELTA_WPARAM(wParam)) ? TRUE : FALSE;
        }
    }
    return CSettingsPage::WindowProc(message, wParam, lParam);
}

void CPrivacyDlg::DrawContent(Gdiplus::Graphics& graphics)
{
    const int scroll = m_scrollHelper.GetScrollPos().cy;
    const RECT client = GetClientRect();
    const int height = client.bottom - client.top;
    // While the content is taller than the window the panel runs on to the
    // content's end.
    const int extension = scroll != 0 || height < m_contentHeight ? m_contentHeight - height - scroll : 0;
    DrawPageBackground(graphics, scroll, extension);
}
