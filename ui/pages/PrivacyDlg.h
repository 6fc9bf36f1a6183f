#pragma once
#include "core/settings/Privacy.h"
#include "ui/controls/CScrollHelper.h"
#include "ui/pages/SettingsPage.h"

extern template class CSettingsPage<Tavrin::Core::CPrivacy>;

// The Privacy section. Its boxes reach below the page's window, so the page
// scrolls: scroll bars and the mouse wheel move the whole content, which is
// 800 x 950 pixels.
class CPrivacyDlg : public CSettingsPage<Tavrin::Core::CPrivacy> {
public:
    CPrivacyDlg();

    const CScrollHelper& GetScrollHelper() const { return m_scrollHelper; }
    int GetContentHeight() const { return m_contentHeight; }

    static const SettingsPageLayout kLayout;
    static constexpr int kContentWidth = 800;
    static constexpr int kContentHeight = 950;

protected:
    BOOL OnInitDialog() override;
    void OnDpiChanged() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DrawContent(Gdiplus::Graphics& graphics) override;

private:
    void SetContentSize();

    CScrollHelper m_scrollHelper;
    int m_contentHeight = 0;
};
