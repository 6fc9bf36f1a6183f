// The real tavrin.exe on older Windows versions of the test prefix: the
// pre-upgrade dialog, its scan, the saved files and the verdict.
#include <gtest/gtest.h>

#include <windows.h>
// GDI+ headers need min/max, which NOMINMAX hides.
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
} // namespace Gdiplus
#include <gdiplus.h>

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "core/compat/Drivers.h"
#include "core/compat/Extensions.h"
#include "core/compat/InstalledApp.h"
#include "core/compat/SystemInfo.h"
#include "platform/RegKey.h"
#include "res/resource.h"
#include "tests/support/NetTestSupport.h"
#include "tests/support/ProgramTestSupport.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WindowTestSupport.h"
#include "tests/ui/LinkStandIns.h"

using namespace Tavrin::Test;

namespace {

const wchar_t kProbeAppKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TavrinScanProbe";
const wchar_t kUpgradePage[] = L"https://www.microsoft.com/en-us/windows/windows-10-upgrade";
const wchar_t* const kSavedFiles[] = {L"applications.saved", L"drivers.saved", L"extensions.saved",
                                      L"results.saved"};

DWORD Now()
{
    return ::GetTickCount();
}

void Wait(DWORD milliseconds)
{
    ::Sleep(milliseconds);
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs, DWORD stepMs = 25)
{
    const DWORD start = Now();
    for (;;) {
        if (condition())
            return true;
        if (Now() - start >= timeoutMs)
            return false;
        Wait(stepMs);
    }
}

// Pixels of a screen rectangle that are not plain white, in a capture of
// the screen where `window` lies.
int CountNotWhite(HWND window, const WindowCapture& shot, RECT screenArea)
{
    RECT origin = {};
    ::GetWindowRect(window, &origin);
    ::OffsetRect(&screenArea, -origin.left, -origin.top);
    const int area = (screenArea.right - screenArea.left) * (screenArea.bottom - screenArea.top);
    return area - shot.Count(RGB(255, 255, 255), screenArea);
}

RECT ScreenRect(HWND window)
{
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    return rect;
}

// The area where the scan page draws the mark of a step: left of its label.
RECT MarkArea(HWND label, SIZE mark)
{
    RECT rect = ScreenRect(label);
    const int top = rect.top + (rect.bottom - rect.top - mark.cy) / 2;
    return {rect.left - 5 - mark.cx, top, rect.left - 5, top + mark.cy};
}

SIZE ImageSize(const std::wstring& relativePath)
{
    Gdiplus::Image image((BinFolder() + L"\\" + relativePath).c_str());
    return {static_cast<LONG>(image.GetWidth()), static_cast<LONG>(image.GetHeight())};
}

void CopyTree(const std::wstring& from, const std::wstring& to)
{
    ::CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW found = {};
    HANDLE find = ::FindFirstFileW((from + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CopyTree(from + L"\\" + name, to + L"\\" + name);
        else
            ::CopyFileW((from + L"\\" + name).c_str(), (to + L"\\" + name).c_str(), FALSE);
    } while (::FindNextFileW(find, &found));
    ::FindClose(find);
}

// The numbers of "results.saved", in file order.
struct SavedResult {
    long long windowsVersion = -1;
    unsigned long long totalMemory = 0, systemDriveFree = 0, systemDriveSize = 0;
    long long directXVersion = 0, screenWidth = 0, screenHeight = 0, processorSpeed = 0, is64Bit = 0;
};

bool ParseSavedResult(const std::string& bytes, SavedResult& result)
{
    static const std::regex layout(
        R"(22 serialization::archive 13 0 0 (-?\d+) (\d+) (\d+) (\d+) (-?\d+) (-?\d+) )"
        R"((-?\d+) (-?\d+) (-?\d+)\r\n)");
    std::smatch match;
    if (!std::regex_match(bytes, match, layout))
        return false;
    result.windowsVersion = static_cast<Tavrin::Core::WindowsVersionCode>(std::stoll(match[1]));
    result.totalMemory = std::stoull(match[2]);
    result.systemDriveFree = std::stoull(match[3]);
    result.systemDriveSize = std::stoull(match[4]);
    result.directXVersion = std::stoll(match[5]);
    result.screenWidth = std::stoll(match[6]);
    result.screenHeight = std::stoll(match[7]);
    result.processorSpeed = std::stoll(match[8]);
    result.is64Bit = std::stoll(match[9]);
    return true;
}

// The verdict a PC with these measurements deserves: 0 ready, 1 issues,
// 2 not ready.
int ExpectedOutcome(const SavedResult& r)
{
    const bool display =
        (r.screenWidth > 800 && r.screenHeight > 600) || (r.screenWidth == 0 && r.screenHeight == 0);
    const double free = static_cast<double>(r.systemDriveFree);
    const double memory = static_cast<double>(r.totalMemory);
    const bool failed = r.processorSpeed <= 1000 || r.directXVersion < 9 || !display ||
                        free < (r.is64Bit ? 34252364185.6 : 17072495001.6) ||
                        memory < (r.is64Bit ? 2040109465.6 : 966367641.6) || r.windowsVersion == 0;
    if (failed)
        return 2;
    return r.windowsVersion == 5 || r.windowsVersion == 3 ? 1 : 0;
}

const wchar_t* const kSubtitles[] = {
    L"Note: You may encounter the following issues when proceeding with the upgrade:",
    L"Your system may have issues with the upgrade", L"Your system is not ready for the Windows 10 upgrade."};
const wchar_t* const kTitles[] = {L"Success! You are ready to upgrade to Windows 10!",
                                  L"Review compatibility results", L"Review compatibility results"};

class PreUpgradeDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&gdiplus, &input, nullptr);
        exe = folder.File(L"tavrin.exe");
        ASSERT_TRUE(::CopyFileW((BinFolder() + L"\\tavrin.exe").c_str(), exe.c_str(), FALSE));
        ASSERT_TRUE(::CopyFileW((BinFolder() + L"\\ui.xml").c_str(), folder.File(L"ui.xml").c_str(), FALSE));
        CopyTree(BinFolder() + L"\\images", folder.File(L"images"));
    }
    void TearDown() override
    {
        program.reset();
        Gdiplus::GdiplusShutdown(gdiplus);
    }

    // Starts the copy from another folder, so that only its own folder can
    // receive the saved files, and waits for its dialog.
    HWND StartAndWaitForDialog()
    {
        program = std::make_unique<RunningProgram>(L"", exe, elsewhere.Path());
        if (!program->Started())
            return nullptr;
        HWND dialog = WaitForWindowOf(program->Id(), ProgramWindow::PreUpgradeDialog, 90000);
        if (dialog) {
            // Let the dialog finish painting before anyone looks at it.
            Wait(700);
            ::SetForegroundWindow(dialog);
        }
        return dialog;
    }

    bool ProcessEnded(DWORD timeoutMs) const { return program && program->WaitForExit(timeoutMs); }

    std::wstring SavedFile(const wchar_t* name) const { return folder.File(name); }
    bool Exists(const wchar_t* name) const
    {
        return ::GetFileAttributesW(SavedFile(name).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    static void ClickStartScan(HWND dialog)
    {
        ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_START_SCAN, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDC_START_SCAN)));
    }

    // Runs a whole scan in a prefix of the given Windows version (a Wine
    // version name, or the prefix's own version for any other name) and
    // checks what the user sees and what lands on disk. A paced scan keeps
    // the program's pauses and checks them too; the others run without
    // pauses (the installer's "ScanPauseMilliseconds" set to 0).
    // `thenOnTheSamePrefix`, when given, runs last, while the prefix is
    // still as the scan saw it, with the outcome the results page showed.
    enum class Pacing { Paced, Unpaced };
    void ScanOn(const std::wstring& version, long long expectedCode, Pacing pacing = Pacing::Unpaced,
                const std::function<void(int outcome)>& thenOnTheSamePrefix = nullptr);
    // "/scan" after the scan page, on the same prefix.
    void ScanModeAfterTheScanPage(const std::wstring& version, long long expectedCode);

    TempFolder folder;
    TempFolder elsewhere;
    std::wstring exe;
    FramedProgramWindows framed;
    std::unique_ptr<RunningProgram> program;
    ULONG_PTR gdiplus = 0;
};

