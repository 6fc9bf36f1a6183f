#pragma once
#include "framework/CMFCButton.h"
#include "ui/controls/PageDrawing.h"
#include "ui/skin/Skin.h"

// A push button, check box or radio button (by its window style) drawn over
// its parent's back buffer. Check boxes and radio buttons draw their glyph
// through the visual manager when it has a theme, and with the skin's
// "general/checkbox/..." or "general/radio/..." colours otherwise; their
// text uses the message font at the button's point size. Checking is the
// framework button's (BM_GETCHECK, BM_SETCHECK, auto-toggling).
class CTransButton : public CMFCButton {
public:
    int GetFontSize() const { return m_fontSize; }
    void SetFontSize(int points) { m_fontSize = points; }
    bool IsBold() const { return m_bold; }
    void SetBold(bool bold) { m_bold = bold; }
    Gdiplus::ARGB GetTextColor() const { return m_textColor; }
    // Pages set the skin's "general/checkbox/text" here.
    void SetTextColor(Gdiplus::ARGB color) { m_textColor = color; }
    // The colour the text is drawn in now (the disabled colour while disabled).
    Gdiplus::ARGB GetCurrentTextColor() const;
    // The last paint could not show the whole text (which the tooltip shows).
    bool IsTextCut() const { return m_textCut; }

protected:
    void OnFillBackground(HDC dc, const RECT& client) override;
    void OnDrawBorder(HDC dc, RECT& client, UINT state) override;
    void OnDraw(HDC dc, const RECT& rect, UINT state) override;

private:
    void DrawSkinGlyph(HDC dc, const RECT& glyph) const;

    int m_fontSize = 8;
    bool m_bold = false;
    Gdiplus::ARGB m_textColor = PageColors::kBlackText;
    bool m_textCut = false;
};
