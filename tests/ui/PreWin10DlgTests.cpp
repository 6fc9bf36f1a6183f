// The pre-upgrade dialog and its pages inside the test process: drawing,
// page switching and the end of the dialog while its scan runs.
#include <gtest/gtest.h>

#include <exdisp.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "platform/ComPtr.h"
#include "res/resource.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WindowTestSupport.h"
#include "tests/ui/LinkStandIns.h"
#include "tests/ui/SampleResults.h"
#include "ui/pages/PreWin10Dlg.h"
#include "ui/skin/Skin.h"

using Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT;
using Tavrin::Test::BinFolder;
using Tavrin::Test::CaptureWindow;
using Tavrin::Test::kGiB;
using Tavrin::Test::PumpMessages;
using Tavrin::Test::PumpMessagesFor;
using Tavrin::Test::PumpUntil;
using Tavrin::Test::ReadyPc;
using Tavrin::Test::SaveScreenshot;
using Tavrin::Test::ScopedCurrentFolder;
using Tavrin::Test::TempFolder;
using Tavrin::Test::WindowCapture;

namespace {

SIZE ImageSize(const std::wstring& relativePath)
{
    Gdiplus::Image image((BinFolder() + L"\\" + relativePath).c_str());
    return {static_cast<LONG>(image.GetWidth()), static_cast<LONG>(image.GetHeight())};
}

int CountNotWhite(const WindowCapture& capture, const RECT& area)
{
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (capture.At(x, y) != RGB(255, 255, 255))
                ++count;
    return count;
}

RECT RectIn(HWND child, HWND parent)
{
    RECT rect = {};
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// The skin beside the test program, and a folder of its own as the current
// one, where the scan writes its files.
class PreWin10Window : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(theSkin.Load(BinFolder() + L"\\ui.xml", ::GetModuleHandleW(nullptr)));
        ASSERT_TRUE(inFolder.Entered());
    }

    bool Saved(const wchar_t* name) const
    {
        return ::GetFileAttributesW(folder.File(name).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    // The dialog as the program shows it, but without its modal loop.
    std::unique_ptr<CPreWin10Dlg> ShowDialog(COMPATIBILITY_RESULT* result,
                                             CPreWin10Dlg::ScanPacing pacing = CPreWin10Dlg::ScanPacing())
    {
        auto dialog = std::make_unique<CPreWin10Dlg>(result, pacing);
        if (!dialog->Create(IDD_PREWIN10, nullptr))
            return nullptr;
        dialog->ShowWindow(SW_SHOW);
        PumpMessages();
        return dialog;
    }

    TempFolder folder;
    ScopedCurrentFolder inFolder{folder.Path()};
};

} // namespace

TEST_F(PreWin10Window, StartViewShowsTheHeaderAndStartScanWithBothPagesHidden)
{
    COMPATIBILITY_RESULT r = ReadyPc();
    auto dialog = ShowDialog(&r);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->GetWindowText(), L"Orvane Tools");
    EXPECT_TRUE(::IsWindowVisible(dialog->GetDlgItem(IDC_START_SCAN)));
    EXPECT_FALSE(dialog->ScanPage().IsWindowVisible());
    EXPECT_FALSE(dialog->ResultsPage().IsWindowVisible());
    EXPECT_NE(::SendMessageW(*dialog, WM_GETICON, ICON_BIG, 0), 0);

    WindowCapture capture = CaptureWindow(*dialog);
    ASSERT_FALSE(capture.Empty());
    // Navy behind the header's sides, white below the header.
    const SIZE header = ImageSize(L"images\\headers\\pre-title.PNG");
    ASSERT_GT(header.cy, 0);
    EXPECT_EQ(capture.At(capture.Width() / 2, capture.Height() - 5), RGB(255, 255, 255));
    EXPECT_EQ(capture.At(capture.Width() / 2, header.cy + 2), RGB(255, 255, 255));
    if (header.cx < capture.Width()) {
        EXPECT_EQ(capture.At(0, 2), RGB(0x04, 0x23, 0x4F));
    }
    SaveScreenshot(*dialog, L"prewin10-inprocess-start");
}

