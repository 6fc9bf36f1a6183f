#include <gtest/gtest.h>

#include "framework/CDialogEx.h"
#include "tests/ui/ControlTestSupport.h"
#include "ui/controls/CThemeLabel.h"

using namespace Tavrin::Test;

namespace {

constexpr int kLabel = 1500;
constexpr Gdiplus::ARGB kContent = 0xFF3060A0;

DialogTemplate LabelForm(const std::wstring& text)
{
    DialogTemplate form(WS_POPUP | WS_CAPTION | WS_VISIBLE, 10, 10, 200, 80, L"Label");
    form.AddStatic(kLabel, text, SS_LEFT, 10, 10, 150, 30);
    return form;
}

class ThemeLabelTest : public ::testing::Test {
protected:
    void Open(const std::wstring& text)
    {
        m_form = LabelForm(text);
        page.contentColor = kContent;
        ASSERT_TRUE(page.CreateIndirect(m_form.Get(), nullptr));
        ASSERT_TRUE(label.SubclassDlgItem(kLabel, page));
        PumpMessages();
    }

    TestSkin skin;
    DialogTemplate m_form = DialogTemplate(0, 0, 0, 0, 0);
    TestPage page;
    CThemeLabel label;
};

} // namespace

TEST_F(ThemeLabelTest, TakesItsColoursFromTheSkinWhenConstructed)
{
    ASSERT_TRUE(skin.Loaded());
    CThemeLabel fresh;
    EXPECT_EQ(fresh.GetTextColor(), 0xFF101010u);
    EXPECT_EQ(fresh.GetBorderColor(), 0xFFD02020u);
    EXPECT_EQ(fresh.GetBackgroundColor(), 0xFFFFFFFFu);
    EXPECT_EQ(fresh.GetBorderWidth(), 0.0f);
    EXPECT_EQ(fresh.GetTrimming(), Gdiplus::StringTrimmingEllipsisCharacter);
    EXPECT_EQ(fresh.GetAlignment(), Gdiplus::StringAlignmentNear);
    EXPECT_EQ(fresh.GetLineAlignment(), Gdiplus::StringAlignmentNear);
    EXPECT_EQ(fresh.GetLabelFont(), nullptr);
}

TEST_F(ThemeLabelTest, TakesTheItemTextAndIgnoresLaterWindowText)
{
    Open(L"From the template");
    EXPECT_EQ(label.GetText(), L"From the template");
    label.SetWindowText(L"Changed window text");
    EXPECT_EQ(label.GetText(), L"From the template");
    EXPECT_EQ(label.GetWindowText(), L"Changed window text");
    label.SetText(L"Replaced");
    EXPECT_EQ(label.GetText(), L"Replaced");
}

TEST_F(ThemeLabelTest, ACreatedLabelTakesItsCreationText)
{
    Open(L"");
    CThemeLabel created;
    ASSERT_TRUE(created.Create(L"STATIC", L"Created text", WS_VISIBLE, RECT{5, 60, 200, 80}, page, 1501));
    EXPECT_EQ(created.GetText(), L"Created text");
}

TEST_F(ThemeLabelTest, DrawsItsTextOverTheParentsBackground)
{
    Open(L"Some text");
    WindowCapture capture = CaptureWindow(label);
    ASSERT_FALSE(capture.Empty());
    int total = capture.Width() * capture.Height();
    // Mostly the parent's content shows through; the rest is text.
    EXPECT_GT(capture.Count(Gdi(kContent)), total / 2);
    EXPECT_GT(capture.CountNear(TestColors::kBodyText, 40), 5) << "the text is drawn";
    EXPECT_EQ(capture.CountNear(TestColors::kLabelBorder, 40), 0) << "no border at width 0";
    SaveScreenshot(page, L"ThemeLabel_Text");
}

TEST_F(ThemeLabelTest, AnEmptyLabelWithoutBorderDrawsNothingVisible)
{
    Open(L"");
    WindowCapture capture = CaptureWindow(label);
    ASSERT_FALSE(capture.Empty());
    EXPECT_EQ(capture.Count(Gdi(kContent)), capture.Width() * capture.Height());
}

