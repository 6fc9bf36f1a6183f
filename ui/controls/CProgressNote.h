#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "platform/GdiHandles.h"
#include "ui/controls/CTransparentChild.h"
#include "ui/skin/Skin.h"

// A small note laid over a page while something runs that the page waits
// for: a message, a bar that keeps moving while it lasts, and one button.
// Drawn like the skin's labels (the skin's text colour on white, inside a
// rounded border of "general/label/border_color"); the bar moves in the
// border's colour. The button's click reaches the note's parent as the
// button's WM_COMMAND.
class CProgressNote : public CTransparentChild {
public:
    CProgressNote();
    ~CProgressNote() override;

    // The size of the note, in 96-DPI design pixels.
    static constexpr int kWidth = 270;
    static constexpr int kHeight = 114;

    // Creates the note, hidden, as a child of `parent`. The message is also
    // the window's text, which accessibility tools read.
    bool Create(HWND parent, int noteId, int buttonId, const std::wstring& message,
                const std::wstring& buttonText);
    // Lays the note out for `dpi` with its top-right corner at `topRight`
    // (the parent's client coordinates), above its siblings, and shows it.
    void ShowAt(POINT topRight, UINT dpi);
    void Hide();

    const std::wstring& GetMessage() const { return m_message; }
    HWND GetButton() const { return m_button; }
    // How far the bar has moved; it moves only while the note is shown.
    int GetBarStep() const { return m_barStep; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    int Scaled(int designPixels) const;
    void Draw(HDC dc, const RECT& client) override;

    std::wstring m_message;
    HWND m_button = nullptr; // a child of the note, which it goes with
    std::unique_ptr<Gdiplus::Font> m_font;
    UINT m_dpi = 96;
    int m_barStep = 0;
};