TEST_F(PreWin10Window, ScanPageDrawsEachMarkLeftOfItsLabel)
{
    COMPATIBILITY_RESULT r = ReadyPc();
    auto dialog = ShowDialog(&r);
    ASSERT_TRUE(dialog);
    CScanDlg& page = dialog->ScanPage();
    page.MoveWindow(dialog->GetClientRect());
    page.ShowWindow(SW_SHOW);
    page.SetStepState(0, CScanDlg::kPassed);
    page.SetStepState(1, CScanDlg::kFailed);
    page.SetStepState(2, 7); // any other value is a failure too
    page.SetStepState(6, CScanDlg::kPassed);
    page.Invalidate();
    PumpMessages();

    const SIZE mark = ImageSize(L"images\\windows\\failed_small.PNG");
    ASSERT_GT(mark.cx, 0);
    WindowCapture capture = CaptureWindow(page);
    std::vector<COLORREF> centres;
    for (int step = 0; step < CScanDlg::kStepCount; ++step) {
        RECT label = RectIn(page.GetDlgItem(IDC_STEP_FIRST + step), page);
        const int top = static_cast<int>(label.top + (label.bottom - label.top - mark.cy) / 2);
        RECT area = {label.left - 5 - mark.cx, top, label.left - 5, top + mark.cy};
        const int marked = CountNotWhite(capture, area);
        const bool expectMark = step <= 2 || step == 6;
        if (expectMark) {
            EXPECT_GT(marked, mark.cx * mark.cy / 4) << "step " << step;
        } else {
            EXPECT_EQ(marked, 0) << "step " << step;
        }
        centres.push_back(capture.At((area.left + area.right) / 2, (area.top + area.bottom) / 2));
    }
    // Failed marks look alike and differ from the passed ones.
    EXPECT_EQ(centres[1], centres[2]);
    EXPECT_EQ(centres[0], centres[6]);
    EXPECT_NE(centres[0], centres[1]);
    EXPECT_EQ(page.StepLabel(0).GetTextColor(), 0xFF000000u);
    EXPECT_EQ(page.StepLabel(0).GetText(), L"Windows System Requirments");
    EXPECT_EQ(page.StepLabel(8).GetText(), L"Recording File Extension Associations");
    SaveScreenshot(*dialog, L"prewin10-inprocess-marks");
}

TEST_F(PreWin10Window, ResultsPageShowsEachOutcome)
{
    struct Case {
        const wchar_t* name;
        Tavrin::Core::WindowsVersionCode windowsVersion;
        int processorSpeed;
        int outcome;
    };
    const Case cases[] = {{L"ready", Tavrin::Core::WindowsVersionCode::Windows81, 2400, 0},
                          {L"issues", Tavrin::Core::WindowsVersionCode::Windows7WithoutServicePack, 2400, 1},
                          {L"not-ready", Tavrin::Core::WindowsVersionCode::NotEligible, 900, 2}};
    const SIZE mark = ImageSize(L"images\\windows\\checked.png");
    std::vector<COLORREF> markCentres;
    for (const Case& c : cases) {
        COMPATIBILITY_RESULT r = ReadyPc();
        r.windowsVersion = c.windowsVersion;
        r.processorSpeed = c.processorSpeed;
        r.systemDriveSize = 30 * kGiB; // adds the note without a bullet
        auto dialog = ShowDialog(&r);
        ASSERT_TRUE(dialog);
        ::ShowWindow(dialog->GetDlgItem(IDC_START_SCAN), SW_HIDE);
        CResulstDlg& page = dialog->ResultsPage();
        page.FillResults(&r);
        page.MoveWindow(dialog->GetClientRect());
        page.ShowWindow(SW_SHOW);
        PumpMessages();
        EXPECT_EQ(page.Outcome(), c.outcome);
        EXPECT_EQ(::IsWindowVisible(page.GetDlgItem(IDC_UPGRADE_NOW)) != FALSE, c.outcome == 0) << c.name;
        EXPECT_EQ(page.GetDlgItemText(IDC_RESULT_SUBTITLE), page.Subtitle().GetText());
        EXPECT_EQ(page.Disclaimer().GetText(), Tavrin::UI::kDisclaimerText);
        ASSERT_NE(page.Title().GetLabelFont(), nullptr);
        EXPECT_EQ(page.Title().GetTextColor(), 0xFF000000u);

        WindowCapture capture = CaptureWindow(page);
        RECT subtitle = RectIn(page.GetDlgItem(IDC_RESULT_SUBTITLE), page);
        const int top = static_cast<int>(subtitle.top + (subtitle.bottom - subtitle.top - mark.cy) / 2);
        RECT markArea = {subtitle.left - 10 - mark.cx, top, subtitle.left - 10, top + mark.cy};
        EXPECT_GT(CountNotWhite(capture, markArea), mark.cx * mark.cy / 4) << c.name;
        markCentres.push_back(
            capture.At((markArea.left + markArea.right) / 2, (markArea.top + markArea.bottom) / 2));
        // Each message whole, from below the mark, one after the other,
        // the long storage note on more lines than one.
        EXPECT_TRUE(page.CutLines().empty()) << c.name;
        const std::vector<RECT>& boxes = page.MessageBoxes();
        ASSERT_EQ(boxes.size(), page.Lines().size()) << c.name;
        LONG nextTop = top + mark.cy;
        LONG tallest = 0;
        LONG lowest = LONG_MAX;
        for (const RECT& box : boxes) {
            EXPECT_NEAR(box.top, nextTop, 1) << c.name;
            EXPECT_GT(CountNotWhite(capture, box), 50) << c.name;
            nextTop = box.bottom;
            tallest = std::max(tallest, box.bottom - box.top);
            lowest = std::min(lowest, box.bottom - box.top);
        }
        EXPECT_GT(tallest, lowest) << c.name;
        RECT text = {boxes.front().left, boxes.front().top, boxes.front().right, boxes.back().bottom};
        RECT belowText = {subtitle.left + 10, text.bottom + 2, subtitle.right, text.bottom + 14};
        EXPECT_EQ(CountNotWhite(capture, belowText), 0) << c.name;
        // The messages wrap at the white panel; the blue border to their
        // right stays clear.
        RECT client = page.GetClientRect();
        RECT border = {client.right - 19, text.top, client.right, text.bottom};
        EXPECT_EQ(capture.Count(RGB(0x0C, 0x6E, 0xC5), border),
                  (border.right - border.left) * (border.bottom - border.top))
            << c.name;
        SaveScreenshot(*dialog, std::wstring(L"prewin10-inprocess-results-") + c.name);
    }
    // Each outcome has its own mark.
    EXPECT_NE(markCentres[0], markCentres[1]);
    EXPECT_NE(markCentres[1], markCentres[2]);
}

