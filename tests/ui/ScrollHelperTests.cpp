#include <gtest/gtest.h>

#include "framework/CWnd.h"
#include "tests/support/WindowTestSupport.h"
#include "ui/controls/CScrollHelper.h"

using namespace Tavrin::Test;

namespace {

// A page-like window: borderless, 400 × 300 pixels of client area, with a
// child at a known place so that scrolling can be seen to move children.
class ScrollHost : public CWnd {
public:
    CScrollHelper scroller;
    CWnd child;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        switch (message) {
        case WM_VSCROLL:
            scroller.OnVScroll(LOWORD(wParam), reinterpret_cast<HWND>(lParam));
            return 0;
        case WM_HSCROLL:
            scroller.OnHScroll(LOWORD(wParam), reinterpret_cast<HWND>(lParam));
            return 0;
        case WM_MOUSEWHEEL:
            if (scroller.GetAttachedWnd())
                return scroller.OnMouseWheel(GET_WHEEL_DELTA_WPARAM(wParam)) ? 0 : 1;
            break;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

// Sets the system's wheel lines for one test and restores them after.
class WheelLines {
public:
    explicit WheelLines(UINT lines)
    {
        ::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &m_saved, 0);
        ::SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, lines, nullptr, 0);
    }
    ~WheelLines() { ::SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, m_saved, nullptr, 0); }
    WheelLines(const WheelLines&) = delete;
    WheelLines& operator=(const WheelLines&) = delete;

private:
    UINT m_saved = 3;
};

class ScrollHelperTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(
            host.CreateEx(0, nullptr, L"Scroll", WS_POPUP | WS_VISIBLE, RECT{0, 0, 400, 300}, nullptr, 0));
        ASSERT_TRUE(host.child.CreateEx(0, L"STATIC", L"child", WS_CHILD | WS_VISIBLE,
                                        RECT{10, 500, 110, 520}, host, 1));
        host.scroller.AttachWnd(&host);
        PumpMessages();
    }
    void Content(int width, int height)
    {
        host.scroller.SetDisplaySize(width, height);
        host.scroller.UpdateScrollInfo();
        PumpMessages();
    }
    int Vertical() const { return host.scroller.GetScrollPos().cy; }
    int ChildTop() const { return host.child.GetRectInParent().top; }
    void Scroll(UINT code) { host.SendMessage(WM_VSCROLL, code); }
    bool HasVerticalBar() const { return (host.GetStyle() & WS_VSCROLL) != 0; }

    ScrollHost host;
};

} // namespace

TEST_F(ScrollHelperTest, ContentThatFitsHasNoBarAndIgnoresTheWheel)
{
    Content(300, 200);
    EXPECT_FALSE(HasVerticalBar());
    EXPECT_EQ(Vertical(), 0);
    EXPECT_EQ(host.scroller.GetPageSize().cy, 0);
    EXPECT_EQ(MouseWheel(host, -WHEEL_DELTA), 1) << "not handled";
    Scroll(SB_LINEDOWN);
    EXPECT_EQ(Vertical(), 0) << "an axis that fits never scrolls";
    EXPECT_EQ(ChildTop(), 500);
}

TEST_F(ScrollHelperTest, TallContentGetsABarSizedToTheWindow)
{
    Content(300, 1000);
    EXPECT_TRUE(HasVerticalBar());
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    ASSERT_TRUE(::GetScrollInfo(host, SB_VERT, &info));
    EXPECT_EQ(info.nMin, 0);
    EXPECT_EQ(info.nMax, 999);
    EXPECT_EQ(info.nPage, 300u) << "the height the window has without a horizontal bar";
    EXPECT_EQ(host.scroller.GetPageSize().cy, 300);
}

TEST_F(ScrollHelperTest, OneWheelNotchWithThreeLinesScrollsOneLineStep)
{
    WheelLines lines(3);
    Content(300, 1000);
    EXPECT_EQ(MouseWheel(host, -WHEEL_DELTA), 0) << "handled";
    EXPECT_EQ(Vertical(), 60);
    EXPECT_EQ(::GetScrollPos(host, SB_VERT), 60);
    EXPECT_EQ(ChildTop(), 440) << "children move with the content";
    MouseWheel(host, -3 * WHEEL_DELTA);
    EXPECT_EQ(Vertical(), 240);
    MouseWheel(host, WHEEL_DELTA);
    EXPECT_EQ(Vertical(), 180);
    // Less than a notch still scrolls one step.
    MouseWheel(host, 30);
    EXPECT_EQ(Vertical(), 120);
}

TEST_F(ScrollHelperTest, MoreWheelLinesScrollMoreSteps)
{
    WheelLines lines(6);
    Content(300, 1000);
    MouseWheel(host, -WHEEL_DELTA);
    EXPECT_EQ(Vertical(), 120);
}

