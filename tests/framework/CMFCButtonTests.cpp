#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/CDialogEx.h"
#include "framework/CMFCButton.h"
#include "framework/CMFCVisualManager.h"
#include "platform/GdiHandles.h"
#include "tests/support/WindowTestSupport.h"

using namespace Tavrin::Test;

namespace {

enum : int {
    kCheck = 1100,
    kThreeState = 1101,
    kPlainCheck = 1102,
    kRadioA = 1103,
    kRadioB = 1104,
    kRadioC = 1105,
    kOtherGroupRadio = 1106,
    kPush = 1107,
};

// Records the drawing steps in the order they run.
class StepButton : public CMFCButton {
public:
    std::vector<std::string> steps;

protected:
    void OnFillBackground(HDC dc, const RECT& client) override
    {
        steps.push_back("background");
        CMFCButton::OnFillBackground(dc, client);
    }
    void OnDrawBorder(HDC dc, RECT& client, UINT state) override
    {
        steps.push_back("border");
        CMFCButton::OnDrawBorder(dc, client, state);
    }
    void OnDraw(HDC dc, const RECT& rect, UINT state) override
    {
        steps.push_back("content");
        CMFCButton::OnDraw(dc, rect, state);
    }
};

class ButtonDialog : public CDialogEx {
public:
    StepButton check, threeState, plainCheck, radioA, radioB, radioC, otherRadio, push;
    // The state each click's handler read from the clicked button.
    std::vector<std::pair<int, LRESULT>> clicks;

protected:
    void DoDataExchange() override
    {
        BindControl(kCheck, check);
        BindControl(kThreeState, threeState);
        BindControl(kPlainCheck, plainCheck);
        BindControl(kRadioA, radioA);
        BindControl(kRadioB, radioB);
        BindControl(kRadioC, radioC);
        BindControl(kOtherGroupRadio, otherRadio);
        BindControl(kPush, push);
    }
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override
    {
        if (HIWORD(wParam) == BN_CLICKED && lParam) {
            clicks.emplace_back(LOWORD(wParam),
                                ::SendMessageW(reinterpret_cast<HWND>(lParam), BM_GETCHECK, 0, 0));
            return TRUE;
        }
        return CDialogEx::OnCommand(wParam, lParam);
    }
};

DialogTemplate ButtonForm()
{
    DialogTemplate form(WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, 0, 220, 130, L"Buttons");
    form.AddButton(kCheck, L"Auto check box", BS_AUTOCHECKBOX | WS_TABSTOP, 10, 10, 100, 10);
    form.AddButton(kThreeState, L"Three states", BS_AUTO3STATE | WS_TABSTOP, 10, 24, 100, 10);
    form.AddButton(kPlainCheck, L"Plain check box", BS_CHECKBOX | WS_TABSTOP, 10, 38, 100, 10);
    form.AddButton(kRadioA, L"Radio A", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 120, 10, 80, 10);
    form.AddButton(kRadioB, L"Radio B", BS_AUTORADIOBUTTON, 120, 24, 80, 10);
    form.AddButton(kRadioC, L"Radio C", BS_AUTORADIOBUTTON, 120, 38, 80, 10);
    form.AddButton(kOtherGroupRadio, L"Other group", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 120, 60, 80,
                   10);
    form.AddButton(kPush, L"Push", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 10, 90, 60, 16);
    return form;
}

class CMFCButtonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_form = ButtonForm();
        ASSERT_TRUE(dialog.CreateIndirect(m_form.Get(), nullptr));
        PumpMessages();
    }

    DialogTemplate m_form = DialogTemplate(0, 0, 0, 0, 0);
    ButtonDialog dialog;
};

} // namespace