// An application of the current user with a line feed in its name, whose
// raw bytes must reach "applications.saved" unchanged.
class ProbeApplication {
public:
    ProbeApplication()
    {
        Tavrin::Platform::RegKey key;
        if (key.Create(HKEY_CURRENT_USER, kProbeAppKey, KEY_WRITE) == ERROR_SUCCESS)
            key.SetString(L"DisplayName", L"Scan\nProbe");
    }
    ~ProbeApplication() { DeleteTree(HKEY_CURRENT_USER, kProbeAppKey); }
    ProbeApplication(const ProbeApplication&) = delete;
    ProbeApplication& operator=(const ProbeApplication&) = delete;
};

std::string Utf16Bytes(const std::wstring& text)
{
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

void PreUpgradeDialog::ScanOn(const std::wstring& version, long long expectedCode, Pacing pacing,
                              const std::function<void(int outcome)>& thenOnTheSamePrefix)
{
    const bool paced = pacing == Pacing::Paced;
    InstallerKey installer;
    if (!paced)
        installer.SetDword(L"ScanPauseMilliseconds", 0);
    ProbeApplication probe;
    std::unique_ptr<WindowsVersionOverride> override;
    if (version.find(L'-') == std::wstring::npos)
        override = std::make_unique<WindowsVersionOverride>(L"tavrin.exe", version);
    HWND dialog = StartAndWaitForDialog();
    ASSERT_NE(dialog, nullptr) << "no pre-upgrade dialog on " << std::string(version.begin(), version.end());

    // Start view: the header and "Start Scan" only; both pages hidden.
    HWND startScan = ::GetDlgItem(dialog, IDC_START_SCAN);
    HWND scanPage = FindChildDialogWith(dialog, IDC_STEP_FIRST);
    HWND resultsPage = FindChildDialogWith(dialog, IDC_RESULT_TITLE);
    ASSERT_NE(scanPage, nullptr);
    ASSERT_NE(resultsPage, nullptr);
    EXPECT_TRUE(::IsWindowVisible(startScan));
    EXPECT_EQ(TextOf(startScan), L"Start Scan");
    EXPECT_FALSE(::IsWindowVisible(scanPage));
    EXPECT_FALSE(::IsWindowVisible(resultsPage));
    if (version == L"win81") {
        EXPECT_TRUE(CaptureScreenOf(dialog).SavePng(ScreenshotPath(L"prewin10-start")));
    }

    // The scan: files appear one by one, the marks of the requirements
    // before them; the results page replaces the scan page at the end.
    const DWORD start = Now();
    ClickStartScan(dialog);
    std::map<std::wstring, DWORD> seen;
    bool inProgressChecked = false;
    const SIZE mark = ImageSize(L"images\\windows\\failed_small.PNG");
    ASSERT_GT(mark.cx, 0);
    DWORD shown = 0;
    ASSERT_TRUE(WaitFor(
        [&] {
            for (const wchar_t* name : kSavedFiles)
                if (!seen.count(name) && Exists(name))
                    seen[name] = Now() - start;
            if (paced && !inProgressChecked && Now() - start >= 1800) {
                // Four requirements are marked by now, no inventory yet.
                inProgressChecked = true;
                EXPECT_FALSE(::IsWindowVisible(startScan));
                EXPECT_TRUE(::IsWindowVisible(scanPage));
                const WindowCapture shot = CaptureScreenOf(dialog);
                for (int step = 0; step < 9; ++step) {
                    const int marked = CountNotWhite(
                        dialog, shot, MarkArea(::GetDlgItem(scanPage, IDC_STEP_FIRST + step), mark));
                    if (step < 3) {
                        EXPECT_GT(marked, mark.cx * mark.cy / 4) << "step " << step << " has no mark";
                    }
                    if (step > 5) {
                        EXPECT_EQ(marked, 0) << "step " << step << " marked too early";
                    }
                }
                if (version == L"win81") {
                    EXPECT_TRUE(shot.SavePng(ScreenshotPath(L"prewin10-scanning")));
                }
            }
            if (::IsWindowVisible(resultsPage)) {
                shown = Now() - start;
                return true;
            }
            return false;
        },
        30000, 20));
    EXPECT_FALSE(::IsWindowVisible(scanPage));
    ASSERT_EQ(seen.size(), 4u);
    const DWORD apps = seen[L"applications.saved"], drivers = seen[L"drivers.saved"],
                extensions = seen[L"extensions.saved"], results = seen[L"results.saved"];
    if (paced) {
        EXPECT_TRUE(inProgressChecked);
        EXPECT_GE(shown, 6000u) << "the scan took less than six seconds";
        // Written in order, a second apart, the last before the results.
        EXPECT_GE(apps, 2900u);
        EXPECT_GE(drivers, apps + 900);
        EXPECT_GE(extensions, drivers + 900);
        EXPECT_GE(results, extensions + 900);
    }
    EXPECT_LE(results, shown);
    EXPECT_TRUE(Exists(L"drivers.saved"));

    // The inventories as this process reads the same prefix, byte for byte.
    TempFolder expected;
    std::list<Tavrin::Core::InstalledApp> installed;
    Tavrin::Core::EnumerateInstalledApps(installed, true);
    Tavrin::Core::EnumerateInstalledApps(installed, false);
    ASSERT_TRUE(Tavrin::Core::SaveInstalledApps(installed, expected.File(L"applications.saved")));
    Tavrin::Core::Drivers devices;
    devices.CollectDrivers();
    ASSERT_TRUE(devices.SaveDrivers(expected.File(L"drivers.saved")));
    Tavrin::Core::Extensions associations;
    associations.CollectAssociations();
    ASSERT_TRUE(associations.SaveAssociations(expected.File(L"extensions.saved")));
    for (const wchar_t* name : {L"applications.saved", L"drivers.saved", L"extensions.saved"}) {
        const std::string bytes = ReadFileBytes(SavedFile(name));
        EXPECT_EQ(bytes, ReadFileBytes(expected.File(name))) << std::string(name, name + wcslen(name));
        ASSERT_GE(bytes.size(), 29u);
        EXPECT_EQ(bytes.compare(0, 28, "22 serialization::archive 13"), 0);
        // Binary files: one line feed at the end, no carriage return before it.
        EXPECT_EQ(bytes.back(), '\n');
        EXPECT_NE(bytes[bytes.size() - 2], '\r');
    }
    const std::string applications = ReadFileBytes(SavedFile(L"applications.saved"));
    EXPECT_NE(applications.find("15 " + Utf16Bytes(L"TavrinScanProbe") + " 10 " + Utf16Bytes(L"Scan\nProbe")),
              std::string::npos)
        << "the planted application is not saved with its raw line feed";

    // The measurements, in text mode: one CR LF at the very end.
    const std::string resultBytes = ReadFileBytes(SavedFile(L"results.saved"));
    SavedResult saved;
    ASSERT_TRUE(ParseSavedResult(resultBytes, saved)) << resultBytes;
    EXPECT_EQ(std::count(resultBytes.begin(), resultBytes.end(), '\r'), 1);
    EXPECT_EQ(saved.windowsVersion, expectedCode);
    EXPECT_EQ(saved.is64Bit, 1);
    MEMORYSTATUSEX memory = {};
    memory.dwLength = sizeof(memory);
    ::GlobalMemoryStatusEx(&memory);
    EXPECT_EQ(saved.totalMemory, memory.ullTotalPhys);
    ULARGE_INTEGER free = {}, total = {}, totalFree = {};
    ::GetDiskFreeSpaceExW(L"C:\\", &free, &total, &totalFree);
    EXPECT_EQ(saved.systemDriveSize, total.QuadPart);

    // The verdict those measurements deserve.
    const int outcome = ExpectedOutcome(saved);
    std::printf(
        "%ls: version %lld, memory %llu, free %llu of %llu, DirectX %lld, screen %lldx%lld, %lld MHz -> "
        "outcome %d\n",
        version.c_str(), saved.windowsVersion, saved.totalMemory, saved.systemDriveFree,
        saved.systemDriveSize, saved.directXVersion, saved.screenWidth, saved.screenHeight,
        saved.processorSpeed, outcome);
    EXPECT_EQ(TextOf(::GetDlgItem(resultsPage, IDC_RESULT_TITLE)), kTitles[outcome]);
    EXPECT_EQ(TextOf(::GetDlgItem(resultsPage, IDC_RESULT_SUBTITLE)), kSubtitles[outcome]);
    EXPECT_EQ(::IsWindowVisible(::GetDlgItem(resultsPage, IDC_UPGRADE_NOW)) != FALSE, outcome == 0);
    Wait(500);
    const WindowCapture shot = CaptureScreenOf(dialog);
    // The outcome mark beside the subtitle.
    const SIZE outcomeMark = ImageSize(L"images\\windows\\checked.png");
    RECT subtitle = ScreenRect(::GetDlgItem(resultsPage, IDC_RESULT_SUBTITLE));
    const int top = subtitle.top + (subtitle.bottom - subtitle.top - outcomeMark.cy) / 2;
    EXPECT_GT(
        CountNotWhite(dialog, shot,
                      {subtitle.left - 10 - outcomeMark.cx, top, subtitle.left - 10, top + outcomeMark.cy}),
        outcomeMark.cx * outcomeMark.cy / 4);
    EXPECT_TRUE(shot.SavePng(
        ScreenshotPath(L"prewin10-results-" + version + L"-outcome" + std::to_wstring(outcome))));

    // Closing ends the process.
    ::PostMessageW(dialog, WM_CLOSE, 0, 0);
    EXPECT_TRUE(ProcessEnded(20000));

    // With TAVRIN_SAVED_FILES_COPY naming a folder, the files stay there, so
    // that the runs of both widths can be compared byte for byte.
    wchar_t keep[MAX_PATH] = {};
    if (::GetEnvironmentVariableW(L"TAVRIN_SAVED_FILES_COPY", keep, MAX_PATH)) {
        for (const wchar_t* name : kSavedFiles)
            EXPECT_TRUE(
                ::CopyFileW(SavedFile(name).c_str(), (std::wstring(keep) + L"\\" + name).c_str(), FALSE));
    }
    if (thenOnTheSamePrefix)
        thenOnTheSamePrefix(outcome);
}

// The record "/scan" writes is the scan page's, byte for byte, but for the
// free space on C:, which it measures again; its exit code is the verdict
// the results page showed: 0 ready, 1 otherwise.
void PreUpgradeDialog::ScanModeAfterTheScanPage(const std::wstring& version, long long expectedCode)
{
    ScanOn(version, expectedCode, Pacing::Unpaced, [&](int outcome) {
        std::map<std::wstring, std::string> page;
        for (const wchar_t* name : kSavedFiles) {
            page[name] = ReadFileBytes(SavedFile(name));
            ASSERT_TRUE(::DeleteFileW(SavedFile(name).c_str()));
        }
        const ProcessResult run = RunProcess(L"\"" + exe + L"\" /scan", 120000, elsewhere.Path());
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, outcome == 0 ? 0u : 1u) << run.output;
        static const std::regex freeSpace(R"(^(22 serialization::archive 13 0 0 -?\d+ \d+ )\d+)");
        for (const wchar_t* name : kSavedFiles) {
            const std::string label(name, name + wcslen(name));
            const std::string bytes = ReadFileBytes(SavedFile(name));
            ASSERT_FALSE(bytes.empty()) << label;
            const auto measured = [&](const std::string& record) {
                return label == "results.saved" ? std::regex_replace(record, freeSpace, "$1FREE") : record;
            };
            EXPECT_EQ(measured(bytes), measured(page[name])) << label;
        }
    });
}

} // namespace

