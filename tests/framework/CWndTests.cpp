#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <stdexcept>
#include <vector>

#include "framework/CWnd.h"
#include "tests/support/WindowTestSupport.h"

using namespace Tavrin::Test;

namespace {

class RecordingWnd : public CWnd {
public:
    std::vector<UINT> messages;
    int postNcDestroyCalls = 0;
    std::vector<WPARAM> commands;
    bool consumeCommands = true;
    UINT consumeChildNotify = 0;
    int childNotifications = 0;
    bool consumePreTranslate = false;
    int preTranslateCalls = 0;

    bool Saw(UINT message) const
    {
        for (UINT m : messages)
            if (m == message)
                return true;
        return false;
    }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        messages.push_back(message);
        return CWnd::WindowProc(message, wParam, lParam);
    }
    BOOL OnCommand(WPARAM wParam, LPARAM) override
    {
        commands.push_back(wParam);
        return consumeCommands;
    }
    BOOL OnChildNotify(UINT message, WPARAM, LPARAM, LRESULT* result) override
    {
        ++childNotifications;
        if (message != consumeChildNotify)
            return FALSE;
        *result = 42;
        return TRUE;
    }
    BOOL PreTranslateMessage(MSG*) override
    {
        ++preTranslateCalls;
        return consumePreTranslate;
    }
    void PostNcDestroy() override { ++postNcDestroyCalls; }
};

RECT Rect(int x, int y, int cx, int cy)
{
    return RECT{x, y, x + cx, y + cy};
}

} // namespace

TEST(CWnd, CreateExAttachesTheObjectBeforeTheFirstMessages)
{
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, L"Host", WS_OVERLAPPEDWINDOW, Rect(0, 0, 200, 100), nullptr, 0));
    ASSERT_NE(wnd.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(wnd.m_hWnd), &wnd);
    ASSERT_FALSE(wnd.messages.empty());
    EXPECT_TRUE(wnd.Saw(WM_NCCREATE));
    EXPECT_TRUE(wnd.Saw(WM_CREATE));
    EXPECT_EQ(wnd.GetWindowText(), L"Host");

    HWND window = wnd.m_hWnd;
    EXPECT_TRUE(wnd.DestroyWindow());
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_TRUE(wnd.Saw(WM_NCDESTROY));
    EXPECT_EQ(wnd.postNcDestroyCalls, 1);
    EXPECT_EQ(CWnd::FromHandlePermanent(window), nullptr);
}

TEST(CWnd, ChildCreatedInsideWmCreateGetsItsOwnObject)
{
    struct Parent : RecordingWnd {
        RecordingWnd child;
        LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
        {
            if (message == WM_CREATE)
                child.CreateEx(0, L"STATIC", L"inner", WS_CHILD | WS_VISIBLE, Rect(0, 0, 50, 20), m_hWnd, 7);
            return RecordingWnd::WindowProc(message, wParam, lParam);
        }
    } parent;
    ASSERT_TRUE(parent.CreateEx(0, nullptr, L"outer", WS_OVERLAPPEDWINDOW, Rect(0, 0, 200, 100), nullptr, 0));
    ASSERT_NE(parent.child.m_hWnd, nullptr);
    EXPECT_NE(parent.child.m_hWnd, parent.m_hWnd);
    EXPECT_EQ(parent.child.GetParent(), parent.m_hWnd);
    EXPECT_EQ(parent.child.GetDlgCtrlID(), 7);
    EXPECT_EQ(parent.child.GetParentWnd(), &parent);
    EXPECT_TRUE(parent.child.Saw(WM_CREATE));
    EXPECT_EQ(parent.child.GetWindowText(), L"inner");
}

TEST(CWnd, SubclassingRoutesMessagesAndUnsubclassingRestoresTheProcedure)
{
    HWND label = ::CreateWindowExW(0, L"STATIC", L"before", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr, nullptr,
                                   nullptr);
    ASSERT_NE(label, nullptr);
    LONG_PTR original = ::GetWindowLongPtrW(label, GWLP_WNDPROC);
    {
        RecordingWnd wnd;
        ASSERT_TRUE(wnd.SubclassWindow(label));
        EXPECT_NE(::GetWindowLongPtrW(label, GWLP_WNDPROC), original);
        ::SetWindowTextW(label, L"after");
        EXPECT_TRUE(wnd.Saw(WM_SETTEXT));
        // The control's own procedure still ran: the text is stored.
        EXPECT_EQ(wnd.GetWindowText(), L"after");

        RecordingWnd second;
        EXPECT_FALSE(second.SubclassWindow(label)) << "a window has at most one object";

        EXPECT_EQ(wnd.UnsubclassWindow(), label);
        EXPECT_EQ(::GetWindowLongPtrW(label, GWLP_WNDPROC), original);
        EXPECT_EQ(CWnd::FromHandlePermanent(label), nullptr);
        EXPECT_EQ(wnd.m_hWnd, nullptr);
    }
    EXPECT_TRUE(::IsWindow(label));
    ::DestroyWindow(label);
}

