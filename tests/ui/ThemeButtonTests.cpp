#include <gtest/gtest.h>

#include "tests/ui/ControlTestSupport.h"
#include "ui/controls/CThemeButton.h"

using namespace Tavrin::Test;

namespace {

constexpr int kButton = 1600;
constexpr int kRadio = 1601;
constexpr Gdiplus::ARGB kContent = 0xFF204060;
constexpr Gdiplus::ARGB kNormal = 0xFF10A010;
constexpr Gdiplus::ARGB kHover = 0xFFF08000;
constexpr Gdiplus::ARGB kPressed = 0xFF900000;
constexpr Gdiplus::ARGB kDisabled = 0xFF808080;

class ThemeButtonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(skin.Loaded());
        normal = images.Make(L"normal.png", 60, 30, kNormal);
        hover = images.Make(L"hover.png", 60, 30, kHover);
        pressed = images.Make(L"pressed.png", 60, 30, kPressed);
        disabled = images.Make(L"disabled.png", 60, 30, kDisabled);
        m_form.AddButton(kButton, L"Image", BS_PUSHBUTTON, 10, 10, 80, 40);
        m_form.AddButton(kRadio, L"Radio", BS_AUTORADIOBUTTON | WS_GROUP, 100, 10, 80, 40);
        page.contentColor = kContent;
        ASSERT_TRUE(page.CreateIndirect(m_form.Get(), nullptr));
        ASSERT_TRUE(button.SubclassDlgItem(kButton, page));
        button.SetImages(normal, hover, pressed, L"");
        button.SizeToImage();
        // The button has the focus; as after a mouse start, it shows no cue.
        ::SendMessageW(page, WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
        PumpMessages();
    }

    // The share of the button's pixels in a colour, in percent.
    int Percent(CThemeButton& target, Gdiplus::ARGB color)
    {
        WindowCapture capture = CaptureWindow(target);
        if (capture.Empty())
            return -1;
        return capture.Count(Gdi(color)) * 100 / (capture.Width() * capture.Height());
    }
    int Clicks(int id) const
    {
        int count = 0;
        for (const auto& command : page.commands)
            if (command.id == id)
                ++count;
        return count;
    }

    TestSkin skin;
    TestImages images;
    std::wstring normal, hover, pressed, disabled;
    DialogTemplate m_form{WS_POPUP | WS_CAPTION | WS_VISIBLE, 10, 10, 200, 80, L"Image buttons"};
    TestPage page;
    CThemeButton button;
};

} // namespace

TEST_F(ThemeButtonTest, SizeToImageTakesTheImagesSizeAndKeepsThePosition)
{
    RECT before = button.GetRectInParent();
    RECT client = button.GetClientRect();
    EXPECT_EQ(client.right, 60);
    EXPECT_EQ(client.bottom, 30);
    button.SetImages(images.Make(L"big.png", 90, 45, kNormal), L"", L"", L"");
    button.SizeToImage();
    RECT after = button.GetRectInParent();
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(after.right - after.left, 90);
    EXPECT_EQ(after.bottom - after.top, 45);
}

TEST_F(ThemeButtonTest, HoverPressAndReleasePostOneClickToTheParent)
{
    EXPECT_EQ(Percent(button, kNormal), 100);
    MouseMove(button, {5, 5});
    EXPECT_EQ(button.GetVisualState(), CThemeButton::Hover);
    EXPECT_TRUE(button.IsTracking());
    EXPECT_EQ(::GetCapture(), button.m_hWnd);
    EXPECT_EQ(Percent(button, kHover), 100);

    LeftButtonDown(button, {5, 5});
    EXPECT_EQ(button.GetVisualState(), CThemeButton::Pressed);
    EXPECT_EQ(Percent(button, kPressed), 100);

    LeftButtonUp(button, {5, 5});
    EXPECT_EQ(button.GetVisualState(), CThemeButton::Normal);
    EXPECT_FALSE(button.IsTracking());
    EXPECT_NE(::GetCapture(), button.m_hWnd);
    // Posted, not sent: the parent hears it only from the message queue.
    EXPECT_EQ(Clicks(kButton), 0);
    PumpMessages();
    ASSERT_EQ(Clicks(kButton), 1);
    EXPECT_EQ(page.commands.back().code, 0);
    EXPECT_EQ(page.commands.back().control, 0);
    EXPECT_EQ(Percent(button, kNormal), 100);
}

TEST_F(ThemeButtonTest, DraggingOutsideBeforeTheReleaseIsNoClick)
{
    MouseMove(button, {5, 5});
    LeftButtonDown(button, {5, 5});
    MouseMove(button, {200, 5}, MK_LBUTTON);
    EXPECT_EQ(button.GetVisualState(), CThemeButton::Normal);
    EXPECT_FALSE(button.IsTracking());
    LeftButtonUp(button, {200, 5});
    PumpMessages();
    EXPECT_EQ(Clicks(kButton), 0);
}

