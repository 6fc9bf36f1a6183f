#include <gtest/gtest.h>

#include "framework/CMFCVisualManager.h"
#include "tests/ui/ControlTestSupport.h"
#include "ui/controls/CThemeButton.h"
#include "ui/controls/CThemeLabel.h"
#include "ui/controls/CTransButton.h"

using namespace Tavrin::Test;

// One window with every skinned control in its states, over a back buffer
// with a coloured band, a white panel and a gradient, so that transparency
// and states can be judged by eye in the screenshots.
namespace {

enum : int {
    kPlainLabel = 1800,
    kBorderLabel,
    kCentredLabel,
    kTrimmedLabel,
    kImageNormal,
    kImageHover,
    kImagePressed,
    kImageDisabled,
    kImageDisabledNoImage,
    kImageRadio,
    kCheckClear,
    kCheckTicked,
    kCheckMixed,
    kCheckDisabledClear,
    kCheckDisabledTicked,
    kRadioTicked,
    kRadioClear,
    kRadioDisabled,
    kPushButton,
    kOverGradient,
};

class GalleryPage : public CBaseWnd {
public:
    GalleryPage() : CBaseWnd(0) {}
    CThemeLabel plain, bordered, centred, trimmed;
    CThemeButton normal, hover, pressed, disabled, disabledNoImage, radioImage;
    CTransButton checkClear, checkTicked, checkMixed, checkDisabledClear, checkDisabledTicked;
    CTransButton radioTicked, radioClear, radioDisabled, push, overGradient;

protected:
    void DoDataExchange() override
    {
        BindControl(kPlainLabel, plain);
        BindControl(kBorderLabel, bordered);
        BindControl(kCentredLabel, centred);
        BindControl(kTrimmedLabel, trimmed);
        BindControl(kImageNormal, normal);
        BindControl(kImageHover, hover);
        BindControl(kImagePressed, pressed);
        BindControl(kImageDisabled, disabled);
        BindControl(kImageDisabledNoImage, disabledNoImage);
        BindControl(kImageRadio, radioImage);
        BindControl(kCheckClear, checkClear);
        BindControl(kCheckTicked, checkTicked);
        BindControl(kCheckMixed, checkMixed);
        BindControl(kCheckDisabledClear, checkDisabledClear);
        BindControl(kCheckDisabledTicked, checkDisabledTicked);
        BindControl(kRadioTicked, radioTicked);
        BindControl(kRadioClear, radioClear);
        BindControl(kRadioDisabled, radioDisabled);
        BindControl(kPushButton, push);
        BindControl(kOverGradient, overGradient);
    }

