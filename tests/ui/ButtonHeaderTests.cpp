#include <gtest/gtest.h>

#include <vector>

#include "framework/CDialogEx.h"
#include "platform/Module.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WindowTestSupport.h"
#include "ui/controls/CButtonHeader.h"

using namespace Tavrin::Test;

namespace {

// A window that hosts one header and records its toggles.
class HeaderHost : public CDialogEx, public IHeaderParent {
public:
    HeaderHost() : header(this) {}
    void OnHeaderToggled(CButtonHeader* toggled) override
    {
        calls.push_back(toggled);
        openedAtCall.push_back(toggled->IsOpened());
    }

    CButtonHeader header;
    std::vector<CButtonHeader*> calls;
    std::vector<bool> openedAtCall;
};

class ButtonHeaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(
            theSkin.Load(Tavrin::Platform::JoinPath(BinFolder(), L"ui.xml"), ::GetModuleHandleW(nullptr)));
        ASSERT_TRUE(host.CreateIndirect(form.Get(), nullptr));
        ASSERT_TRUE(host.header.Create(&host));
        host.header.SetWindowPos(nullptr, 20, 20, kWidth, kHeight, SWP_NOZORDER);
        host.header.SetTitle(L"Drivers");
        host.header.ShowWindow(SW_SHOW);
        PumpMessages();
    }
    void TearDown() override { theSkin.Reset(); }

    WindowCapture Button() { return CaptureWindow(host.header.GetButton()); }

    static constexpr int kWidth = 600;
    static constexpr int kHeight = 46;
    DialogTemplate form{WS_POPUP | WS_CAPTION | WS_VISIBLE, 10, 10, 440, 80, L"Header"};
    HeaderHost host;
};

bool SamePixels(const WindowCapture& a, const WindowCapture& b)
{
    if (a.Width() != b.Width() || a.Height() != b.Height())
        return false;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.At(x, y) != b.At(x, y))
                return false;
    return true;
}

} // namespace

TEST_F(ButtonHeaderTest, StartsClosedWithABlackTwelvePointTitle)
{
    EXPECT_FALSE(host.header.IsOpened());
    EXPECT_EQ(host.header.GetTitle().GetText(), L"Drivers");
    EXPECT_EQ(host.header.GetTitle().GetTextColor(), 0xFF000000u);
    ASSERT_NE(host.header.GetTitle().GetLabelFont(), nullptr);
    // 12 points, which the font holds in pixels of the screen.
    HDC screen = ::GetDC(nullptr);
    const int pixels = ::MulDiv(12, ::GetDeviceCaps(screen, LOGPIXELSY), 72);
    ::ReleaseDC(nullptr, screen);
    EXPECT_FLOAT_EQ(host.header.GetTitle().GetLabelFont()->GetSize(), static_cast<float>(pixels));
    EXPECT_EQ(host.header.GetTitle().GetLabelFont()->GetStyle(), Gdiplus::FontStyleRegular);
}

TEST_F(ButtonHeaderTest, TheBarIsFilledWithTheFixedBlue)
{
    WindowCapture capture = CaptureWindow(host.header);
    ASSERT_FALSE(capture.Empty());
    const COLORREF blue = RGB(0x0A, 0x70, 0xC5);
    // The middle stretch between the title and the button is bare bar.
    EXPECT_EQ(capture.At(kWidth - 60, 3), blue);
    EXPECT_EQ(capture.At(kWidth / 2 + 100, kHeight - 3), blue);
    EXPECT_GT(capture.Count(blue), kWidth * kHeight / 2);
}

TEST_F(ButtonHeaderTest, TheButtonSitsTenPixelsFromTheRightEdgeAndCentred)
{
    RECT button = host.header.GetButton().GetRectInParent();
    ASSERT_NE(host.header.GetButton().GetNormalImage(), nullptr);
    const int size = static_cast<int>(host.header.GetButton().GetNormalImage()->GetWidth());
    EXPECT_EQ(button.right - button.left, size);
    EXPECT_EQ(button.left, kWidth - size - 10);
    EXPECT_EQ(button.top, (kHeight - (button.bottom - button.top)) / 2);

    host.header.SetWindowPos(nullptr, 0, 0, 400, 60, SWP_NOMOVE | SWP_NOZORDER);
    button = host.header.GetButton().GetRectInParent();
    EXPECT_EQ(button.left, 400 - size - 10);
    EXPECT_EQ(button.top, (60 - (button.bottom - button.top)) / 2);
}

TEST_F(ButtonHeaderTest, TwoTogglesReturnToClosedAndTellTheOwnerTwice)
{
    WindowCapture closed = Button();
    Click(host.header.GetButton());
    ASSERT_TRUE(PumpUntil([&] { return host.calls.size() == 1; }));
    EXPECT_TRUE(host.header.IsOpened());
    EXPECT_EQ(host.calls[0], &host.header);
    EXPECT_TRUE(host.openedAtCall[0]);
    WindowCapture opened = Button();
    EXPECT_FALSE(SamePixels(closed, opened));

    Click(host.header.GetButton());
    ASSERT_TRUE(PumpUntil([&] { return host.calls.size() == 2; }));
    EXPECT_FALSE(host.header.IsOpened());
    EXPECT_FALSE(host.openedAtCall[1]);
    EXPECT_TRUE(SamePixels(closed, Button()));
    SaveScreenshot(host, L"ButtonHeader_Closed");
}

TEST_F(ButtonHeaderTest, AReleaseAnywhereOnTheBarToggles)
{
    LeftButtonUp(host.header, {100, 10});
    EXPECT_TRUE(host.header.IsOpened());
    // A click over the title reaches the bar: the label lets the mouse through.
    POINT onTitle = {15, 20};
    ::ClientToScreen(host.header, &onTitle);
    EXPECT_EQ(host.header.GetTitle().SendMessage(WM_NCHITTEST, 0, MAKELPARAM(onTitle.x, onTitle.y)),
              HTTRANSPARENT);
    LeftButtonUp(host.header, {15, 20});
    EXPECT_FALSE(host.header.IsOpened());
    EXPECT_EQ(host.calls.size(), 2u);
    SaveScreenshot(host, L"ButtonHeader_AfterBarClicks");
}