TEST_F(ThemeButtonTest, APressWithoutHoverFirstIsNoClickUntilThePointerMoves)
{
    LeftButtonDown(button, {5, 5});
    EXPECT_EQ(button.GetVisualState(), CThemeButton::Normal);
    LeftButtonUp(button, {5, 5});
    PumpMessages();
    EXPECT_EQ(Clicks(kButton), 0);
    Click(button, {5, 5});
    PumpMessages();
    EXPECT_EQ(Clicks(kButton), 1);
}

TEST_F(ThemeButtonTest, AHiddenButtonDoesNotHover)
{
    button.ShowWindow(SW_HIDE);
    MouseMove(button, {5, 5});
    EXPECT_EQ(button.GetVisualState(), CThemeButton::Normal);
    EXPECT_FALSE(button.IsTracking());
}

TEST_F(ThemeButtonTest, LosingTheCaptureEndsTheHover)
{
    MouseMove(button, {5, 5});
    ASSERT_TRUE(button.IsTracking());
    ::SetCapture(page);
    EXPECT_FALSE(button.IsTracking());
    EXPECT_EQ(button.GetVisualState(), CThemeButton::Normal);
    ::ReleaseCapture();
}

TEST_F(ThemeButtonTest, AMissingHoverImageShowsOnlyTheBackgroundWhileHovered)
{
    button.SetImages(normal, L"", pressed, L"");
    MouseMove(button, {5, 5});
    EXPECT_EQ(Percent(button, kContent), 100);
    EXPECT_EQ(Percent(button, kNormal), 0);
}

TEST_F(ThemeButtonTest, ADisabledButtonShowsItsDisabledImageOrElseItsStateImage)
{
    button.EnableWindow(FALSE);
    EXPECT_EQ(Percent(button, kNormal), 100) << "no disabled image: the current state's image";
    button.SetImages(normal, hover, pressed, disabled);
    EXPECT_EQ(Percent(button, kDisabled), 100);
}

TEST_F(ThemeButtonTest, ACheckedRadioStyleButtonShowsItsPressedImage)
{
    CThemeButton radio;
    ASSERT_TRUE(radio.SubclassDlgItem(kRadio, page));
    radio.SetImages(normal, hover, pressed, L"");
    radio.SizeToImage();
    EXPECT_EQ(Percent(radio, kNormal), 100);
    radio.SetCheck(BST_CHECKED);
    EXPECT_EQ(Percent(radio, kPressed), 100);
}

TEST_F(ThemeButtonTest, AButtonWithoutImagesShowsTheParentOnly)
{
    button.SetImages(L"", L"", L"", L"");
    EXPECT_EQ(Percent(button, kContent), 100);
    button.SetImages(L"no/such/file.png", L"", L"", L"");
    EXPECT_EQ(button.GetNormalImage(), nullptr);
    EXPECT_EQ(Percent(button, kContent), 100);
}

TEST_F(ThemeButtonTest, ACreatedButtonWithAnImageTakesItsSizeAtTheCorner)
{
    CThemeButton created;
    created.SetImages(images.Make(L"created.png", 40, 20, kNormal), L"", L"", L"");
    ASSERT_TRUE(
        created.Create(L"BUTTON", L"", WS_VISIBLE | BS_PUSHBUTTON, RECT{50, 50, 150, 150}, page, 1602));
    RECT placed = created.GetRectInParent();
    EXPECT_EQ(placed.left, -1);
    EXPECT_EQ(placed.top, -1);
    EXPECT_EQ(placed.right - placed.left, 40);
    EXPECT_EQ(placed.bottom - placed.top, 20);
}

TEST_F(ThemeButtonTest, ShowsAFocusCueOnlyWhenFocusedAndTheUiStateShowsCues)
{
    // The keyboard (Tab) clears UISF_HIDEFOCUS through WM_CHANGEUISTATE; a
    // mouse start leaves it set.
    const struct {
        bool focused;
        WORD action;
        bool cue;
    } steps[] = {{true, UIS_SET, false},
                 {true, UIS_CLEAR, true},
                 {false, UIS_CLEAR, false},
                 {true, UIS_CLEAR, true},
                 {true, UIS_SET, false}};
    for (const auto& step : steps) {
        SCOPED_TRACE(std::to_string(step.focused) + " " + std::to_string(step.action));
        ::SetFocus(step.focused ? button.GetSafeHwnd() : page.GetDlgItem(kRadio));
        ::SendMessageW(page, WM_CHANGEUISTATE, MAKEWPARAM(step.action, UISF_HIDEFOCUS), 0);
        PumpMessages();
        const int normal = Percent(button, kNormal);
        if (step.cue)
            EXPECT_LT(normal, 100);
        else
            EXPECT_EQ(normal, 100);
        EXPECT_GT(normal, 80);
    }
}

TEST_F(ThemeButtonTest, BmClickPostsTheClickWithoutAPointer)
{
    ::SendMessageW(button, BM_CLICK, 0, 0);
    PumpMessages();
    EXPECT_EQ(Clicks(kButton), 1);
    EXPECT_FALSE(button.IsTracking());
    EXPECT_EQ(button.GetVisualState(), CThemeButton::Normal);
    // A disabled button does not click.
    button.EnableWindow(FALSE);
    ::SendMessageW(button, BM_CLICK, 0, 0);
    PumpMessages();
    EXPECT_EQ(Clicks(kButton), 1);
}
