#pragma once
#include <string>

#include "ui/controls/CBaseWnd.h"
#include "ui/controls/CThemeButton.h"
#include "ui/controls/CThemeLabel.h"
#include "ui/controls/IHeaderParent.h"
#include "ui/controls/PageDrawing.h"

// The blue bar above a collapsible section: a title and an open/close image
// button at its right end. A click on the button or anywhere on the bar
// toggles IsOpened() and tells the header's owner, which shows or hides the
// section. Created by the owner as a child dialog from template 139.
class CButtonHeader : public CBaseWnd {
public:
    // The owner is not owned.
    explicit CButtonHeader(IHeaderParent* headerParent);

    BOOL Create(CWnd* parent);
    // Replaces the title's text.
    void SetTitle(const std::wstring& title);
    // Opens a closed header and closes an open one, then tells the owner.
    void Toggle();

    // To accessibility clients the bar is a button named by its title that
    // reports whether its section is expanded; its default action toggles.
    bool GetAccessibleInfo(AccessibleInfo& info) override;
    bool DoAccessibleDefaultAction() override;

    CThemeLabel& GetTitle() { return m_title; }
    CThemeButton& GetButton() { return m_button; }

    // False (closed) at first; a click or the default action toggles it.
    bool IsOpened() const { return m_opened; }

    static constexpr Gdiplus::ARGB kTitleColor = PageColors::kBlackText;
    static constexpr int kTitlePoints = 12;
    static constexpr int kButtonMargin = 10;
    static const wchar_t kClosedImage[];
    static const wchar_t kOpenedImage[];

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    void OnDpiChanged() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnOK() override {}
    void OnCancel() override {}
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DrawContent(Gdiplus::Graphics& graphics) override;

private:
    bool m_opened = false;
    void SetButtonImage(const wchar_t* path);
    void PlaceButton();

    CThemeLabel m_title;
    CThemeButton m_button;
    IHeaderParent* m_headerParent;
};