    void DrawContent(Gdiplus::Graphics& graphics) override
    {
        RECT client = GetClientRect();
        auto width = static_cast<Gdiplus::REAL>(client.right);
        auto height = static_cast<Gdiplus::REAL>(client.bottom);
        Gdiplus::SolidBrush blue{Gdiplus::Color(0xFF0A70C5)};
        graphics.FillRectangle(&blue, 0.0f, 0.0f, width, 90.0f);
        Gdiplus::SolidBrush white{Gdiplus::Color(0xFFFFFFFF)};
        graphics.FillRectangle(&white, 20.0f, 90.0f, width - 40.0f, height - 110.0f);
        Gdiplus::LinearGradientBrush gradient(Gdiplus::PointF(0, 0), Gdiplus::PointF(width, 0),
                                              Gdiplus::Color(0xFFFFD27F), Gdiplus::Color(0xFF7FD2FF));
        graphics.FillRectangle(&gradient, 20.0f, height - 70.0f, width - 40.0f, 40.0f);
    }
};

DialogTemplate GalleryForm()
{
    DialogTemplate form(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 0, 0, 420, 250, L"Skinned controls");
    form.AddStatic(kPlainLabel, L"Label without border", SS_LEFT, 10, 8, 120, 12);
    form.AddStatic(kBorderLabel, L"Label with a rounded border", SS_LEFT, 140, 6, 130, 16);
    form.AddStatic(kCentredLabel, L"Centred, bordered", SS_LEFT, 280, 6, 120, 16);
    form.AddStatic(kTrimmedLabel, L"A long label text that cannot fit and ends with an ellipsis", SS_LEFT, 10,
                   30, 150, 10);
    const DWORD push = BS_PUSHBUTTON;
    form.AddButton(kImageNormal, L"", push, 10, 64, 50, 20);
    form.AddButton(kImageHover, L"", push, 70, 64, 50, 20);
    form.AddButton(kImagePressed, L"", push, 130, 64, 50, 20);
    form.AddButton(kImageDisabled, L"", push | WS_DISABLED, 190, 64, 50, 20);
    form.AddButton(kImageDisabledNoImage, L"", push | WS_DISABLED, 250, 64, 50, 20);
    form.AddButton(kImageRadio, L"", BS_AUTORADIOBUTTON | WS_GROUP, 310, 64, 50, 20);
    form.AddButton(kCheckClear, L"Check box, clear", BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP, 20, 110, 120,
                   10);
    form.AddButton(kCheckTicked, L"Check box, ticked", BS_AUTOCHECKBOX | WS_TABSTOP, 20, 125, 120, 10);
    form.AddButton(kCheckMixed, L"Check box, mixed", BS_AUTO3STATE | WS_TABSTOP, 20, 140, 120, 10);
    form.AddButton(kCheckDisabledClear, L"Disabled, clear", BS_AUTOCHECKBOX | WS_DISABLED, 20, 155, 120, 10);
    form.AddButton(kCheckDisabledTicked, L"Disabled, ticked", BS_AUTOCHECKBOX | WS_DISABLED, 20, 170, 120,
                   10);
    form.AddButton(kRadioTicked, L"Radio, ticked", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 160, 110, 120,
                   10);
    form.AddButton(kRadioClear, L"Radio, clear", BS_AUTORADIOBUTTON, 160, 125, 120, 10);
    form.AddButton(kRadioDisabled, L"Radio, disabled", BS_AUTORADIOBUTTON | WS_DISABLED, 160, 140, 120, 10);
    form.AddButton(kPushButton, L"Push button", BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, 300, 110, 70, 16);
    form.AddButton(kOverGradient, L"Check box over a gradient: the gradient shows through",
                   BS_AUTOCHECKBOX | WS_GROUP, 20, 205, 250, 12);
    return form;
}

class GalleryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(skin.Loaded());
        CMFCVisualManager::SetDefaultManager(nullptr);
        std::wstring normal = images.Make(L"n.png", 70, 30, 0xFF2E8B57, L"normal");
        std::wstring hover = images.Make(L"h.png", 70, 30, 0xFFF08000, L"hover");
        std::wstring pressed = images.Make(L"p.png", 70, 30, 0xFF8B0000, L"pressed");
        std::wstring disabled = images.Make(L"d.png", 70, 30, 0xFF909090, L"disabled");
        m_form = GalleryForm();
        ASSERT_TRUE(page.CreateIndirect(m_form.Get(), nullptr));

        page.plain.SetTextColor(0xFFFFFFFF);
        page.plain.SetFont(CreateMessageFont(FontSpec::Regular(10).Bold()));
        page.bordered.SetBorderWidth(1.5f);
        page.bordered.SetTextColor(0xFFFFFFFF);
        page.bordered.SetBorderColor(0xFFFFFFFF);
        page.bordered.SetLineAlignment(Gdiplus::StringAlignmentCenter);
        page.bordered.SetAlignment(Gdiplus::StringAlignmentCenter);
        page.centred.SetBorderWidth(2);
        page.centred.SetTextColor(0xFFFFFFFF);
        page.centred.SetAlignment(Gdiplus::StringAlignmentCenter);
        page.centred.SetLineAlignment(Gdiplus::StringAlignmentCenter);
        page.trimmed.SetTextColor(0xFFFFFFFF);
        page.trimmed.SetFont(CreateMessageFont(FontSpec::Regular(9).Italic()));

        for (CThemeButton* button :
             {&page.normal, &page.hover, &page.pressed, &page.disabledNoImage, &page.radioImage})
            button->SetImages(normal, hover, pressed, L"");
        page.disabled.SetImages(normal, hover, pressed, disabled);
        for (CThemeButton* button : {&page.normal, &page.hover, &page.pressed, &page.disabled,
                                     &page.disabledNoImage, &page.radioImage})
            button->SizeToImage();
        page.radioImage.SetCheck(BST_CHECKED);