TEST_F(CMFCButtonTest, BoundButtonsAreOwnerDrawnButKeepTheirKind)
{
    for (HWND button : {dialog.check.m_hWnd, dialog.radioA.m_hWnd, dialog.push.m_hWnd})
        EXPECT_EQ(::GetWindowLongPtrW(button, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    EXPECT_TRUE(dialog.check.IsCheckBox());
    EXPECT_TRUE(dialog.check.IsAutoCheck());
    EXPECT_TRUE(dialog.plainCheck.IsCheckBox());
    EXPECT_FALSE(dialog.plainCheck.IsAutoCheck());
    EXPECT_TRUE(dialog.radioB.IsRadioButton());
    EXPECT_TRUE(dialog.push.IsPushButton());
    EXPECT_TRUE(dialog.push.IsDefaultButton());
    EXPECT_EQ(dialog.radioA.SendMessage(WM_GETDLGCODE) & DLGC_RADIOBUTTON, DLGC_RADIOBUTTON);
    EXPECT_EQ(dialog.check.SendMessage(WM_GETDLGCODE) & DLGC_RADIOBUTTON, 0);
}

TEST_F(CMFCButtonTest, AClickTogglesAnAutoCheckBoxBeforeTheParentHears)
{
    EXPECT_EQ(dialog.check.GetCheck(), BST_UNCHECKED);
    Click(dialog.check);
    PumpMessages();
    EXPECT_EQ(dialog.check.GetCheck(), BST_CHECKED);
    EXPECT_EQ(::IsDlgButtonChecked(dialog, kCheck), BST_CHECKED);
    EXPECT_EQ(dialog.check.GetState() & 3, static_cast<UINT>(BST_CHECKED));
    ASSERT_EQ(dialog.clicks.size(), 1u);
    EXPECT_EQ(dialog.clicks[0].first, kCheck);
    EXPECT_EQ(dialog.clicks[0].second, BST_CHECKED);

    Click(dialog.check);
    PumpMessages();
    EXPECT_EQ(dialog.check.GetCheck(), BST_UNCHECKED);
    ASSERT_EQ(dialog.clicks.size(), 2u);
    EXPECT_EQ(dialog.clicks[1].second, BST_UNCHECKED);
}

TEST_F(CMFCButtonTest, TheSpaceBarClicksAndTogglesToo)
{
    dialog.check.SetFocus();
    ::SendMessageW(dialog.check, WM_KEYDOWN, VK_SPACE, 0);
    ::SendMessageW(dialog.check, WM_KEYUP, VK_SPACE, 0xC0000001);
    PumpMessages();
    EXPECT_EQ(dialog.check.GetCheck(), BST_CHECKED);
    EXPECT_EQ(dialog.clicks.size(), 1u);
}

TEST_F(CMFCButtonTest, PressingAndReleasingOutsideDoesNotClick)
{
    POINT outside = {-5, -5};
    LeftButtonDown(dialog.check, ClientCenter(dialog.check));
    MouseMove(dialog.check, outside, MK_LBUTTON);
    LeftButtonUp(dialog.check, outside);
    PumpMessages();
    EXPECT_EQ(dialog.check.GetCheck(), BST_UNCHECKED);
    EXPECT_TRUE(dialog.clicks.empty());
}

TEST_F(CMFCButtonTest, SetCheckAndGetCheckFollowTheStandardValues)
{
    dialog.plainCheck.SetCheck(BST_CHECKED);
    EXPECT_EQ(dialog.plainCheck.GetCheck(), BST_CHECKED);
    EXPECT_EQ(static_cast<int>(::SendMessageW(dialog.plainCheck, BM_GETCHECK, 0, 0)), BST_CHECKED);
    // A two-state box has no third state: values above 1 read as checked.
    dialog.plainCheck.SetCheck(BST_INDETERMINATE);
    EXPECT_EQ(dialog.plainCheck.GetCheck(), BST_CHECKED);
    dialog.plainCheck.SetCheck(BST_UNCHECKED);
    EXPECT_EQ(dialog.plainCheck.GetCheck(), BST_UNCHECKED);

    // A non-auto box is not toggled by its click; the parent still hears it.
    Click(dialog.plainCheck);
    PumpMessages();
    EXPECT_EQ(dialog.plainCheck.GetCheck(), BST_UNCHECKED);
    EXPECT_EQ(dialog.clicks.size(), 1u);

    // A push button has no check state.
    dialog.push.SetCheck(BST_CHECKED);
    EXPECT_EQ(dialog.push.GetCheck(), BST_UNCHECKED);
}

TEST_F(CMFCButtonTest, AnAutoThreeStateBoxCyclesThroughItsStates)
{
    Click(dialog.threeState);
    EXPECT_EQ(dialog.threeState.GetCheck(), BST_CHECKED);
    Click(dialog.threeState);
    EXPECT_EQ(dialog.threeState.GetCheck(), BST_INDETERMINATE);
    Click(dialog.threeState);
    EXPECT_EQ(dialog.threeState.GetCheck(), BST_UNCHECKED);
}

TEST_F(CMFCButtonTest, AnAutoRadioButtonClearsTheOthersOfItsGroupOnly)
{
    dialog.otherRadio.SetCheck(BST_CHECKED);
    Click(dialog.radioA);
    EXPECT_EQ(dialog.radioA.GetCheck(), BST_CHECKED);
    Click(dialog.radioC);
    EXPECT_EQ(dialog.radioA.GetCheck(), BST_UNCHECKED);
    EXPECT_EQ(dialog.radioB.GetCheck(), BST_UNCHECKED);
    EXPECT_EQ(dialog.radioC.GetCheck(), BST_CHECKED);
    EXPECT_EQ(dialog.otherRadio.GetCheck(), BST_CHECKED) << "another group is left alone";
    // Clicking the checked one keeps it checked.
    Click(dialog.radioC);
    EXPECT_EQ(dialog.radioC.GetCheck(), BST_CHECKED);
}

TEST_F(CMFCButtonTest, TheDialogManagersDefaultButtonChangesKeepItOwnerDrawn)
{
    dialog.SendMessage(DM_SETDEFID, kCheck);
    ::SendMessageW(dialog.push, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    EXPECT_EQ(::GetWindowLongPtrW(dialog.push, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    EXPECT_FALSE(dialog.push.IsDefaultButton());
    ::SendMessageW(dialog.push, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    EXPECT_TRUE(dialog.push.IsDefaultButton());
    EXPECT_EQ(::GetWindowLongPtrW(dialog.push, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
}

TEST_F(CMFCButtonTest, PaintingRunsBackgroundBorderAndContentInOrder)
{
    dialog.check.steps.clear();
    dialog.check.RedrawWindow();
    PumpMessages();
    ASSERT_GE(dialog.check.steps.size(), 3u);
    EXPECT_EQ(dialog.check.steps[0], "background");
    EXPECT_EQ(dialog.check.steps[1], "border");
    EXPECT_EQ(dialog.check.steps[2], "content");

    // A change of state repaints the button by itself.
    dialog.check.steps.clear();
    dialog.check.SetCheck(BST_CHECKED);
    PumpMessages();
    EXPECT_FALSE(dialog.check.steps.empty());
}

TEST_F(CMFCButtonTest, ACheckedStateGivenBeforeBindingIsKept)
{
    HWND raw = ::CreateWindowExW(0, L"BUTTON", L"raw", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 0, 100, 80,
                                 16, dialog, reinterpret_cast<HMENU>(1200), nullptr, nullptr);
    ASSERT_NE(raw, nullptr);
    ::SendMessageW(raw, BM_SETCHECK, BST_CHECKED, 0);
    CMFCButton button;
    ASSERT_TRUE(button.SubclassWindow(raw));
    EXPECT_EQ(button.GetCheck(), BST_CHECKED);
}

TEST_F(CMFCButtonTest, AButtonCreatedByTheFrameworkIsOwnerDrawnFromTheStart)
{
    CMFCButton button;
    ASSERT_TRUE(button.Create(L"BUTTON", L"made", WS_VISIBLE | BS_AUTORADIOBUTTON, RECT{0, 100, 80, 116},
                              dialog, 1201));
    EXPECT_TRUE(button.IsRadioButton());
    EXPECT_EQ(button.GetStyle() & BS_TYPEMASK, static_cast<DWORD>(BS_OWNERDRAW));
    Click(button);
    EXPECT_EQ(button.GetCheck(), BST_CHECKED);
}

TEST_F(CMFCButtonTest, TheTooltipCanBeSetAndReset)
{
    dialog.push.SetTooltip(L"Runs it");
    ASSERT_NE(dialog.push.GetToolTipCtrl().GetSafeHwnd(), nullptr);
    EXPECT_EQ(dialog.push.GetToolTipCtrl().GetToolCount(), 1);
    dialog.push.ResetTooltip();
    dialog.push.SetTooltip(L"Runs it again");
    EXPECT_EQ(dialog.push.GetToolTipCtrl().GetToolCount(), 1);
}

TEST(CMFCVisualManager, TheBaseManagerDeclinesGlyphs)
{
    Tavrin::Platform::WindowDc screen(nullptr);
    RECT glyph = {0, 0, 13, 13};
    CMFCVisualManager base;
    EXPECT_FALSE(base.DrawCheckBox(nullptr, screen.Get(), glyph, false, BST_CHECKED, true, false));
    EXPECT_FALSE(base.DrawRadioButton(nullptr, screen.Get(), glyph, false, true, true, false));
    ASSERT_NE(CMFCVisualManager::GetInstance(), nullptr);
}

TEST(CMFCVisualManager, TheWindowsManagerDrawsExactlyWhenAThemeIsActive)
{
    Tavrin::Platform::WindowDc screen(nullptr);
    Tavrin::Platform::UniqueCreatedDc memoryDc(::CreateCompatibleDC(screen.Get()));
    Tavrin::Platform::UniqueBitmap bitmap(::CreateCompatibleBitmap(screen.Get(), 20, 20));
    HDC memory = memoryDc.Get();
    Tavrin::Platform::SelectedObject selected(memory, bitmap.Get());
    RECT all = {0, 0, 20, 20};
    ::FillRect(memory, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    RECT glyph = {2, 2, 15, 15};
    CMFCVisualManagerWindows windows;
    bool drew = windows.DrawCheckBox(nullptr, memory, glyph, false, BST_CHECKED, true, false);
    EXPECT_EQ(drew, CMFCVisualManagerWindows::IsThemeActive());
    if (drew) {
        int changed = 0;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x)
                changed += ::GetPixel(memory, x, y) != RGB(255, 255, 255);
        EXPECT_GT(changed, 10) << "a themed glyph was drawn";
    }

    CMFCVisualManager::SetDefaultManager<CMFCVisualManagerWindows>();
    EXPECT_NE(dynamic_cast<CMFCVisualManagerWindows*>(CMFCVisualManager::GetInstance()), nullptr);
    CMFCVisualManager::SetDefaultManager(nullptr);
    EXPECT_EQ(dynamic_cast<CMFCVisualManagerWindows*>(CMFCVisualManager::GetInstance()), nullptr);
}
