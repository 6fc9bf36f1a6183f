#pragma once
#include <gtest/gtest.h>

#include <windows.h>

#include "framework/CDialogEx.h"
#include "res/resource.h"
#include "tests/support/WindowTestSupport.h"
#include "ui/pages/PageMessages.h"

// The main window's stand-in for tests of one page: a top-level dialog, as
// the main window is, that hosts the page and counts its "Done".
//
//     PageHost host;
//     ASSERT_TRUE(host.Create());
//     ASSERT_TRUE(page.Create(IDD_RECLAMATION, &host));
//     page.MoveWindow(host.GetClientRect());
//
// A page tried at another size has a host made from the test's own template
// (CreateIndirect).
//
// Only the test programs that link the pages include it, so the shared
// support library itself stays free of windows classes.
namespace Tavrin::Test {

class PageHost : public CDialogEx {
public:
    // A host whose client area is the main window's, measured from the main
    // window's own template.
    bool Create()
    {
        const SIZE client = MainWindowClient();
        DialogTemplate form(kStyle, 0, 0, 0, 0, L"Orvane Tools");
        if (!CreateIndirect(form.Get(), nullptr))
            return false;
        RECT frame = {0, 0, client.cx, client.cy};
        ::AdjustWindowRectEx(&frame, kStyle, FALSE, GetExStyle());
        return SetWindowPos(nullptr, 40, 40, frame.right - frame.left, frame.bottom - frame.top,
                            SWP_NOZORDER) != FALSE;
    }

    // The pages' "Done" messages so far; each carries no parameters.
    int DoneCount() const { return m_doneCount; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_PAGE_DONE) {
            EXPECT_EQ(wParam, 0u);
            EXPECT_EQ(lParam, 0);
            ++m_doneCount;
            return 0;
        }
        return CDialogEx::WindowProc(message, wParam, lParam);
    }

private:
    static constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE;

    static INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM)
    {
        return message == WM_INITDIALOG;
    }
    static SIZE MainWindowClient()
    {
        HWND main = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_TAVRIN_DIALOG),
                                         nullptr, PlainDialogProc, 0);
        RECT client = {};
        ::GetClientRect(main, &client);
        ::DestroyWindow(main);
        return {client.right, client.bottom};
    }

    int m_doneCount = 0;
};

} // namespace Tavrin::Test