TEST_F(PreWin10Window, ResultsPageWithoutRoomCutsMessagesButKeepsALineOfEach)
{
    COMPATIBILITY_RESULT r; // nothing measured: every failure and note
    auto dialog = ShowDialog(&r);
    ASSERT_TRUE(dialog);
    CResulstDlg& page = dialog->ResultsPage();
    page.FillResults(&r);
    page.MoveWindow(dialog->GetClientRect());
    page.ShowWindow(SW_SHOW);
    PumpMessages();
    const std::vector<RECT> roomy = page.MessageBoxes();
    ASSERT_EQ(roomy.size(), page.Lines().size());
    LONG lineHeight = LONG_MAX;
    for (const RECT& box : roomy)
        lineHeight = std::min(lineHeight, box.bottom - box.top);

    // The disclaimer moved up leaves about a line per message and one more.
    HWND disclaimer = page.GetDlgItem(IDC_DISCLAIMER);
    const auto disclaimerTop =
        static_cast<int>(roomy.front().top + (roomy.size() + 1) * (lineHeight + 1) + 6);
    const RECT box = RectIn(disclaimer, page);
    ::MoveWindow(disclaimer, box.left, disclaimerTop, box.right - box.left, 40, TRUE);
    page.Invalidate();
    PumpMessages();
    ASSERT_EQ(page.MessageBoxes().size(), roomy.size());
    EXPECT_LE(page.MessageBoxes().back().bottom, disclaimerTop);
    EXPECT_FALSE(page.CutLines().empty());
    const WindowCapture capture = CaptureWindow(page);
    for (const RECT& message : page.MessageBoxes())
        EXPECT_GT(CountNotWhite(capture, message), 50);
    SaveScreenshot(*dialog, L"prewin10-inprocess-results-no-room");
}

TEST_F(PreWin10Window, UpgradeNowHasTheDesktopShellOpenTheWebAddressWithTheRedirectionLeftOn)
{
    // With the redirection off, the shell's own loads can fail in a 32-bit
    // process on 64-bit Windows and the browser silently never opens.
    Tavrin::Test::WebAddressStandIn browser(folder.Path());
    ASSERT_TRUE(browser.Ready());
    Tavrin::Test::WebAddressStandIn planted(folder.Path(),
                                            Tavrin::Test::WebAddressStandIn::Where::PlantedByUser);
    ASSERT_TRUE(planted.Ready());
    COMPATIBILITY_RESULT r = ReadyPc();
    auto dialog = ShowDialog(&r);
    ASSERT_TRUE(dialog);
    CResulstDlg& page = dialog->ResultsPage();
    page.FillResults(&r);
    page.ShowWindow(SW_SHOW);
    Tavrin::Test::RedirectionRecorder redirection;
    page.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_UPGRADE_NOW, BN_CLICKED),
                     reinterpret_cast<LPARAM>(page.GetDlgItem(IDC_UPGRADE_NOW)));
    ASSERT_TRUE(PumpUntil([&] { return !browser.Log().empty(); }, 20000)) << "no web address was opened";
    const std::wstring address = Tavrin::UI::kUpgradePageAddress;
    EXPECT_EQ(browser.Log(), std::string(address.begin(), address.end()) + "\n");
    // The desktop's shell started the browser as the logged-on user; this
    // program, which runs elevated, started nothing.
    EXPECT_EQ(browser.Parents(), "explorer.exe\n");
    EXPECT_EQ(planted.Log(), "");
    EXPECT_EQ(redirection.Seen(), std::vector<std::string>{});
}

