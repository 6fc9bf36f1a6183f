#pragma once
#include "framework/CButton.h"
#include "framework/CToolTipCtrl.h"

// An owner-drawn button that still behaves as the push button, check box or
// radio button its window style asked for.
//
// When the object is attached, the style's button type is remembered and
// replaced by BS_OWNERDRAW. The button then answers BM_GETCHECK,
// BM_SETCHECK and BM_GETSTATE itself (BST_CHECKED is 1), toggles auto check
// boxes (two or three states) and auto radio buttons when clicked (a radio
// button clears the other radio buttons of its group), and reports
// DLGC_RADIOBUTTON for radio buttons so that the dialog manager's arrow
// keys keep working. Auto-toggling happens in the reflected BN_CLICKED, so
// it needs a parent that is a CWnd, and it happens before the parent sees
// the click: the parent reads the new state with BM_GETCHECK.
//
// Painting is double-buffered; the steps a derived class may replace run
// in this order onto the buffer: OnFillBackground, OnDrawBorder (which may
// shrink the rectangle), OnDraw. `state` is a combination of the ODS_*
// flags: ODS_SELECTED (pressed), ODS_FOCUS, ODS_DISABLED, ODS_CHECKED,
// ODS_HOTLIGHT (pointer over the button) and ODS_NOFOCUSRECT.
class CMFCButton : public CButton {
public:
    CMFCButton() = default;
    ~CMFCButton() override;

    bool IsPushButton() const { return m_kind == Kind::Push; }
    bool IsCheckBox() const { return m_kind == Kind::CheckBox; }
    bool IsRadioButton() const { return m_kind == Kind::Radio; }
    bool IsAutoCheck() const { return m_autoCheck; }
    bool IsDefaultButton() const { return m_defaultButton; }
    bool IsHighlighted() const { return m_highlighted; }
    // BST_UNCHECKED, BST_CHECKED or BST_INDETERMINATE.
    int GetCheckState() const { return m_checked; }

    // A tip shown when the pointer rests on the button.
    void SetTooltip(const wchar_t* text);
    CToolTipCtrl& GetToolTipCtrl() { return m_toolTip; }
    // Hides a shown tip: deactivates and reactivates the tooltip.
    void ResetTooltip() const;

    // Owner drawing hides the button's kind from the system; the button
    // tells accessibility clients itself: its text, push button, check box
    // or radio button, its checked, pressed and default states. The default
    // action is a click (BM_CLICK, posted so that a client never waits on
    // what the click opens).
    bool GetAccessibleInfo(AccessibleInfo& info) override;
    bool DoAccessibleDefaultAction() override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void PreSubclassWindow() override;

    virtual void OnFillBackground(HDC dc, const RECT& client);
    virtual void OnDrawBorder(HDC dc, RECT& client, UINT state);
    virtual void OnDraw(HDC dc, const RECT& rect, UINT state);

    // The ODS_* flags of the button as it is now.
    UINT GetDrawState();
    // Runs the three drawing steps onto `dc` (the button's client area).
    void DrawButton(HDC dc, const RECT& client);

private:
    enum class Kind { Push, CheckBox, Radio };

    void OnPaint();
    void RememberStyle();
    void SetCheckState(WPARAM check);
    void OnClicked();
    void ClearGroupRadios();
    void UpdateHighlight(LPARAM point);

    Kind m_kind = Kind::Push;
    bool m_autoCheck = false;
    bool m_threeState = false;
    bool m_defaultButton = false;
    bool m_styleRemembered = false;
    int m_checked = BST_UNCHECKED;
    bool m_highlighted = false;
    CToolTipCtrl m_toolTip;
};
