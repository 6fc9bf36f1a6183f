#include <gtest/gtest.h>

#include "framework/CMFCVisualManager.h"
#include "tests/ui/ControlTestSupport.h"
#include "ui/controls/CTransButton.h"

using namespace Tavrin::Test;

namespace {

constexpr int kCheck = 1700;
constexpr int kRadio = 1701;
constexpr int kPush = 1702;
constexpr Gdiplus::ARGB kContent = 0xFFF4E8C0;

class TransButtonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(skin.Loaded());
        // The glyphs under test are the skin's: no themed drawing.
        CMFCVisualManager::SetDefaultManager(nullptr);
        m_form.AddButton(kCheck, L"Check box text", BS_AUTOCHECKBOX | WS_TABSTOP, 10, 10, 150, 14);
        m_form.AddButton(kRadio, L"Radio text", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 10, 30, 150, 14);
        m_form.AddButton(kPush, L"Push", BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, 10, 50, 60, 16);
        page.contentColor = kContent;
        ASSERT_TRUE(page.CreateIndirect(m_form.Get(), nullptr));
        for (auto [id, button] :
             {std::pair{kCheck, &check}, std::pair{kRadio, &radio}, std::pair{kPush, &push}}) {
            ASSERT_TRUE(button->SubclassDlgItem(id, page));
            button->SetTextColor(theSkin.GetColor(L"general/checkbox/text"));
        }
        PumpMessages();
    }

    // The glyph's square at the left of a button, in its client coordinates.
    static RECT Glyph(CTransButton& button)
    {
        RECT client = button.GetClientRect();
        int cx = ::GetSystemMetrics(SM_CXMENUCHECK);
        int cy = ::GetSystemMetrics(SM_CYMENUCHECK);
        int top = client.bottom / 2 - cy / 2 - 1;
        return RECT{0, top, cx, top + cy};
    }
    static RECT TextArea(CTransButton& button)
    {
        RECT client = button.GetClientRect();
        client.left = ::GetSystemMetrics(SM_CXMENUCHECK) + 5;
        return client;
    }

    TestSkin skin;
    DialogTemplate m_form{WS_POPUP | WS_CAPTION | WS_VISIBLE, 10, 10, 200, 80, L"Check boxes"};
    TestPage page;
    CTransButton check, radio, push;
};

} // namespace

TEST_F(TransButtonTest, StartsWithTheDocumentedFields)
{
    CTransButton fresh;
    EXPECT_EQ(fresh.GetFontSize(), 8);
    EXPECT_FALSE(fresh.IsBold());
    EXPECT_EQ(fresh.GetTextColor(), 0xFF000000u);
}

TEST_F(TransButtonTest, TheBackgroundIsTheParentsAndTheTextIsDrawn)
{
    WindowCapture capture = CaptureWindow(check);
    ASSERT_FALSE(capture.Empty());
    EXPECT_GT(capture.Count(Gdi(kContent)), capture.Width() * capture.Height() / 2);
    EXPECT_GT(capture.CountNear(TestColors::kCheckText, 40, TextArea(check)), 5);
}

TEST_F(TransButtonTest, TheSkinGlyphShowsTheCheckMarkOnlyWhenChecked)
{
    RECT glyph = Glyph(check);
    WindowCapture clear = CaptureWindow(check);
    EXPECT_GT(clear.Count(TestColors::kGlyphBg, glyph), 0);
    EXPECT_GT(clear.CountNear(TestColors::kGlyphBorder, 30, glyph), 0);
    EXPECT_EQ(clear.CountNear(TestColors::kCheckMark, 60, glyph), 0);

    Click(check);
    ASSERT_EQ(check.GetCheck(), BST_CHECKED);
    WindowCapture ticked = CaptureWindow(check);
    EXPECT_GT(ticked.CountNear(TestColors::kCheckMark, 60, glyph), 3);
}