namespace {

// While it lives, this thread finds no desktop shell: the shell's list of
// windows, which the desktop's Explorer serves, cannot be made.
class NoDesktopShell : public IClassFactory {
public:
    NoDesktopShell()
        : m_registered(SUCCEEDED(::CoRegisterClassObject(CLSID_ShellWindows, this, CLSCTX_LOCAL_SERVER,
                                                         REGCLS_MULTIPLEUSE, &m_cookie)))
    {
    }
    virtual ~NoDesktopShell()
    {
        if (m_registered)
            ::CoRevokeClassObject(m_cookie);
    }
    NoDesktopShell(const NoDesktopShell&) = delete;
    NoDesktopShell& operator=(const NoDesktopShell&) = delete;
    bool Registered() const { return m_registered; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        *object = iid == IID_IUnknown || iid == IID_IClassFactory ? this : nullptr;
        return *object ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, void** object) override
    {
        *object = nullptr;
        return CO_E_SERVER_EXEC_FAILURE;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    Tavrin::Platform::ComApartment m_apartment;
    DWORD m_cookie = 0;
    bool m_registered;
};

} // namespace

TEST_F(PreWin10Window, UpgradeNowOpensNothingWithoutTheDesktopShell)
{
    // No handler is looked up in its place, the user's or the machine's.
    Tavrin::Test::WebAddressStandIn browser(folder.Path());
    ASSERT_TRUE(browser.Ready());
    NoDesktopShell noShell;
    ASSERT_TRUE(noShell.Registered());
    COMPATIBILITY_RESULT r = ReadyPc();
    auto dialog = ShowDialog(&r);
    ASSERT_TRUE(dialog);
    CResulstDlg& page = dialog->ResultsPage();
    page.FillResults(&r);
    page.ShowWindow(SW_SHOW);
    page.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_UPGRADE_NOW, BN_CLICKED),
                     reinterpret_cast<LPARAM>(page.GetDlgItem(IDC_UPGRADE_NOW)));
    // Whatever would have started has had time to write its line.
    PumpMessagesFor(3000);
    EXPECT_EQ(browser.Log(), "");
}

TEST_F(PreWin10Window, ScanMarksTheStepsSavesTheFilesAndShowsTheResults)
{
    COMPATIBILITY_RESULT r = ReadyPc();
    r.displayOk = false;
    auto dialog = ShowDialog(&r);
    ASSERT_TRUE(dialog);
    const DWORD start = ::GetTickCount();
    ::SendMessageW(*dialog, WM_COMMAND, MAKEWPARAM(IDC_START_SCAN, BN_CLICKED),
                   reinterpret_cast<LPARAM>(dialog->GetDlgItem(IDC_START_SCAN)));
    EXPECT_TRUE(dialog->ScanStarted());
    EXPECT_FALSE(::IsWindowVisible(dialog->GetDlgItem(IDC_START_SCAN)));
    EXPECT_TRUE(dialog->ScanPage().IsWindowVisible());
    CScanDlg& scan = dialog->ScanPage();
    ASSERT_TRUE(PumpUntil([&] { return scan.GetStepState(5) != CScanDlg::kNoMark; }, 10000));
    EXPECT_EQ(scan.GetStepState(0), CScanDlg::kPassed);
    EXPECT_EQ(scan.GetStepState(4), CScanDlg::kFailed);
    EXPECT_EQ(scan.GetStepState(6), CScanDlg::kNoMark);
    SaveScreenshot(*dialog, L"prewin10-inprocess-scanning");
    // A second click does nothing while the scan runs.
    dialog->StartScan();

    ASSERT_TRUE(PumpUntil([&] { return dialog->ResultsPage().IsWindowVisible() != FALSE; }, 20000));
    EXPECT_GE(::GetTickCount() - start, 6000u);
    EXPECT_FALSE(scan.IsWindowVisible());
    for (int step = 6; step < CScanDlg::kStepCount; ++step)
        EXPECT_EQ(scan.GetStepState(step), CScanDlg::kPassed);
    for (const wchar_t* name :
         {L"applications.saved", L"drivers.saved", L"extensions.saved", L"results.saved"})
        EXPECT_TRUE(Saved(name));
    EXPECT_EQ(dialog->ResultsPage().Outcome(), Tavrin::UI::kOutcomeNotReady);
    // Every record saved: nothing about it among the issues.
    EXPECT_TRUE(dialog->ResultsPage().Issues().empty());
    RECT client = dialog->GetClientRect();
    RECT page = dialog->ResultsPage().GetRectInParent();
    EXPECT_EQ(page.right - page.left, client.right - client.left);
    EXPECT_EQ(page.bottom - page.top, client.bottom - client.top);
}