TEST_F(PreUpgradeDialog, ScanOnWindows7WithServicePack)
{
    ScanOn(L"win7", 4);
}

TEST_F(PreUpgradeDialog, ScanModeWritesTheScanPagesRecordOnWindows7)
{
    ScanModeAfterTheScanPage(L"win7", 4);
}

TEST_F(PreUpgradeDialog, ScanModeWritesTheScanPagesRecordOnVista)
{
    ScanModeAfterTheScanPage(L"vista", 0);
}

TEST_F(PreUpgradeDialog, ScanOnWindows7WithoutServicePack)
{
    PrefixVersionNumbers seven(6, 1, 7600, L"", 0);
    ScanOn(L"win7-without-sp", 5);
}

TEST_F(PreUpgradeDialog, ScanOnWindows8)
{
    ScanOn(L"win8", 3);
}

TEST_F(PreUpgradeDialog, ScanOnWindows81)
{
    ScanOn(L"win81", 2, Pacing::Paced);
}

TEST_F(PreUpgradeDialog, ScanOnVista)
{
    ScanOn(L"vista", 0);
}

TEST_F(PreUpgradeDialog, ClosingDuringTheScanEndsTheProcessOnlyAfterTheScan)
{
    WindowsVersionOverride override(L"tavrin.exe", L"win81");
    HWND dialog = StartAndWaitForDialog();
    ASSERT_NE(dialog, nullptr);
    const DWORD start = Now();
    ClickStartScan(dialog);
    ASSERT_TRUE(WaitFor(
        [&] { return ::IsWindowVisible(FindChildDialogWith(dialog, IDC_STEP_FIRST)) != FALSE; }, 5000));
    Wait(1500);
    ::PostMessageW(dialog, WM_CLOSE, 0, 0);

    // The dialog goes at once; the process stays until the scan is over.
    EXPECT_TRUE(WaitFor([&] { return !::IsWindow(dialog); }, 3000));
    EXPECT_FALSE(ProcessEnded(0));
    EXPECT_FALSE(Exists(L"results.saved"));
    ASSERT_TRUE(ProcessEnded(30000)) << "the process hangs after closing during the scan";
    const DWORD ended = Now() - start;
    EXPECT_GE(ended, 6000u);
    // The scan ran to its end: every file is there.
    for (const wchar_t* name : kSavedFiles)
        EXPECT_TRUE(Exists(name)) << std::string(name, name + wcslen(name));
    EXPECT_EQ(program->ExitCode(), 0u);
}