        for (CTransButton* button : {&page.checkClear, &page.checkTicked, &page.checkMixed,
                                     &page.checkDisabledClear, &page.checkDisabledTicked, &page.radioTicked,
                                     &page.radioClear, &page.radioDisabled, &page.push, &page.overGradient})
            button->SetTextColor(theSkin.GetColor(L"general/checkbox/text"));
        page.checkTicked.SetCheck(BST_CHECKED);
        page.checkMixed.SetCheck(BST_INDETERMINATE);
        page.checkDisabledTicked.SetCheck(BST_CHECKED);
        page.radioTicked.SetCheck(BST_CHECKED);
        page.radioDisabled.SetCheck(BST_CHECKED);
        page.overGradient.SetCheck(BST_CHECKED);
        page.overGradient.SetBold(true);
        page.Invalidate();
        PumpMessages();
    }

    TestSkin skin;
    TestImages images;
    DialogTemplate m_form{0, 0, 0, 0, 0};
    GalleryPage page;
};

} // namespace

TEST_F(GalleryTest, EveryControlInItsStates)
{
    // Pressed first (it holds the capture), then the screenshot of all.
    MouseMove(page.pressed, {5, 5});
    LeftButtonDown(page.pressed, {5, 5});
    ASSERT_EQ(page.pressed.GetVisualState(), CThemeButton::Pressed);
    std::wstring shot = SaveScreenshot(page, L"Gallery_PressedButton");
    EXPECT_FALSE(shot.empty());
    LeftButtonUp(page.pressed, {200, 200});

    MouseMove(page.hover, {5, 5});
    ASSERT_EQ(page.hover.GetVisualState(), CThemeButton::Hover);
    EXPECT_FALSE(SaveScreenshot(page, L"Gallery_HoveredButton").empty());

    // The image buttons show the image of their state.
    EXPECT_GT(CaptureWindow(page.hover).Count(RGB(0xF0, 0x80, 0x00)), 1000);
    EXPECT_GT(CaptureWindow(page.normal).Count(RGB(0x2E, 0x8B, 0x57)), 1000);
    EXPECT_GT(CaptureWindow(page.disabled).Count(RGB(0x90, 0x90, 0x90)), 1000);
    EXPECT_GT(CaptureWindow(page.disabledNoImage).Count(RGB(0x2E, 0x8B, 0x57)), 1000);
    EXPECT_GT(CaptureWindow(page.radioImage).Count(RGB(0x8B, 0x00, 0x00)), 1000);

    // Labels over the blue band show the band around their text.
    WindowCapture plain = CaptureWindow(page.plain);
    EXPECT_GT(plain.Count(RGB(0x0A, 0x70, 0xC5)), plain.Width() * plain.Height() / 3);
    EXPECT_GT(plain.CountNear(RGB(0xFF, 0xFF, 0xFF), 60), 10);

    // The check box over the gradient shows the gradient, not one colour.
    WindowCapture gradient = CaptureWindow(page.overGradient);
    int bottom = gradient.Height() - 1;
    COLORREF middle = gradient.At(gradient.Width() / 3, bottom);
    COLORREF right = gradient.At(gradient.Width() - 2, bottom);
    EXPECT_NE(middle, right);
    EXPECT_NE(middle, RGB(0xFF, 0xFF, 0xFF));
    EXPECT_NE(right, RGB(0xFF, 0xFF, 0xFF));

    // Nothing was left unpainted (black) in the window.
    WindowCapture all = CaptureWindow(page);
    EXPECT_LT(all.Count(RGB(0, 0, 0)), all.Width() * all.Height() / 100);
    SaveScreenshot(page, L"Gallery");
}

TEST_F(GalleryTest, ARepaintOfOneControlLeavesTheOthersAndThePageAlone)
{
    PumpMessages();
    WindowCapture before = CaptureWindow(page);
    page.checkClear.SetCheck(BST_CHECKED);
    PumpMessages();
    page.checkClear.SetCheck(BST_UNCHECKED);
    PumpMessages();
    WindowCapture after = CaptureWindow(page);
    ASSERT_EQ(before.Width(), after.Width());
    int differing = 0;
    for (int y = 0; y < before.Height(); ++y)
        for (int x = 0; x < before.Width(); ++x)
            differing += before.At(x, y) != after.At(x, y);
    EXPECT_EQ(differing, 0) << "toggling a box back leaves no trace (no smear)";
}