TEST_F(PreWin10Window, AScanThatCannotSaveARecordMarksItsStepFailedAndSaysSo)
{
    COMPATIBILITY_RESULT r = ReadyPc();
    // The drivers' record of an earlier scan, held open by another program
    // that does not let it be replaced, as an antivirus scanner may.
    ASSERT_TRUE(Tavrin::Test::WriteFileBytes(folder.File(Tavrin::Core::kDriversFile), "earlier record"));
    Tavrin::Platform::UniqueHandle held(::CreateFileW(
        folder.File(Tavrin::Core::kDriversFile).c_str(), GENERIC_READ | GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    auto dialog = ShowDialog(&r, CPreWin10Dlg::ScanPacing{0, 0});
    ASSERT_TRUE(dialog);
    dialog->StartScan();
    ASSERT_TRUE(PumpUntil([&] { return dialog->ResultsPage().IsWindowVisible() != FALSE; }, 20000));
    held.Reset();

    CScanDlg& scan = dialog->ScanPage();
    EXPECT_EQ(scan.GetStepState(6), CScanDlg::kPassed);
    EXPECT_EQ(scan.GetStepState(7), CScanDlg::kFailed);
    EXPECT_EQ(scan.GetStepState(8), CScanDlg::kPassed);
    EXPECT_EQ(Tavrin::Test::ReadFileBytes(folder.File(Tavrin::Core::kDriversFile)), "earlier record");
    // The results say so, and do not call the PC ready for the upgrade.
    CResulstDlg& page = dialog->ResultsPage();
    const std::wstring message = Tavrin::UI::kMessagePrefix + std::wstring(Tavrin::UI::kRecordNotSavedText);
    EXPECT_EQ(std::count(page.Issues().begin(), page.Issues().end(), message), 1);
    EXPECT_EQ(page.Outcome(), Tavrin::UI::kOutcomeIssues);
    EXPECT_FALSE(::IsWindowVisible(page.GetDlgItem(IDC_UPGRADE_NOW)));
    PumpMessages();
    SaveScreenshot(*dialog, L"prewin10-inprocess-results-record-not-saved");
}

TEST_F(PreWin10Window, DestroyingTheDialogDuringTheScanWaitsForItWithoutHanging)
{
    COMPATIBILITY_RESULT r = ReadyPc();
    auto dialog = ShowDialog(&r);
    ASSERT_TRUE(dialog);
    const DWORD start = ::GetTickCount();
    dialog->StartScan();
    ASSERT_TRUE(dialog->ScanStarted());
    PumpMessagesFor(1000);
    EXPECT_FALSE(Saved(L"applications.saved"));

    // The windows still exist and this thread does not pump: the scan's
    // window calls must not wedge the destruction.
    dialog.reset();
    const DWORD ended = ::GetTickCount() - start;
    EXPECT_GE(ended, 6000u);
    EXPECT_LT(ended, 20000u);
    for (const wchar_t* name :
         {L"applications.saved", L"drivers.saved", L"extensions.saved", L"results.saved"})
        EXPECT_TRUE(Saved(name));
}

TEST_F(PreWin10Window, DestroyingTheDialogRightAsTheScanEndsDoesNotHang)
{
    // The scan's last call, the switch to the results page, waits for this
    // thread; destroy the dialog while that call is on its way.
    COMPATIBILITY_RESULT r = ReadyPc();
    auto dialog = ShowDialog(&r, {0, 0});
    ASSERT_TRUE(dialog);
    const DWORD start = ::GetTickCount();
    dialog->StartScan();
    ASSERT_TRUE(PumpUntil([&] { return Saved(L"results.saved"); }, 20000));
    ::Sleep(200); // not pumping: the call stays pending
    dialog.reset();
    EXPECT_LT(::GetTickCount() - start, 20000u);
}