TEST_F(ThemeLabelTest, ABorderIsDrawnInTheBorderColourAndShrinksTheText)
{
    Open(L"");
    label.SetBorderWidth(2);
    label.Invalidate();
    WindowCapture capture = CaptureWindow(label);
    ASSERT_FALSE(capture.Empty());
    int border = capture.CountNear(TestColors::kLabelBorder, 60);
    // Roughly the outline's length: both widths and both heights.
    EXPECT_GT(border, capture.Width() + capture.Height());
    // The inside stays the parent's.
    RECT inside = {6, 6, capture.Width() - 6, capture.Height() - 6};
    EXPECT_EQ(capture.Count(Gdi(kContent), inside),
              (inside.right - inside.left) * (inside.bottom - inside.top));
}

TEST_F(ThemeLabelTest, AlignmentAndColourAreThePages)
{
    Open(L"R");
    label.SetAlignment(Gdiplus::StringAlignmentFar);
    label.SetLineAlignment(Gdiplus::StringAlignmentFar);
    label.SetTextColor(0xFFFFFF00);
    label.SetFont(CreateMessageFont(FontSpec::Regular(14).Bold()));
    ASSERT_NE(label.GetLabelFont(), nullptr);
    label.Invalidate();
    WindowCapture capture = CaptureWindow(label);
    int w = capture.Width();
    int h = capture.Height();
    RECT bottomRight = {w / 2, h / 2, w, h};
    RECT topLeft = {0, 0, w / 2, h / 2};
    EXPECT_GT(capture.CountNear(RGB(0xFF, 0xFF, 0), 40, bottomRight), 5);
    EXPECT_EQ(capture.CountNear(RGB(0xFF, 0xFF, 0), 40, topLeft), 0);
}

TEST_F(ThemeLabelTest, OnAParentWithoutBackBufferOnlyTheTextIsDrawn)
{
    // A plain dialog is no CTransparentParent: nothing paints the label's
    // background, so the dialog's own background shows around the text.
    DialogTemplate form = LabelForm(L"Plain");
    CDialogEx plain;
    ASSERT_TRUE(plain.CreateIndirect(form.Get(), nullptr));
    CThemeLabel plainLabel;
    ASSERT_TRUE(plainLabel.SubclassDlgItem(kLabel, plain));
    WindowCapture capture = CaptureWindow(plainLabel);
    ASSERT_FALSE(capture.Empty());
    EXPECT_EQ(capture.Count(Gdi(kContent)), 0);
    EXPECT_GT(capture.CountNear(TestColors::kBodyText, 40), 5);
    SaveScreenshot(plain, L"ThemeLabel_PlainParent");
}

TEST_F(ThemeLabelTest, ShowsWhatItsBoxHoldsAndSignsWhatItCuts)
{
    const std::wstring longText =
        L"A text far too long for its box, which goes on and on over several lines of the label's font, so "
        L"that it cannot end where the box ends without being cut somewhere in the middle of a sentence.";
    const struct {
        const wchar_t* name;
        std::wstring text;
        int height; // pixels; less than a line of the 12-point font for the short box
        bool cut;
    } cases[] = {
        {L"fits", L"Short text", 40, false},
        {L"shorter than a line", L"Short text", 8, false},
        {L"too long", longText, 40, true},
    };
    Open(L"");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        label.SetFont(CreateMessageFont(FontSpec::Regular(12)));
        label.SetWindowPos(nullptr, 0, 0, 200, c.height, SWP_NOMOVE | SWP_NOZORDER);
        label.SetText(c.text);
        const WindowCapture capture = CaptureWindow(page);
        const RECT box = label.GetRectInParent();
        // Something of the text shows, even in a box shorter than a line.
        EXPECT_GT(capture.Count(Gdi(kContent), box), 0);
        EXPECT_LT(capture.Count(Gdi(kContent), box), (box.right - box.left) * (box.bottom - box.top));
        EXPECT_EQ(label.IsTextCut(), c.cut);
        if (c.cut) {
            // The beginning of the text, then an ellipsis; the tip has it whole.
            ASSERT_FALSE(label.GetShownText().empty());
            EXPECT_EQ(label.GetShownText().back(), L'\u2026');
            EXPECT_EQ(c.text.compare(0, label.GetShownText().size() - 1, label.GetShownText(), 0,
                                     label.GetShownText().size() - 1),
                      0);
            EXPECT_EQ(label.GetToolTip().GetToolCount(), 1);
            EXPECT_EQ(::SendMessageW(label, WM_NCHITTEST, 0, 0), HTCLIENT);
            SaveScreenshot(page, L"label-cut-with-ellipsis");
        } else {
            EXPECT_EQ(label.GetShownText(), c.text);
            EXPECT_TRUE(!label.GetToolTip().GetSafeHwnd() || label.GetToolTip().GetToolCount() == 0);
        }
    }
}