TEST_F(ScrollHelperTest, PageScrollingWheelMovesOnePage)
{
    WheelLines lines(WHEEL_PAGESCROLL);
    Content(300, 1000);
    MouseWheel(host, -WHEEL_DELTA);
    EXPECT_EQ(Vertical(), 300);
    MouseWheel(host, WHEEL_DELTA);
    EXPECT_EQ(Vertical(), 0);
}

TEST_F(ScrollHelperTest, ScrollingStopsAtBothEnds)
{
    Content(300, 1000);
    Scroll(SB_LINEUP);
    EXPECT_EQ(Vertical(), 0);
    Scroll(SB_PAGEDOWN);
    Scroll(SB_PAGEDOWN);
    EXPECT_EQ(Vertical(), 600);
    Scroll(SB_PAGEDOWN);
    EXPECT_EQ(Vertical(), 700) << "the content's end at the window's bottom";
    EXPECT_EQ(ChildTop(), -200);
    Scroll(SB_PAGEDOWN);
    EXPECT_EQ(Vertical(), 700) << "a page down at the end does not move the content";
    EXPECT_EQ(ChildTop(), -200);
    Scroll(SB_LINEDOWN);
    EXPECT_EQ(Vertical(), 700);
    Scroll(SB_PAGEUP);
    Scroll(SB_PAGEUP);
    Scroll(SB_PAGEUP);
    EXPECT_EQ(Vertical(), 0);
    EXPECT_EQ(ChildTop(), 500);
    Scroll(SB_ENDSCROLL);
    EXPECT_EQ(Vertical(), 0);
}

TEST_F(ScrollHelperTest, GrowingTheWindowKeepsThePositionAtTheSameFractionOfThePage)
{
    Content(300, 2000);
    Scroll(SB_PAGEDOWN);
    ASSERT_EQ(Vertical(), 300);
    host.MoveWindow(0, 0, 400, 450);
    host.scroller.UpdateScrollInfo();
    PumpMessages();
    EXPECT_EQ(host.scroller.GetPageSize().cy, 450);
    EXPECT_EQ(Vertical(), 450) << "300 x 450 / 300";
    EXPECT_EQ(::GetScrollPos(host, SB_VERT), 450);
    EXPECT_EQ(ChildTop(), 50) << "the children follow the new position";
}

TEST_F(ScrollHelperTest, ThePositionNeverPassesTheEndAfterAnUpdate)
{
    Content(300, 1000);
    Scroll(SB_PAGEDOWN);
    Scroll(SB_PAGEDOWN);
    Scroll(SB_PAGEDOWN);
    ASSERT_EQ(Vertical(), 700);
    host.MoveWindow(0, 0, 400, 600);
    host.scroller.UpdateScrollInfo();
    PumpMessages();
    // 700 x 600 / 300 would be 1400: capped where scrolling would stop.
    EXPECT_EQ(Vertical(), 400);
    EXPECT_EQ(ChildTop(), 100);
}

TEST_F(ScrollHelperTest, ContentThatShrinksToFitScrollsBackToTheOrigin)
{
    Content(300, 1000);
    Scroll(SB_PAGEDOWN);
    ASSERT_EQ(ChildTop(), 200);
    Content(300, 250);
    EXPECT_EQ(Vertical(), 0);
    EXPECT_FALSE(HasVerticalBar());
    EXPECT_EQ(ChildTop(), 500);
}

TEST_F(ScrollHelperTest, WideContentScrollsHorizontally)
{
    Content(1000, 200);
    EXPECT_TRUE(host.GetStyle() & WS_HSCROLL);
    EXPECT_FALSE(HasVerticalBar());
    host.SendMessage(WM_HSCROLL, SB_LINERIGHT);
    EXPECT_EQ(host.scroller.GetScrollPos().cx, 60);
    EXPECT_EQ(host.child.GetRectInParent().left, -50);
    host.SendMessage(WM_HSCROLL, SB_PAGELEFT);
    EXPECT_EQ(host.scroller.GetScrollPos().cx, 0);
    EXPECT_EQ(MouseWheel(host, -WHEEL_DELTA), 1) << "the wheel scrolls only vertically";
}

TEST_F(ScrollHelperTest, AHelperWithoutAWindowIgnoresEverything)
{
    CScrollHelper lone;
    lone.SetDisplaySize(100, 5000);
    lone.UpdateScrollInfo();
    lone.OnVScroll(SB_PAGEDOWN);
    EXPECT_FALSE(lone.OnMouseWheel(-WHEEL_DELTA));
    EXPECT_EQ(lone.GetScrollPos().cy, 0);
    EXPECT_EQ(lone.GetPageSize().cy, 0);
}

TEST_F(ScrollHelperTest, TheBarsPositionDrivesThumbScrolling)
{
    Content(300, 1000);
    // Outside a real drag the track position is the bar's position.
    ::SetScrollPos(host, SB_VERT, 250, FALSE);
    Scroll(SB_THUMBPOSITION);
    EXPECT_EQ(Vertical(), 250);
    EXPECT_EQ(ChildTop(), 250);
    SaveScreenshot(host, L"ScrollHelper_Scrolled");
}