TEST_F(PreUpgradeDialog, EscapeOnTheStartViewEndsTheProgramWithoutSaving)
{
    WindowsVersionOverride override(L"tavrin.exe", L"win7");
    HWND dialog = StartAndWaitForDialog();
    ASSERT_NE(dialog, nullptr);
    ::PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
    ::PostMessageW(dialog, WM_KEYUP, VK_ESCAPE, 0xC0000001);
    EXPECT_TRUE(ProcessEnded(10000));
    for (const wchar_t* name : kSavedFiles)
        EXPECT_FALSE(Exists(name));
}

TEST_F(PreUpgradeDialog, UpgradeNowHasTheDesktopShellOpenTheUpgradePage)
{
    InstallerKey installer;
    installer.SetDword(L"ScanPauseMilliseconds", 0);
    // A stand-in browser, registered for web addresses for this test only.
    WebAddressStandIn browser(folder.Path());
    ASSERT_TRUE(browser.Ready());
    WebAddressStandIn planted(folder.Path(), WebAddressStandIn::Where::PlantedByUser);
    ASSERT_TRUE(planted.Ready());
    WindowsVersionOverride override(L"tavrin.exe", L"win81");
    HWND dialog = StartAndWaitForDialog();
    ASSERT_NE(dialog, nullptr);
    ClickStartScan(dialog);
    HWND resultsPage = FindChildDialogWith(dialog, IDC_RESULT_TITLE);
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(resultsPage) != FALSE; }, 30000));
    EXPECT_EQ(browser.Log(), "");

    HWND upgradeNow = ::GetDlgItem(resultsPage, IDC_UPGRADE_NOW);
    EXPECT_EQ(TextOf(upgradeNow), L"Upgrade Now");
    ::PostMessageW(resultsPage, WM_COMMAND, MAKEWPARAM(IDC_UPGRADE_NOW, BN_CLICKED),
                   reinterpret_cast<LPARAM>(upgradeNow));
    ASSERT_TRUE(WaitFor([&] { return !browser.Log().empty(); }, 20000)) << "no web address was opened";
    Wait(500);
    const std::string expected(kUpgradePage, kUpgradePage + wcslen(kUpgradePage));
    EXPECT_EQ(browser.Log(), expected + "\n");
    // Started by the desktop's shell, as the logged-on user, not by the
    // elevated program.
    EXPECT_EQ(browser.Parents(), "explorer.exe\n");
    EXPECT_EQ(planted.Log(), "");

    // Nothing else changes: the page stays, the program runs on.
    EXPECT_TRUE(::IsWindowVisible(resultsPage));
    EXPECT_FALSE(ProcessEnded(0));
    ::PostMessageW(dialog, WM_CLOSE, 0, 0);
    EXPECT_TRUE(ProcessEnded(20000));
}