TEST_F(TransButtonTest, AnIndeterminateBoxShowsAFilledSquare)
{
    CTransButton threeState;
    HWND raw = ::CreateWindowExW(0, L"BUTTON", L"Mixed", WS_CHILD | WS_VISIBLE | BS_AUTO3STATE, 10, 110, 150,
                                 20, page, reinterpret_cast<HMENU>(1703), nullptr, nullptr);
    ASSERT_TRUE(threeState.SubclassWindow(raw));
    threeState.SetCheck(BST_INDETERMINATE);
    WindowCapture capture = CaptureWindow(threeState);
    RECT glyph = Glyph(threeState);
    int side = glyph.right - glyph.left - 2 - 6;
    EXPECT_GE(capture.Count(TestColors::kCheckMark, glyph), side * side / 2);
}

TEST_F(TransButtonTest, TheRadioGlyphShowsItsDotOnlyWhenChecked)
{
    RECT glyph = Glyph(radio);
    EXPECT_EQ(CaptureWindow(radio).CountNear(TestColors::kRadioDot, 40, glyph), 0);
    Click(radio);
    ASSERT_EQ(radio.GetCheck(), BST_CHECKED);
    EXPECT_GT(CaptureWindow(radio).CountNear(TestColors::kRadioDot, 40, glyph), 3);
}

TEST_F(TransButtonTest, DisabledBoxesUseTheSkinsDisabledTextColours)
{
    EXPECT_EQ(check.GetCurrentTextColor(), 0xFF202020u);
    check.EnableWindow(FALSE);
    EXPECT_EQ(check.GetCurrentTextColor(), 0xFF999999u);
    WindowCapture disabled = CaptureWindow(check);
    EXPECT_GT(disabled.CountNear(TestColors::kCheckDisabled, 30, TextArea(check)), 5);
    EXPECT_EQ(disabled.CountNear(TestColors::kCheckText, 10, TextArea(check)), 0);

    check.EnableWindow(TRUE);
    EXPECT_EQ(check.GetCurrentTextColor(), 0xFF202020u);
    EXPECT_GT(CaptureWindow(check).CountNear(TestColors::kCheckText, 40, TextArea(check)), 5);

    radio.EnableWindow(FALSE);
    EXPECT_EQ(radio.GetCurrentTextColor(), 0xFFAA8888u);
}

TEST_F(TransButtonTest, ABiggerBoldFontTakesMoreTextPixels)
{
    int regular = CaptureWindow(check).CountNear(TestColors::kCheckText, 60, TextArea(check));
    check.SetFontSize(10);
    check.SetBold(true);
    check.Invalidate();
    int bold = CaptureWindow(check).CountNear(TestColors::kCheckText, 60, TextArea(check));
    EXPECT_GT(bold, regular);
}

TEST_F(TransButtonTest, APushButtonIsDrawnByTheFrameworkButton)
{
    WindowCapture capture = CaptureWindow(push);
    ASSERT_FALSE(capture.Empty());
    // The framework's push button draws its frame over the copied background.
    EXPECT_LT(capture.Count(Gdi(kContent)), capture.Width() * capture.Height());
    EXPECT_TRUE(push.IsPushButton());
}

TEST_F(TransButtonTest, AFocusedBoxShowsItsCueOnlyWhileTheUiStateShowsCues)
{
    check.SetFocus();
    auto contentPixels = [&](WORD action) {
        ::SendMessageW(page, WM_CHANGEUISTATE, MAKEWPARAM(action, UISF_HIDEFOCUS), 0);
        PumpMessages();
        return CaptureWindow(check).Count(Gdi(kContent), TextArea(check));
    };
    const int hidden = contentPixels(UIS_SET);
    const int shown = contentPixels(UIS_CLEAR);
    EXPECT_LT(shown, hidden - 20) << "no focus cue around the text";
    EXPECT_EQ(contentPixels(UIS_SET), hidden);
}
