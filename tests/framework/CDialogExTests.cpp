#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "framework/CButton.h"
#include "framework/CDialogEx.h"
#include "tests/support/WindowTestSupport.h"

using namespace Tavrin::Test;

namespace {

constexpr int kLabelId = 1001;
constexpr int kButtonId = 1002;
constexpr int kOtherButtonId = 1003;

DialogTemplate PopupForm()
{
    DialogTemplate form(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0, 0, 200, 100,
                        L"Dialog under test");
    form.AddStatic(kLabelId, L"Label text", SS_LEFT, 10, 10, 100, 10);
    form.AddButton(kButtonId, L"Push", BS_PUSHBUTTON | WS_TABSTOP, 10, 30, 50, 14);
    form.AddButton(IDOK, L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 80, 70, 50, 14);
    form.AddButton(IDCANCEL, L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, 140, 70, 50, 14);
    return form;
}

// A result no step of a test produces: the safety timer ended the run.
constexpr INT_PTR kTimedOut = -2;

// A dialog whose initialisation runs a test's step once the dialog exists.
// A modal run that nothing ends is ended by a timer after five seconds.
class ScriptedDialog : public CDialogEx {
public:
    std::function<void(ScriptedDialog&)> onInit;
    CWnd label;
    CButton button;
    bool boundLabel = false;
    bool boundButton = false;
    int okCalls = 0;
    int cancelCalls = 0;
    std::vector<WPARAM> commands;

protected:
    void DoDataExchange() override
    {
        boundLabel = BindControl(kLabelId, label);
        boundButton = BindControl(kButtonId, button);
    }
    BOOL OnInitDialog() override
    {
        CDialogEx::OnInitDialog();
        if (IsModal())
            ::SetTimer(m_hWnd, 1, 5000, nullptr);
        if (onInit)
            onInit(*this);
        return TRUE;
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_TIMER && wParam == 1) {
            EndDialog(static_cast<int>(kTimedOut));
            return 0;
        }
        return CDialogEx::WindowProc(message, wParam, lParam);
    }
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override
    {
        commands.push_back(wParam);
        return CDialogEx::OnCommand(wParam, lParam);
    }
    void OnOK() override
    {
        ++okCalls;
        CDialogEx::OnOK();
    }
    void OnCancel() override
    {
        ++cancelCalls;
        CDialogEx::OnCancel();
    }
};

} // namespace

TEST(CDialogEx, ModalRunBindsControlsAndEndsWithTheCommandsResult)
{
    DialogTemplate form = PopupForm();
    ScriptedDialog dialog;
    dialog.InitModalIndirect(form.Get());
    HWND seen = nullptr;
    dialog.onInit = [&](ScriptedDialog& d) {
        seen = d.m_hWnd;
        d.PostMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(d.GetDlgItem(IDOK)));
    };
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_TRUE(dialog.boundLabel);
    EXPECT_TRUE(dialog.boundButton);
    EXPECT_EQ(dialog.okCalls, 1);
    EXPECT_EQ(dialog.cancelCalls, 0);
    // The window is gone after the run, and so are the bindings.
    EXPECT_FALSE(::IsWindow(seen));
    EXPECT_EQ(dialog.m_hWnd, nullptr);
    EXPECT_EQ(dialog.label.m_hWnd, nullptr);
}

TEST(CDialogEx, BoundControlsAreSubclassedAndKeepTheirItemText)
{
    DialogTemplate form = PopupForm();
    ScriptedDialog dialog;
    dialog.InitModalIndirect(form.Get());
    std::wstring labelText;
    bool labelAttached = false;
    dialog.onInit = [&](ScriptedDialog& d) {
        labelText = d.label.GetWindowText();
        labelAttached = CWnd::FromHandlePermanent(d.GetDlgItem(kLabelId)) == &d.label;
        d.EndDialog(77);
    };
    EXPECT_EQ(dialog.DoModal(), 77);
    EXPECT_TRUE(labelAttached);
    EXPECT_EQ(labelText, L"Label text");
}

TEST(CDialogEx, BindingTheSameItemTwiceOrAMissingItemFails)
{
    DialogTemplate form = PopupForm();
    ScriptedDialog dialog;
    ASSERT_TRUE(dialog.CreateIndirect(form.Get(), nullptr));
    CWnd again;
    EXPECT_FALSE(again.SubclassDlgItem(kLabelId, dialog));
    CWnd missing;
    EXPECT_FALSE(missing.SubclassDlgItem(4242, dialog));
}

TEST(CDialogEx, EscapeEndsTheModalDialogWithCancel)
{
    DialogTemplate form = PopupForm();
    ScriptedDialog dialog;
    dialog.InitModalIndirect(form.Get());
    dialog.onInit = [](ScriptedDialog& d) { PressKey(d.GetDlgItem(kButtonId), VK_ESCAPE); };
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(dialog.cancelCalls, 1);
}

TEST(CDialogEx, EnterRunsTheDefaultButton)
{
    DialogTemplate form = PopupForm();
    ScriptedDialog dialog;
    dialog.InitModalIndirect(form.Get());
    dialog.onInit = [](ScriptedDialog& d) { PressKey(d.GetDlgItem(kButtonId), VK_RETURN); };
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.okCalls, 1);
}

TEST(CDialogEx, TheTitleBarCloseEndsWithCancel)
{
    DialogTemplate form = PopupForm();
    ScriptedDialog dialog;
    dialog.InitModalIndirect(form.Get());
    dialog.onInit = [](ScriptedDialog& d) { d.PostMessage(WM_CLOSE); };
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(dialog.cancelCalls, 1);
}