namespace {

// Throws from its handling of one message, as a fault in a page's code would.
class ThrowingWnd : public CWnd {
public:
    UINT throwOn = 0;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == throwOn)
            throw std::runtime_error("fault in a handler");
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

LRESULT CALLBACK CountingSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR counter)
{
    if (message == WM_SETTEXT)
        ++*reinterpret_cast<int*>(counter);
    return ::DefSubclassProc(window, message, wParam, lParam);
}

} // namespace

TEST(CWnd, AnExceptionInAHandlerBecomesTheDefaultProcessing)
{
    ThrowingWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, L"STATIC", L"twelve chars", WS_POPUP, Rect(0, 0, 50, 20), nullptr, 0));
    // The control's own procedure answers in place of the failed handler.
    wnd.throwOn = WM_GETTEXTLENGTH;
    EXPECT_EQ(::SendMessageW(wnd.m_hWnd, WM_GETTEXTLENGTH, 0, 0), 12);
    wnd.throwOn = WM_SETTEXT;
    EXPECT_TRUE(::SetWindowTextW(wnd.m_hWnd, L"stored anyway"));
    wnd.throwOn = 0;
    EXPECT_EQ(wnd.GetWindowText(), L"stored anyway");
}

TEST(CWnd, ReleasingTheObjectKeepsASubclassMadeAfterIt)
{
    HWND label =
        ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(label, nullptr);
    int seen = 0;
    {
        RecordingWnd wnd;
        ASSERT_TRUE(wnd.SubclassWindow(label));
        ASSERT_TRUE(::SetWindowSubclass(label, CountingSubclass, 7, reinterpret_cast<DWORD_PTR>(&seen)));
        ::SetWindowTextW(label, L"one");
        EXPECT_TRUE(wnd.Saw(WM_SETTEXT));
    }
    ::SetWindowTextW(label, L"two");
    EXPECT_EQ(seen, 2);
    wchar_t text[8] = {};
    ::GetWindowTextW(label, text, 8);
    EXPECT_STREQ(text, L"two");
    ::RemoveWindowSubclass(label, CountingSubclass, 7);
    ::DestroyWindow(label);
}

TEST(CWnd, ANewObjectTakesAWindowWhoseOldOneLetGoUnderALaterSubclass)
{
    HWND label =
        ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(label, nullptr);
    int seen = 0;
    {
        RecordingWnd first;
        ASSERT_TRUE(first.SubclassWindow(label));
        ASSERT_TRUE(::SetWindowSubclass(label, CountingSubclass, 7, reinterpret_cast<DWORD_PTR>(&seen)));
    }
    EXPECT_EQ(CWnd::FromHandlePermanent(label), nullptr);
    {
        RecordingWnd second;
        ASSERT_TRUE(second.SubclassWindow(label));
        EXPECT_EQ(CWnd::FromHandlePermanent(label), &second);
        ::SetWindowTextW(label, L"three");
        EXPECT_TRUE(second.Saw(WM_SETTEXT));
        EXPECT_EQ(seen, 1);
        // Only one object at a time.
        RecordingWnd third;
        EXPECT_FALSE(third.SubclassWindow(label));
    }
    ::RemoveWindowSubclass(label, CountingSubclass, 7);
    ::SetWindowTextW(label, L"four");
    wchar_t text[8] = {};
    ::GetWindowTextW(label, text, 8);
    EXPECT_STREQ(text, L"four");
    ::DestroyWindow(label);
    EXPECT_EQ(CWnd::FromHandlePermanent(label), nullptr);
}

TEST(CWnd, DestructorDestroysCreatedWindowsAndReleasesSubclassedOnes)
{
    HWND created = nullptr;
    HWND foreign =
        ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    LONG_PTR original = ::GetWindowLongPtrW(foreign, GWLP_WNDPROC);
    {
        RecordingWnd owner;
        ASSERT_TRUE(owner.CreateEx(0, nullptr, L"", WS_POPUP, Rect(0, 0, 10, 10), nullptr, 0));
        created = owner.m_hWnd;
        RecordingWnd borrower;
        ASSERT_TRUE(borrower.SubclassWindow(foreign));
    }
    EXPECT_FALSE(::IsWindow(created));
    ASSERT_TRUE(::IsWindow(foreign));
    EXPECT_EQ(::GetWindowLongPtrW(foreign, GWLP_WNDPROC), original);
    EXPECT_EQ(CWnd::FromHandlePermanent(foreign), nullptr);
    ::DestroyWindow(foreign);
}

