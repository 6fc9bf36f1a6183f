#pragma once
#include <memory>
#include <string>

#include "framework/CToolTipCtrl.h"
#include "ui/controls/CTransparentChild.h"
#include "ui/controls/PageDrawing.h"
#include "ui/skin/Skin.h"

// A static text drawn with GDI+ over its parent's back buffer (see
// CTransparentParent), optionally inside a rounded border.
//
// A text its box cannot hold ends with an ellipsis (or, with trimming
// StringTrimmingNone, is cut at its last whole line), and the whole text
// shows in a tooltip while the pointer rests on the label.
//
// The label draws its own text field, taken from the window when the label
// is bound to a dialog item (or from the creation text). Setting the
// window's text afterwards does not change what it draws: use SetText.
class CThemeLabel : public CTransparentChild {
public:
    CThemeLabel();
    ~CThemeLabel() override;

    // Replaces the drawn text and repaints.
    void SetText(const std::wstring& text);
    const std::wstring& GetText() const { return m_text; }

    // Takes ownership of `font` (usually from CreateMessageFont) and deletes
    // the previous one. Null: the system message font at the next paint.
    void SetFont(Gdiplus::Font* font);
    using CWnd::SetFont;
    Gdiplus::Font* GetLabelFont() const { return m_font.get(); }

    void SetTextColor(Gdiplus::ARGB color) { m_textColor = color; }
    Gdiplus::ARGB GetTextColor() const { return m_textColor; }
    void SetBorderColor(Gdiplus::ARGB color) { m_borderColor = color; }
    Gdiplus::ARGB GetBorderColor() const { return m_borderColor; }
    Gdiplus::ARGB GetBackgroundColor() const { return m_backgroundColor; }
    // Pixels; 0 draws no border.
    void SetBorderWidth(Gdiplus::REAL width) { m_borderWidth = width; }
    Gdiplus::REAL GetBorderWidth() const { return m_borderWidth; }
    void SetTrimming(Gdiplus::StringTrimming trimming) { m_trimming = trimming; }
    Gdiplus::StringTrimming GetTrimming() const { return m_trimming; }
    void SetAlignment(Gdiplus::StringAlignment alignment) { m_alignment = alignment; }
    Gdiplus::StringAlignment GetAlignment() const { return m_alignment; }
    void SetLineAlignment(Gdiplus::StringAlignment alignment) { m_lineAlignment = alignment; }
    Gdiplus::StringAlignment GetLineAlignment() const { return m_lineAlignment; }

    // What the last paint drew and whether that was less than the text.
    const std::wstring& GetShownText() const { return m_shownText; }
    bool IsTextCut() const { return m_cut; }
    const CToolTipCtrl& GetToolTip() const { return m_toolTip; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void PreSubclassWindow() override;

private:
    void Draw(HDC dc, const RECT& client) override;
    void ShowWholeTextInToolTip(bool cut);

    std::wstring m_text;
    Gdiplus::ARGB m_textColor = PageColors::kBlackText;
    Gdiplus::ARGB m_borderColor = 0xFF000000;
    Gdiplus::ARGB m_backgroundColor = 0xFF000000;
    std::unique_ptr<Gdiplus::Font> m_font;
    Gdiplus::REAL m_borderWidth = 0;
    Gdiplus::StringTrimming m_trimming = Gdiplus::StringTrimmingEllipsisCharacter;
    Gdiplus::StringAlignment m_alignment = Gdiplus::StringAlignmentNear;
    Gdiplus::StringAlignment m_lineAlignment = Gdiplus::StringAlignmentNear;
    std::wstring m_shownText;
    bool m_cut = false;
    CToolTipCtrl m_toolTip;
};