TEST_F(PreUpgradeDialog, EnterOnTheStartViewStartsTheScanAndLaterEntersEndNothing)
{
    WindowsVersionOverride override(L"tavrin.exe", L"win81");
    HWND dialog = StartAndWaitForDialog();
    ASSERT_NE(dialog, nullptr);
    // Real key events, as the user's keyboard sends them to the program.
    ASSERT_TRUE(TypeKey(dialog, VK_RETURN));
    ASSERT_TRUE(WaitFor(
        [&] { return ::IsWindowVisible(FindChildDialogWith(dialog, IDC_STEP_FIRST)) != FALSE; }, 5000))
        << "Enter did not start the scan";
    EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(dialog, IDC_START_SCAN)));
    Wait(600);
    ASSERT_TRUE(TypeKey(dialog, VK_RETURN));
    Wait(600);
    EXPECT_FALSE(ProcessEnded(0)) << "Enter during the scan ended the program";
    EXPECT_TRUE(::IsWindow(dialog));
    // Escape still ends the dialog; the process follows once the scan is over.
    ASSERT_TRUE(TypeKey(dialog, VK_ESCAPE));
    EXPECT_TRUE(WaitFor([&] { return !::IsWindow(dialog); }, 3000));
    EXPECT_TRUE(ProcessEnded(30000));
}