TEST(CWnd, ControlNotificationsAreOfferedToTheControlFirst)
{
    RecordingWnd parent;
    ASSERT_TRUE(parent.CreateEx(0, nullptr, L"", WS_POPUP, Rect(0, 0, 200, 100), nullptr, 0));
    RecordingWnd button;
    ASSERT_TRUE(
        button.CreateEx(0, L"BUTTON", L"b", WS_CHILD | BS_PUSHBUTTON, Rect(0, 0, 50, 20), parent, 11));

    // The control leaves the click: the parent's OnCommand sees it.
    ::SendMessageW(parent, WM_COMMAND, MAKEWPARAM(11, BN_CLICKED), reinterpret_cast<LPARAM>(button.m_hWnd));
    EXPECT_EQ(button.childNotifications, 1);
    ASSERT_EQ(parent.commands.size(), 1u);
    EXPECT_EQ(parent.commands[0], MAKEWPARAM(11, BN_CLICKED));

    // The control takes it: the parent never sees it and the result is the control's.
    button.consumeChildNotify = WM_COMMAND;
    LRESULT result = ::SendMessageW(parent, WM_COMMAND, MAKEWPARAM(11, BN_CLICKED),
                                    reinterpret_cast<LPARAM>(button.m_hWnd));
    EXPECT_EQ(result, 42);
    EXPECT_EQ(button.childNotifications, 2);
    EXPECT_EQ(parent.commands.size(), 1u);

    // Notifications by WM_NOTIFY go the same way.
    button.consumeChildNotify = WM_NOTIFY;
    NMHDR header = {button.m_hWnd, 11, static_cast<UINT>(-2)}; // NM_CLICK
    EXPECT_EQ(::SendMessageW(parent, WM_NOTIFY, 11, reinterpret_cast<LPARAM>(&header)), 42);

    // A command without a control (menu, accelerator, posted click) is the parent's alone.
    ::SendMessageW(parent, WM_COMMAND, MAKEWPARAM(12, 0), 0);
    EXPECT_EQ(button.childNotifications, 3);
    EXPECT_EQ(parent.commands.size(), 2u);
}

TEST(CWnd, PreTranslationWalksFromTheTargetUpToTheLastWindow)
{
    RecordingWnd parent;
    ASSERT_TRUE(parent.CreateEx(0, nullptr, L"", WS_POPUP, Rect(0, 0, 200, 100), nullptr, 0));
    RecordingWnd child;
    ASSERT_TRUE(child.CreateEx(0, nullptr, L"", WS_CHILD, Rect(0, 0, 50, 20), parent, 1));

    MSG message = {child.m_hWnd, WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
    EXPECT_FALSE(CWnd::WalkPreTranslateTree(parent, &message));
    EXPECT_EQ(child.preTranslateCalls, 1);
    EXPECT_EQ(parent.preTranslateCalls, 1);

    child.consumePreTranslate = true;
    EXPECT_TRUE(CWnd::WalkPreTranslateTree(parent, &message));
    EXPECT_EQ(child.preTranslateCalls, 2);
    EXPECT_EQ(parent.preTranslateCalls, 1) << "the walk stops at the window that consumed the message";

    // The walk never goes above the last window.
    child.consumePreTranslate = false;
    EXPECT_FALSE(CWnd::WalkPreTranslateTree(child, &message));
    EXPECT_EQ(parent.preTranslateCalls, 1);
}

TEST(CWnd, HelpersReportGeometryInTheParentsCoordinates)
{
    RecordingWnd parent;
    ASSERT_TRUE(parent.CreateEx(0, nullptr, L"", WS_POPUP | WS_VISIBLE, Rect(30, 40, 300, 200), nullptr, 0));
    RecordingWnd child;
    ASSERT_TRUE(child.CreateEx(0, nullptr, L"", WS_CHILD | WS_VISIBLE, Rect(10, 20, 50, 30), parent, 3));
    RECT inParent = child.GetRectInParent();
    EXPECT_EQ(inParent.left, 10);
    EXPECT_EQ(inParent.top, 20);
    EXPECT_EQ(inParent.right, 60);
    EXPECT_EQ(inParent.bottom, 50);
    RECT client = child.GetClientRect();
    EXPECT_EQ(client.right, 50);
    EXPECT_EQ(client.bottom, 30);
    EXPECT_EQ(parent.GetDlgItem(3), child.m_hWnd);

    child.MoveWindow(5, 6, 70, 80);
    inParent = child.GetRectInParent();
    EXPECT_EQ(inParent.left, 5);
    EXPECT_EQ(inParent.bottom, 86);
    EXPECT_TRUE(child.ModifyStyle(0, WS_DISABLED));
    EXPECT_FALSE(child.IsWindowEnabled());
    EXPECT_FALSE(child.ModifyStyle(0, WS_DISABLED)) << "nothing changed";
}
