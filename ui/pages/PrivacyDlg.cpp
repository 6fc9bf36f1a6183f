#include "ui/pages/PrivacyDlg.h"

#include "res/resource.h"

const SettingsPageLayout CPrivacyDlg::kLayout = {
    IDD_PRIVACY,
    L"images/headers/privacy-title.PNG",
    {
        {IDC_PRIVACY_HANDWRITING, "privacy.handwriting-sharing"},
        {IDC_PRIVACY_INVENTORY, "privacy.inventory-collector"},
        {IDC_PRIVACY_LOGON_CAMERA, "privacy.lock-screen-camera"},
        {IDC_PRIVACY_ADVERTISING_ID, "privacy.advertising-id"},
        {IDC_PRIVACY_ACCOUNT_INFO, "privacy.account-info"},
        {IDC_PRIVACY_TYPING, "privacy.typing-info"},
        {IDC_PRIVACY_NOTIFICATIONS, "privacy.app-notifications"},
        {IDC_PRIVACY_CALENDAR, "privacy.calendar"},
        {IDC_PRIVACY_CAMERA, "privacy.camera"},
        {IDC_PRIVACY_MICROPHONE, "privacy.microphone"},
        {IDC_PRIVACY_MESSAGES, "privacy.messages"},
        {IDC_PRIVACY_BIOMETRICS, "privacy.biometrics"},
        {IDC_PRIVACY_BROWSER_LANGUAGE, "privacy.browser-language"},
        {IDC_PRIVACY_SMARTSCREEN, "privacy.smartscreen"},
        {IDC_PRIVACY_CORTANA, "privacy.cortana"},
        {IDC_PRIVACY_PERSONALIZATION, "privacy.input-personalization"},
        {IDC_PRIVACY_FEEDBACK, "privacy.feedback-reminders"},
        {IDC_PRIVACY_BING_SEARCH, "privacy.bing-search"},
        {IDC_PRIVACY_ONEDRIVE, "privacy.onedrive"},
    },
    {IDC_PRIVACY_HANDWRITING_TEXT, IDC_PRIVACY_INVENTORY_TEXT, IDC_PRIVACY_LOGON_CAMERA_TEXT,
     IDC_PRIVACY_ADVERTISING_ID_TEXT, IDC_PRIVACY_ACCOUNT_INFO_TEXT, IDC_PRIVACY_TYPING_TEXT,
     IDC_PRIVACY_NOTIFICATIONS_TEXT, IDC_PRIVACY_CALENDAR_TEXT, IDC_PRIVACY_CAMERA_TEXT,
     IDC_PRIVACY_MICROPHONE_TEXT, IDC_PRIVACY_MESSAGES_TEXT, IDC_PRIVACY_BIOMETRICS_TEXT,
     IDC_PRIVACY_BROWSER_LANGUAGE_TEXT, IDC_PRIVACY_SMARTSCREEN_TEXT, IDC_PRIVACY_CORTANA_TEXT,
     IDC_PRIVACY_PERSONALIZATION_TEXT, IDC_PRIVACY_FEEDBACK_TEXT, IDC_PRIVACY_BING_SEARCH_TEXT,
     IDC_PRIVACY_ONEDRIVE_TEXT},
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