TEST(CDialogEx, OtherNotificationsOfTheOkControlAreNotCommands)
{
    DialogTemplate form = PopupForm();
    ScriptedDialog dialog;
    ASSERT_TRUE(dialog.CreateIndirect(form.Get(), nullptr));
    dialog.SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_SETFOCUS),
                       reinterpret_cast<LPARAM>(dialog.GetDlgItem(IDOK)));
    EXPECT_EQ(dialog.okCalls, 0);
    dialog.SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                       reinterpret_cast<LPARAM>(dialog.GetDlgItem(IDOK)));
    EXPECT_EQ(dialog.okCalls, 1);
    // A dialog that is not modal is hidden by its OK, not destroyed.
    EXPECT_TRUE(::IsWindow(dialog.m_hWnd));
    EXPECT_FALSE(dialog.IsWindowVisible());
}

TEST(CDialogEx, TheOwnerIsDisabledDuringTheRunAndEnabledAfter)
{
    DialogTemplate ownerForm(WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, 0, 100, 50, L"Owner");
    ScriptedDialog owner;
    ASSERT_TRUE(owner.CreateIndirect(ownerForm.Get(), nullptr));

    DialogTemplate form = PopupForm();
    class Owned : public CDialogEx {
    public:
        explicit Owned(CWnd* ownerWnd) : CDialogEx(0, ownerWnd) {}
        bool ownerWasEnabled = true;
        HWND ownerWindow = nullptr;

    protected:
        BOOL OnInitDialog() override
        {
            PostMessage(WM_APP);
            return TRUE;
        }
        LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
        {
            if (message == WM_APP) {
                ownerWasEnabled = ::IsWindowEnabled(ownerWindow) != FALSE;
                EndDialog(IDOK);
                return 0;
            }
            return CDialogEx::WindowProc(message, wParam, lParam);
        }
    } owned(&owner);
    owned.ownerWindow = owner.m_hWnd;
    owned.InitModalIndirect(form.Get());
    EXPECT_EQ(owned.DoModal(), IDOK);
    EXPECT_FALSE(owned.ownerWasEnabled);
    EXPECT_TRUE(owner.IsWindowEnabled());
}

TEST(CDialogEx, AMissingTemplateFailsTheRunWithoutAWindow)
{
    // No dialog resource has this number.
    CDialogEx missing(0x7FFE);
    EXPECT_EQ(missing.DoModal(), -1);
    EXPECT_EQ(missing.m_hWnd, nullptr);
    EXPECT_FALSE(missing.Create(0x7FFE, nullptr));
}

TEST(CDialogEx, EndDialogFromAnotherThreadWakesTheModalLoop)
{
    DialogTemplate form = PopupForm();
    ScriptedDialog dialog;
    dialog.InitModalIndirect(form.Get());
    std::thread worker;
    dialog.onInit = [&](ScriptedDialog& d) {
        worker = std::thread([&d] {
            ::Sleep(100);
            d.EndDialog(5);
        });
    };
    EXPECT_EQ(dialog.DoModal(), 5);
    worker.join();
}

TEST(CDialogEx, EscapeInAChildDialogEndsTheModalDialogNotTheChild)
{
    // A page: a child dialog inside the modal one. Its IDCANCEL control is
    // a command of the page, so the page must never get Escape as IDCANCEL.
    DialogTemplate pageForm(WS_CHILD | WS_VISIBLE, 0, 0, 150, 60);
    pageForm.AddButton(IDCANCEL, L"Reset", BS_PUSHBUTTON | WS_TABSTOP, 10, 10, 60, 14);
    pageForm.AddButton(IDOK, L"Done", BS_PUSHBUTTON | WS_TABSTOP, 80, 10, 60, 14);
    DialogTemplate form = PopupForm();

    ScriptedDialog page;
    ScriptedDialog dialog;
    dialog.InitModalIndirect(form.Get());
    bool childStyleOk = false;
    dialog.onInit = [&](ScriptedDialog& d) {
        ASSERT_TRUE(page.CreateIndirect(pageForm.Get(), &d));
        childStyleOk = (page.GetStyle() & WS_CHILD) && (page.GetExStyle() & WS_EX_CONTROLPARENT);
        ::SetFocus(page.GetDlgItem(IDOK));
        PressKey(page.GetDlgItem(IDOK), VK_ESCAPE);
    };
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_TRUE(childStyleOk);
    EXPECT_EQ(page.cancelCalls, 0);
    EXPECT_EQ(dialog.cancelCalls, 1);
}

TEST(CDialogEx, AChildDialogsButtonsReachTheChild)
{
    DialogTemplate pageForm(WS_CHILD | WS_VISIBLE, 0, 0, 150, 60);
    pageForm.AddButton(kOtherButtonId, L"Other", BS_PUSHBUTTON | WS_TABSTOP, 10, 10, 60, 14);
    ScriptedDialog host;
    ASSERT_TRUE(host.CreateIndirect(PopupForm().Get(), nullptr));
    ScriptedDialog page;
    ASSERT_TRUE(page.CreateIndirect(pageForm.Get(), &host));
    host.ShowWindow(SW_SHOW);
    PumpMessages();
    HWND button = page.GetDlgItem(kOtherButtonId);
    ASSERT_NE(button, nullptr);
    ::SendMessageW(button, BM_CLICK, 0, 0);
    PumpMessages();
    ASSERT_EQ(page.commands.size(), 1u);
    EXPECT_EQ(LOWORD(page.commands[0]), kOtherButtonId);
    EXPECT_EQ(HIWORD(page.commands[0]), BN_CLICKED);
    EXPECT_TRUE(host.commands.empty());
}
