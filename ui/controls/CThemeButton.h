#pragma once
#include <memory>
#include <string>

#include "framework/CMFCButton.h"
#include "ui/skin/LazyImage.h"
#include "ui/skin/Skin.h"

// A button drawn from images only (normal, hover, pressed, disabled) over
// its parent's back buffer. It tracks the pointer by holding the mouse
// capture while the pointer is over it, and reports a click by posting
// WM_COMMAND (identifier, code 0, no control handle) to its parent after
// the button is released over it, or when it receives BM_CLICK (the
// keyboard's and the accessibility tools' way to press it).
class CThemeButton : public CMFCButton {
public:
    enum VisualState { Normal = 0, Hover = 1, Pressed = 2 };

    CThemeButton() = default;
    ~CThemeButton() override;

    // The four images relative to the program's folder; an empty or
    // unloadable path leaves that image empty. The normal image, which sizes
    // the button, is read at once, the others when first drawn.
    void SetImages(const std::wstring& normal, const std::wstring& hover, const std::wstring& pressed,
                   const std::wstring& disabled);
    // Sizes the window to the normal image at the window's DPI; position
    // and z-order stay.
    void SizeToImage();
    // The normal image's size at the window's DPI; empty without an image.
    SIZE GetImageSize() const;

    int GetVisualState() const { return m_state; }
    bool IsTracking() const { return m_tracking; }
    Gdiplus::Image* GetNormalImage() const { return m_normal.get(); }

    // How far inside the image the keyboard focus cue is drawn.
    static constexpr int kFocusInset = 2;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnPaint();
    void OnMouseMove(LPARAM point);
    void OnLButtonDown();
    void OnLButtonUp();
    void StopTracking();
    void PostClick() const;
    Gdiplus::Image* ChooseImage() const;

    std::unique_ptr<Gdiplus::Image> m_normal;
    CLazyImage m_hover;
    CLazyImage m_pressed;
    CLazyImage m_disabled;
    bool m_tracking = false;
    int m_state = Normal;
};
