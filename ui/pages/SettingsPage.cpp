#include "ui/pages/SettingsPage.h"

#include "core/settings/Location.h"
#include "core/settings/Privacy.h"
#include "core/settings/RestorePoint.h"
#include "core/settings/Security.h"
#include "core/settings/ThemeSettings.h"
#include "framework/CWinApp.h"
#include "ui/controls/PageDrawing.h"
#include "ui/pages/PageMessages.h"

template <typename Model>
CSettingsPage<Model>::CSettingsPage(const SettingsPageLayout& layout)
    : CBaseWnd(layout.templateId), m_layout(layout), m_boxes(layout.boxIds.size()),
      m_labels(layout.textIds.size() + (layout.introductionId ? 1 : 0))
{
    const Gdiplus::ARGB textColor = theSkin.GetColor(L"general/checkbox/text");
    for (CTransButton& box : m_boxes)
        box.SetTextColor(textColor);
}

template <typename Model> void CSettingsPage<Model>::DoDataExchange()
{
    for (size_t i = 0; i < m_boxes.size(); ++i)
        BindControl(m_layout.boxIds[i], m_boxes[i]);
    for (size_t i = 0; i < m_layout.textIds.size(); ++i)
        BindControl(m_layout.textIds[i], m_labels[i]);
    if (m_layout.introductionId)
        BindControl(m_layout.introductionId, m_labels.back());
}

template <typename Model> BOOL CSettingsPage<Model>::OnInitDialog()
{
    CBaseWnd::OnInitDialog();
    m_header.SetPath(m_layout.headerImage);
    ShowRegistryState();
    // Tab goes through the boxes first, then "Reset to Windows Defaults" and
    // "Done", which the templates list first.
    for (int id : {IDCANCEL, IDOK})
        if (HWND button = GetDlgItem(id))
            ::SetWindowPos(button, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetUpFonts();
    return TRUE;
}

template <typename Model> void CSettingsPage<Model>::SetUpFonts()
{
    for (size_t i = 0; i < m_labels.size(); ++i) {
        const bool introduction = m_layout.introductionId && i + 1 == m_labels.size();
        m_labels[i].SetFont(CreateMessageFont(FontSpec::Regular(8).Italic(!introduction), GetDpi()));
    }
}

template <typename Model> void CSettingsPage<Model>::ShowRegistryState()
{
    for (size_t i = 0; i < m_boxes.size(); ++i) {
        // A bound box without a row (the theme page's hidden accent box) has
        // no registry state to show.
        if (const auto* row = Tavrin::Core::FindRow<Model>(m_layout.boxIds[i])) {
            m_boxes[i].SetCheck(Tavrin::Core::IsTicked(m_model, *row) ? BST_CHECKED : BST_UNCHECKED);
            // A tick that could write nothing must not look as if it worked.
            m_boxes[i].EnableWindow(Tavrin::Core::IsAvailable(m_model, *row));
        }
    }
}

template <typename Model> BOOL CSettingsPage<Model>::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (HIWORD(wParam) != BN_CLICKED)
        return CBaseWnd::OnCommand(wParam, lParam);
    switch (LOWORD(wParam)) {
    case IDOK:
        ::SendMessageW(GetParent(), WM_PAGE_DONE, 0, 0);
        return TRUE;
    case IDCANCEL:
        OnReset();
        return TRUE;
    }
    OnBoxClicked(LOWORD(wParam));
    return TRUE;
}

template <typename Model> LRESULT CSettingsPage<Model>::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        // Template controls that the page leaves to the system (the theme
        // page's logon-background box and its text) sit on the white panel,
        // not on the dialog's grey.
        if (!CWnd::FromHandlePermanent(reinterpret_cast<HWND>(lParam))) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            ::SetBkColor(dc, RGB(0xFF, 0xFF, 0xFF));
            ::SetTextColor(dc, ToColorRef(theSkin.GetColor(L"general/checkbox/text")));
            return reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
        }
        break;
    }
    return CBaseWnd::WindowProc(message, wParam, lParam);
}

template <typename Model> void CSettingsPage<Model>::OnBoxClicked(int controlId)
{
    const auto* row = Tavrin::Core::FindRow<Model>(controlId);
    if (!row)
        return;
    const bool ticked = ::IsDlgButtonChecked(m_hWnd, controlId) == BST_CHECKED;
    Tavrin::Core::RunRestorePoint::Instance().BeforeChange();
    Tavrin::Core::Apply(m_model, *row, ticked);
    if (row->asksRestart && m_restartRequired)
        *m_restartRequired = true;
}

template <typename Model> void CSettingsPage<Model>::ClearBoxes()
{
    for (CTransButton& box : m_boxes)
        box.SetCheck(BST_UNCHECKED);
}

template <typename Model> void CSettingsPage<Model>::OnReset()
{
    if (m_layout.clearBoxesBeforeReset)
        ClearBoxes();
    Tavrin::Core::RunRestorePoint::Instance().BeforeChange();
    Tavrin::Core::Reset(m_model);
    if (!m_layout.clearBoxesBeforeReset)
        ClearBoxes();
}

template <typename Model> void CSettingsPage<Model>::DrawContent(Gdiplus::Graphics& graphics)
{
    DrawPageBackground(graphics, 0, 0);
}

template <typename Model>
void CSettingsPage<Model>::DrawPageBackground(Gdiplus::Graphics& graphics, int scroll, int panelExtension)
{
    const RECT client = GetClientRect();
    const RECT area{0, -scroll, client.right - client.left, client.bottom - client.top + panelExtension};
    DrawHeaderAndWhitePanel(graphics, m_header.Get(), area, PageColors::kBlue, GetDpi(),
                            {Scaled(20), std::nullopt});
}

template class CSettingsPage<Tavrin::Core::CPrivacy>;
template class CSettingsPage<Tavrin::Core::CSecurity>;
template class CSettingsPage<Tavrin::Core::CLocation>;
template class CSettingsPage<Tavrin::Core::CThemeSettings>;
