#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "tests/support/ProgramTestSupport.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WindowTestSupport.h"

using namespace Tavrin::Test;

namespace {

const wchar_t kFailureText[] = L"Failed to initialize UI: Please reinstall the application";

bool ShowsFailureText(HWND box)
{
    for (HWND child : ChildrenOf(box))
        if (TextOf(child) == kFailureText)
            return true;
    return false;
}

// A copy of tavrin.exe alone in a folder of its own, so that the test decides
// what lies beside it.
class ProgramCopy : public ::testing::Test {
protected:
    void SetUp() override
    {
        exe = folder.File(L"tavrin.exe");
        ASSERT_TRUE(::CopyFileW((BinFolder() + L"\\tavrin.exe").c_str(), exe.c_str(), FALSE));
    }

    // Starts the copy in the working folder and waits for its message box.
    HWND StartAndWaitForBox(const std::wstring& workingFolder)
    {
        program = std::make_unique<RunningProgram>(L"", exe, workingFolder);
        if (!program->Started())
            return nullptr;
        return WaitForWindowOf(program->Id(), ProgramWindow::MessageBox, 30000);
    }

    // The failure box appears, says what it should, is captured, is answered
    // by a click on its only button, and then the process ends.
    void ExpectFailureBoxThenExit(const std::wstring& screenshot)
    {
        HWND box = StartAndWaitForBox(folder.Path());
        ASSERT_NE(box, nullptr) << "no message box appeared";
        EXPECT_EQ(TextOf(box), L"tavrin");
        EXPECT_EQ(::GetWindow(box, GW_OWNER), nullptr);
        EXPECT_TRUE(ShowsFailureText(box));

        HWND ok = nullptr;
        int buttons = 0;
        for (HWND child : ChildrenOf(box)) {
            if (_wcsicmp(ClassOf(child).c_str(), L"Button") == 0 && ::IsWindowVisible(child)) {
                ++buttons;
                if (::GetDlgCtrlID(child) == IDOK)
                    ok = child;
            }
        }
        EXPECT_EQ(buttons, 1);
        ASSERT_NE(ok, nullptr);
        EXPECT_EQ(TextOf(ok), L"OK");

        // Let the box finish painting before it is read from the screen.
        ::Sleep(500);
        ::SetForegroundWindow(box);
        ::RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        ::Sleep(300);
        EXPECT_TRUE(CaptureScreenOf(box).SavePng(ScreenshotPath(screenshot)));

        // Nothing goes on behind the box: the process waits for the answer.
        EXPECT_FALSE(program->WaitForExit(0));
        ::PostMessageW(ok, BM_CLICK, 0, 0);
        EXPECT_TRUE(program->WaitForExit(20000)) << "the process kept running after the message was answered";
    }

    TempFolder folder;
    std::wstring exe;
    FramedProgramWindows framed;
    std::unique_ptr<RunningProgram> program;
};

} // namespace

TEST_F(ProgramCopy, MissingSkinDescriptionShowsTheFailureAndEnds)
{
    ExpectFailureBoxThenExit(L"skin-load-failure-missing");
}

TEST_F(ProgramCopy, MalformedSkinDescriptionShowsTheFailureAndEnds)
{
    ASSERT_TRUE(WriteFileBytes(folder.File(L"ui.xml"), "<?xml version=\"1.0\"?><ui><colors><mainframe>"
                                                       "<bg hex=\"#FFFFFF\"></colors></ui>"));
    ExpectFailureBoxThenExit(L"skin-load-failure-malformed");
}

TEST_F(ProgramCopy, SkinDescriptionInAnotherFolderIsNotUsed)
{
    // The current folder of the starter holds a valid description; only the
    // program's own folder counts.
    TempFolder elsewhere;
    ASSERT_TRUE(WriteFileBytes(elsewhere.File(L"ui.xml"), "<ui><colors/></ui>"));
    HWND box = StartAndWaitForBox(elsewhere.Path());
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(ShowsFailureText(box));
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(program->WaitForExit(20000));
}
