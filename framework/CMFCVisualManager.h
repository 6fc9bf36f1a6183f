#pragma once
#include <windows.h>

#include <memory>

// The look of the framework's own controls. The base manager draws no
// check-box or radio glyphs itself: it declines, and the control draws its
// own. CMFCVisualManagerWindows draws them with the visual-styles theme of
// the system while one is active and declines otherwise.
class CMFCVisualManager {
public:
    CMFCVisualManager() = default;
    virtual ~CMFCVisualManager() = default;
    CMFCVisualManager(const CMFCVisualManager&) = delete;
    CMFCVisualManager& operator=(const CMFCVisualManager&) = delete;

    // The current manager (a base manager until one is selected).
    static CMFCVisualManager* GetInstance();
    // Selects the manager every framework control uses from now on.
    static void SetDefaultManager(std::unique_ptr<CMFCVisualManager> manager);
    template <typename Manager> static void SetDefaultManager()
    {
        SetDefaultManager(std::make_unique<Manager>());
    }

    // Draws a check-box glyph (check state 0 clear, 1 ticked, 2 mixed) into
    // `rect`; false when the manager leaves the glyph to the caller.
    virtual bool DrawCheckBox(HWND window, HDC dc, const RECT& rect, bool highlighted, int checkState,
                              bool enabled, bool pressed);
    // Draws a radio-button glyph; false when it leaves it to the caller.
    virtual bool DrawRadioButton(HWND window, HDC dc, const RECT& rect, bool highlighted, bool checked,
                                 bool enabled, bool pressed);
    // Draws the frame of a push button; false when it leaves it to the caller.
    virtual bool DrawPushButton(HWND window, HDC dc, const RECT& rect, bool highlighted, bool pressed,
                                bool enabled, bool defaultButton);
};

// The native look: the "BUTTON" class parts of the active visual style.
class CMFCVisualManagerWindows : public CMFCVisualManager {
public:
    bool DrawCheckBox(HWND window, HDC dc, const RECT& rect, bool highlighted, int checkState, bool enabled,
                      bool pressed) override;
    bool DrawRadioButton(HWND window, HDC dc, const RECT& rect, bool highlighted, bool checked, bool enabled,
                         bool pressed) override;
    bool DrawPushButton(HWND window, HDC dc, const RECT& rect, bool highlighted, bool pressed, bool enabled,
                        bool defaultButton) override;

    // True while the system draws with a visual-styles theme.
    static bool IsThemeActive();

private:
    bool DrawButtonPart(HWND window, HDC dc, const RECT& rect, int part, int state);
};
