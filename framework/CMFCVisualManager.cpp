#include "framework/CMFCVisualManager.h"

#include <uxtheme.h>
#include <vsstyle.h>

namespace {

std::unique_ptr<CMFCVisualManager>& CurrentManager()
{
    static std::unique_ptr<CMFCVisualManager> manager = std::make_unique<CMFCVisualManager>();
    return manager;
}

// The four variants every button part has, in the theme's order within
// each checked-state block: normal, hot, pressed, disabled.
int StateOffset(bool highlighted, bool enabled, bool pressed)
{
    if (!enabled)
        return 4;
    if (pressed)
        return 3;
    return highlighted ? 2 : 1;
}

// Closes a theme handle when it goes.
class ThemeHandle {
public:
    ThemeHandle(HWND window, const wchar_t* classes) : m_theme(::OpenThemeData(window, classes)) {}
    ~ThemeHandle()
    {
        if (m_theme)
            ::CloseThemeData(m_theme);
    }
    ThemeHandle(const ThemeHandle&) = delete;
    ThemeHandle& operator=(const ThemeHandle&) = delete;
    HTHEME Get() const { return m_theme; }

private:
    HTHEME m_theme;
};

} // namespace

CMFCVisualManager* CMFCVisualManager::GetInstance()
{
    return CurrentManager().get();
}

void CMFCVisualManager::SetDefaultManager(std::unique_ptr<CMFCVisualManager> manager)
{
    CurrentManager() = manager ? std::move(manager) : std::make_unique<CMFCVisualManager>();
}

bool CMFCVisualManager::DrawCheckBox(HWND, HDC, const RECT&, bool, int, bool, bool)
{
    return false;
}

bool CMFCVisualManager::DrawRadioButton(HWND, HDC, const RECT&, bool, bool, bool, bool)
{
    return false;
}

bool CMFCVisualManager::DrawPushButton(HWND, HDC, const RECT&, bool, bool, bool, bool)
{
    return false;
}

bool CMFCVisualManagerWindows::IsThemeActive()
{
    return ::IsThemeActive() && ::IsAppThemed();
}

bool CMFCVisualManagerWindows::DrawButtonPart(HWND window, HDC dc, const RECT& rect, int part, int state)
{
    if (!IsThemeActive())
        return false;
    ThemeHandle theme(window, L"BUTTON");
    if (!theme.Get())
        return false;
    return SUCCEEDED(::DrawThemeBackground(theme.Get(), dc, part, state, &rect, nullptr));
}

bool CMFCVisualManagerWindows::DrawCheckBox(HWND window, HDC dc, const RECT& rect, bool highlighted,
                                            int checkState, bool enabled, bool pressed)
{
    int block = (checkState == BST_CHECKED)         ? CBS_CHECKEDNORMAL
                : (checkState == BST_INDETERMINATE) ? CBS_MIXEDNORMAL
                                                    : CBS_UNCHECKEDNORMAL;
    return DrawButtonPart(window, dc, rect, BP_CHECKBOX,
                          block - 1 + StateOffset(highlighted, enabled, pressed));
}

bool CMFCVisualManagerWindows::DrawRadioButton(HWND window, HDC dc, const RECT& rect, bool highlighted,
                                               bool checked, bool enabled, bool pressed)
{
    int block = checked ? RBS_CHECKEDNORMAL : RBS_UNCHECKEDNORMAL;
    return DrawButtonPart(window, dc, rect, BP_RADIOBUTTON,
                          block - 1 + StateOffset(highlighted, enabled, pressed));
}

bool CMFCVisualManagerWindows::DrawPushButton(HWND window, HDC dc, const RECT& rect, bool highlighted,
                                              bool pressed, bool enabled, bool defaultButton)
{
    int state = StateOffset(highlighted, enabled, pressed);
    if (state == PBS_NORMAL && defaultButton)
        state = PBS_DEFAULTED;
    return DrawButtonPart(window, dc, rect, BP_PUSHBUTTON, state);
}
