// The real windows at the scales and fonts of real Windows 10 machines.
//
// Wine reads the DPI and the message font when a process starts, so the
// test sets them in the prefix and starts this program again with one
// setting (DisplaySetting.EveryWindow); that run checks each window on its
// own and reports the header's share of the width and the overlapping
// controls. The 96-DPI run with the prefix's own font is the design: at
// every other setting the header keeps its share and no controls overlap
// that do not overlap there. Under another dialog font the windows, sized
// in dialog units, are wider than the header images: the header band still
// spans the width, its texts at the left and its decoration at the right,
// as in the design.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/TavrinApp.h"
#include "app/TavrinDlg.h"
#include "platform/Text.h"
#include "res/resource.h"
#include "tests/app/MainWindowSupport.h"
#include "tests/core/SettingsTestSupport.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WindowTestSupport.h"
#include "tests/ui/SampleResults.h"
#include "ui/pages/PageMessages.h"
#include "ui/pages/PreWin10Dlg.h"
#include "ui/pages/ProfilesDlg.h"
#include "ui/skin/Dpi.h"

using namespace Tavrin::Test;

namespace {

struct DisplaySetting {
    const wchar_t* name;
    DWORD dpi;
    const wchar_t* messageFace; // null: the prefix's own message font
    int messagePoints;
    const wchar_t* dialogFace; // null: the prefix's own dialog font
    // Compared with the design; a DPI beyond every monitor (the window far
    // larger than the screen) must only stay sound.
    bool likeTheDesign;
};

// 96 DPI with the prefix's font first: the others are compared with it.
// DejaVu Sans is at least as wide as Segoe UI, Windows 10's message font;
// 480 DPI is far beyond any monitor and must only stay sound.
// DejaVu Sans as the dialog font is wider than Tahoma, as the dialog fonts
// of Windows in several other languages are.
constexpr DisplaySetting kSettings[] = {
    {L"96dpi", 96, nullptr, 0, nullptr, true},
    {L"120dpi", 120, nullptr, 0, nullptr, true},
    {L"144dpi", 144, nullptr, 0, nullptr, true},
    {L"192dpi", 192, nullptr, 0, nullptr, true},
    {L"96dpi-dejavu9", 96, L"DejaVu Sans", 9, nullptr, true},
    {L"96dpi-dialog-dejavu", 96, nullptr, 0, L"DejaVu Sans", true},
    {L"144dpi-dialog-dejavu", 144, nullptr, 0, L"DejaVu Sans", true},
    {L"480dpi", 480, nullptr, 0, nullptr, false},
};

constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
constexpr wchar_t kFontsKey[] = L"System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts";
constexpr wchar_t kMetricsKey[] = L"Control Panel\\Desktop\\WindowMetrics";
constexpr wchar_t kSubstitutesKey[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes";
// Dialog templates name the first; Windows maps DS_SHELLFONT templates to
// the second.
constexpr const wchar_t* kDialogFaces[] = {L"MS Shell Dlg", L"MS Shell Dlg 2"};
constexpr wchar_t kSettingVariable[] = L"TAVRIN_DISPLAY_SETTING";
constexpr wchar_t kReportVariable[] = L"TAVRIN_DISPLAY_REPORT";
constexpr wchar_t kAppName[] = L"TavrinDisplayTests";

std::wstring Variable(const wchar_t* name)
{
    wchar_t value[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, value, MAX_PATH);
    return length && length < MAX_PATH ? std::wstring(value, length) : std::wstring();
}

const DisplaySetting* SettingNamed(const std::wstring& name)
{
    for (const DisplaySetting& setting : kSettings)
        if (name == setting.name)
            return &setting;
    return nullptr;
}

RECT RectInParent(HWND child)
{
    RECT rect = {};
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::vector<HWND> VisibleChildren(HWND parent)
{
    std::vector<HWND> children;
    for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        if (::IsWindowVisible(child))
            children.push_back(child);
    return children;
}

// The colour most pixels of the area have.
COLORREF Background(const WindowCapture& capture, const RECT& area)
{
    std::map<COLORREF, int> counts;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            ++counts[capture.At(x, y)];
    COLORREF most = 0;
    int best = -1;
    for (const auto& [color, count] : counts)
        if (count > best) {
            most = color;
            best = count;
        }
    return most;
}

// The first row from the top whose middle half (of the `width` columns the
// screen shows) is all white: where the header ends and the white panel
// begins.
int HeaderBottom(const WindowCapture& capture, int width)
{
    for (int y = 0; y < capture.Height(); ++y) {
        bool white = true;
        for (int x = width / 4; white && x < width * 3 / 4; ++x)
            white = capture.At(x, y) == RGB(255, 255, 255);
        if (white)
            return y;
    }
    return 0;
}

// Checks one window and writes what the design comparison needs.
class WindowChecker {
public:
    explicit WindowChecker(std::ostream& report) : m_report(report) {}

    // `content`: the area a scrolling window's controls may use, beyond its
    // client area.
    void Check(const std::wstring& name, CWnd& window, SIZE content = {})
    {
        SCOPED_TRACE(Tavrin::Platform::Narrow(name));
        PumpMessages();
        const WindowCapture capture = CaptureWindow(window);
        ASSERT_FALSE(capture.Empty());
        SaveScreenshot(window, L"display-" + m_setting + L"-" + name);
        const RECT client = window.GetClientRect();
        // Only what the screen shows of a window larger than the screen.
        POINT corner = {0, 0};
        ::ClientToScreen(window, &corner);
        const int shown =
            std::min(capture.Width(), static_cast<int>(::GetSystemMetrics(SM_CXSCREEN) - corner.x));
        const int headerBottom = HeaderBottom(capture, shown);
        const UINT dpi = Dpi::OfWindow(window);
        const std::string narrowName = Tavrin::Platform::Narrow(name);
        m_report << narrowName << " share "
                 << static_cast<double>(headerBottom) / (client.right - client.left) << "\n"
                 << narrowName << " height " << headerBottom * 96.0 / dpi << "\n"
                 << narrowName << " width " << (client.right - client.left) * 96.0 / dpi << "\n";
        // A window beyond the screen may show no row below its header.
        if (headerBottom > 0)
            CheckBand(narrowName, capture, shown, headerBottom, dpi);
        else
            EXPECT_FALSE(m_likeTheDesign) << "no header band";
        CheckChildren(name, window, capture, POINT{0, 0}, content);
    }

    // A dialog without a header band (the profiles dialog): its screenshot
    // and its controls.
    void CheckWithoutHeader(const std::wstring& name, CWnd& window)
    {
        SCOPED_TRACE(Tavrin::Platform::Narrow(name));
        PumpMessages();
        const WindowCapture capture = CaptureWindow(window);
        ASSERT_FALSE(capture.Empty());
        SaveScreenshot(window, L"display-" + m_setting + L"-" + name);
        CheckChildren(name, window, capture, POINT{0, 0}, SIZE{});
    }

    // Each column of the band shows its colour somewhere (a margin beside a
    // narrower band shows none); the report tells how far the texts and the
    // decoration lie from the edges.
    void CheckBand(const std::string& name, const WindowCapture& capture, int shown, int headerBottom,
                   UINT dpi)
    {
        const COLORREF blue = Background(capture, RECT{0, 0, shown, headerBottom});
        EXPECT_NE(blue, RGB(255, 255, 255));
        int inkLeft = shown;
        int inkRight = -1;
        for (int x = 0; x < shown; ++x) {
            bool covered = false;
            for (int y = 0; y < headerBottom; ++y) {
                covered = covered || capture.At(x, y) == blue;
                if (y < headerBottom / 2 && capture.At(x, y) != blue) {
                    inkLeft = std::min(inkLeft, x);
                    inkRight = std::max(inkRight, x);
                }
            }
            if (!covered) {
                ADD_FAILURE() << "column " << x << " lies beside the header band";
                break;
            }
        }
        m_report << name << " left " << inkLeft * 96.0 / dpi << "\n"
                 << name << " right " << (shown - 1 - inkRight) * 96.0 / dpi << "\n";
    }

    // Every message of the results page is whole where the page has room
    // for it, and none runs into a control.
    void CheckMessages(CResulstDlg& page)
    {
        EXPECT_TRUE(page.CutLines().empty()) << Tavrin::Platform::Narrow(page.CutLines().front());
        ASSERT_EQ(page.MessageBoxes().size(), page.Lines().size());
        const RECT client = page.GetClientRect();
        for (const RECT& box : page.MessageBoxes()) {
            RECT inside = {};
            EXPECT_TRUE(::IntersectRect(&inside, &box, &client) && ::EqualRect(&inside, &box));
            // The controls below the messages; the subtitle's box, whose
            // text they follow, reaches down beside the mark.
            for (HWND control : VisibleChildren(page)) {
                const RECT rect = RectInParent(control);
                if (rect.top < page.MessageBoxes().front().top)
                    continue;
                EXPECT_FALSE(::IntersectRect(&inside, &box, &rect))
                    << "a message runs into control " << ::GetDlgCtrlID(control);
            }
        }
    }

    void SetSetting(const DisplaySetting& setting)
    {
        m_setting = setting.name;
        m_design = &setting == &kSettings[0];
        m_likeTheDesign = setting.likeTheDesign;
        m_slack = m_design ? 0 : static_cast<int>((setting.dpi + 95) / 96);
    }

private:
    void CheckChildren(const std::wstring& name, CWnd& window, const WindowCapture& capture, POINT origin,
                       SIZE content)
    {
        RECT allowed = window.GetClientRect();
        allowed.right = std::max(allowed.right, content.cx);
        allowed.bottom = std::max(allowed.bottom, content.cy);
        const std::vector<HWND> children = VisibleChildren(window);
        RECT screen = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
        for (size_t i = 0; i < children.size(); ++i) {
            const RECT rect = RectInParent(children[i]);
            const int id = ::GetDlgCtrlID(children[i]);
            EXPECT_TRUE(rect.left >= allowed.left && rect.top >= allowed.top && rect.right <= allowed.right &&
                        rect.bottom <= allowed.bottom)
                << "control " << id << " at (" << rect.left << ", " << rect.top << ", " << rect.right << ", "
                << rect.bottom << ") outside (" << allowed.right << " x " << allowed.bottom << ")";
            for (size_t j = i + 1; j < children.size(); ++j) {
                // Dialog units round to whole pixels before they are scaled,
                // so neighbours that touch in the design may share a pixel
                // per 96 DPI at another scale: the design counts touching
                // as stacking, the other settings only what goes beyond.
                RECT overlap = {};
                const RECT other = RectInParent(children[j]);
                RECT reach = rect;
                if (m_design)
                    ::InflateRect(&reach, 1, 1);
                if (::IntersectRect(&overlap, &reach, &other) && overlap.right - overlap.left > m_slack &&
                    overlap.bottom - overlap.top > m_slack)
                    m_report << Tavrin::Platform::Narrow(name) << " overlap "
                             << std::min(id, ::GetDlgCtrlID(children[j])) << "-"
                             << std::max(id, ::GetDlgCtrlID(children[j])) << "\n";
            }
            CWnd* control = CWnd::FromHandlePermanent(children[i]);
            RECT inView = {};
            const RECT client = window.GetClientRect();
            // A label scrolled out of view has not been drawn.
            const bool shown = ::IntersectRect(&inView, &rect, &client) != FALSE;
            if (auto* label = dynamic_cast<CThemeLabel*>(control);
                shown && label && !label->GetText().empty()) {
                EXPECT_FALSE(label->GetShownText().empty()) << "label " << id;
                // Pixels only where the screen shows the window.
                RECT area = rect;
                ::OffsetRect(&area, origin.x, origin.y);
                RECT onScreen = area;
                POINT corner = {0, 0};
                ::ClientToScreen(window, &corner);
                ::OffsetRect(&onScreen, corner.x - origin.x, corner.y - origin.y);
                RECT visible = {};
                if (::IntersectRect(&visible, &onScreen, &screen) && ::EqualRect(&visible, &onScreen) &&
                    area.right <= capture.Width() && area.bottom <= capture.Height()) {
                    const COLORREF background = Background(capture, area);
                    int ink = 0;
                    for (int y = area.top; y < area.bottom; ++y)
                        for (int x = area.left; x < area.right; ++x)
                            ink += capture.At(x, y) != background ? 1 : 0;
                    EXPECT_GT(ink, 0) << "label " << id << " draws nothing";
                }
            }
            // Child dialogs (the compatibility page's header bars) hold
            // controls of their own.
            if (auto* dialog = dynamic_cast<CBaseWnd*>(control)) {
                POINT inner = {origin.x + rect.left, origin.y + rect.top};
                CheckChildren(name + L"/" + std::to_wstring(id), *dialog, capture, inner, SIZE{});
            }
        }
    }

    std::ostream& m_report;
    std::wstring m_setting;
    bool m_design = false;
    bool m_likeTheDesign = false;
    int m_slack = 0;
};

struct Report {
    // By kind ("share", "height", "width", "left", "right"), then by window.
    std::map<std::string, std::map<std::string, double>> measures;
    std::map<std::string, std::set<std::string>> overlaps;
};

Report ReadReport(const std::wstring& path)
{
    Report report;
    std::ifstream in(Tavrin::Platform::Narrow(path));
    std::string window, kind, value;
    while (in >> window >> kind >> value) {
        if (kind == "overlap")
            report.overlaps[window].insert(value);
        else
            report.measures[kind][window] = std::stod(value);
    }
    return report;
}

} // namespace

// One run of the windows at the setting named by TAVRIN_DISPLAY_SETTING;
// skipped when the display test did not start it.
TEST(DisplaySetting, EveryWindow)
{
    const DisplaySetting* setting = SettingNamed(Variable(kSettingVariable));
    if (!setting)
        GTEST_SKIP() << "started by Display.EveryWindowAtEveryScaleAndFontKeepsItsDesign";
    // The prefix's setting reached this process.
    ASSERT_EQ(Dpi::OfSystem(), std::min<UINT>(setting->dpi, Dpi::kHighest));
    if (setting->messageFace) {
        NONCLIENTMETRICSW metrics = {};
        metrics.cbSize = sizeof(metrics);
        ASSERT_TRUE(::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0));
        ASSERT_STREQ(metrics.lfMessageFont.lfFaceName, setting->messageFace);
    }
    std::ofstream report(Tavrin::Platform::Narrow(Variable(kReportVariable)));
    ASSERT_TRUE(report);
    WindowChecker checker(report);
    checker.SetSetting(*setting);

    CTavrinApp app;
    Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT result;
    ASSERT_NO_FATAL_FAILURE(PrepareMainWindow(app, kAppName, result));
    const std::wstring profileKey = std::wstring(L"Software\\Tavrin\\") + kAppName;
    RegistryValueBackup firstRun(HKEY_LOCAL_MACHINE, L"Software\\Tavrin", L"");
    WriteString(HKEY_LOCAL_MACHINE, L"Software\\Tavrin", L"", L"notFirstRun");
    PolicyServer policy;
    TempFolder folder;
    ScopedCurrentFolder inFolder(folder.Path());
    ASSERT_TRUE(inFolder.Entered());

    // Rows for every section of the compatibility page.
    ASSERT_TRUE(Tavrin::Test::SaveLostInventories(
        result, L"An application whose name runs on far longer than its column"));
    {
        CTavrinDlg window(&result);
        window.SetRestartAction([] {});
        ASSERT_TRUE(window.Create(IDD_TAVRIN_DIALOG, nullptr));
        window.SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        window.ShowWindow(SW_SHOW);
        checker.Check(L"home", window);

        const struct {
            const wchar_t* name;
            int button;
            CBaseWnd& page;
        } pages[] = {
            {L"privacy", IDC_BTN_PRIVACY, window.GetPrivacyPage()},
            {L"location", IDC_BTN_LOCATION, window.GetLocationPage()},
            {L"security", IDC_BTN_SECURITY, window.GetSecurityPage()},
            {L"theme", IDC_BTN_THEMES, window.GetThemePage()},
            {L"reclamation", IDC_BTN_RECLAMATION, window.GetReclamationPage()},
            {L"compatibility", IDC_BTN_COMPATIBILITY, window.GetCompatibilityPage()},
        };
        for (const auto& entry : pages) {
            ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(entry.button, BN_CLICKED), 0);
            ASSERT_TRUE(PumpUntil([&] { return entry.page.IsWindowVisible() != FALSE; }));
            SIZE content = {};
            if (&entry.page == &window.GetPrivacyPage())
                content = window.GetPrivacyPage().GetScrollHelper().GetDisplaySize();
            if (&entry.page == &window.GetCompatibilityPage()) {
                CCompatibilityDlg& compatibility = window.GetCompatibilityPage();
                for (CButtonHeader* header :
                     {&compatibility.GetDriversHeader(), &compatibility.GetApplicationsHeader(),
                      &compatibility.GetExtensionsHeader()})
                    header->Toggle();
                ASSERT_GT(compatibility.GetApplicationsList().GetItemCount(), 0);
                content = compatibility.GetScroller().GetDisplaySize();
            }
            checker.Check(entry.name, entry.page, content);
            ::SendMessageW(window, WM_PAGE_DONE, 0, 0);
        }

        // The profiles dialog over the home view, its two file pickers, and
        // the summary of applying the file saved through them.
        {
            const std::wstring saved = folder.File(L"settings.json");
            CProfilesDlg profiles(&window);
            profiles.SetFilePicker([&](HWND owner, bool save) {
                const wchar_t* title = save ? CProfilesDlg::kSaveTitle : CProfilesDlg::kOpenTitle;
                MessageBoxAnswerer picker(IDCANCEL, title,
                                          std::wstring(L"display-") + setting->name +
                                              (save ? L"-profiles-save-picker" : L"-profiles-open-picker"));
                CProfilesDlg::PickWithCommonDialog(owner, save);
                EXPECT_TRUE(picker.Answered()) << Tavrin::Platform::Narrow(title);
                return saved;
            });
            ASSERT_TRUE(profiles.Create(IDD_PROFILES, &window));
            profiles.ShowWindow(SW_SHOW);
            ASSERT_TRUE(PumpUntil([&] { return !profiles.Busy(); }, 60000));
            checker.CheckWithoutHeader(L"profiles", profiles);
            for (int action : {IDC_PROFILES_SAVE, IDC_PROFILES_OPEN}) {
                Click(profiles.GetDlgItem(action));
                ASSERT_TRUE(PumpUntil([&] { return !profiles.Busy(); }, 60000));
            }
            checker.CheckWithoutHeader(L"profiles-summary", profiles);
        }

        // Moved to a monitor of another scale, the window takes the place
        // the system suggests and lays itself out again.
        RECT suggested = {};
        ::GetWindowRect(window, &suggested);
        ::OffsetRect(&suggested, 16, 8);
        const UINT dpi = Dpi::OfWindow(window);
        ::SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        RECT moved = {};
        ::GetWindowRect(window, &moved);
        EXPECT_TRUE(::EqualRect(&moved, &suggested));
        checker.Check(L"home-after-dpi-change", window);
    }

    // The pre-upgrade dialog: its start view and its three outcomes.
    struct Outcome {
        const wchar_t* name;
        Tavrin::Core::WindowsVersionCode windowsVersion;
        int processorSpeed;
    };
    const Outcome outcomes[] = {
        {L"results-ready", Tavrin::Core::WindowsVersionCode::Windows81, 2400},
        {L"results-issues", Tavrin::Core::WindowsVersionCode::Windows7WithoutServicePack, 2400},
        {L"results-not-ready", Tavrin::Core::WindowsVersionCode::NotEligible, 900}};
    bool startChecked = false;
    for (const Outcome& outcome : outcomes) {
        Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT pc = ReadyPc();
        pc.windowsVersion = outcome.windowsVersion;
        pc.processorSpeed = outcome.processorSpeed;
        pc.systemDriveSize = 30 * kGiB; // adds the long storage note
        CPreWin10Dlg dialog(&pc);
        ASSERT_TRUE(dialog.Create(IDD_PREWIN10, nullptr));
        dialog.SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        dialog.ShowWindow(SW_SHOW);
        if (!startChecked) {
            checker.Check(L"pre-upgrade-start", dialog);
            startChecked = true;
        }
        ::ShowWindow(dialog.GetDlgItem(IDC_START_SCAN), SW_HIDE);
        CResulstDlg& page = dialog.ResultsPage();
        page.FillResults(&pc);
        page.MoveWindow(dialog.GetClientRect());
        page.ShowWindow(SW_SHOW);
        checker.Check(outcome.name, page);
        checker.CheckMessages(page);
    }
    DeleteTree(HKEY_CURRENT_USER, profileKey);
    theSkin.Reset();
}

TEST(Display, EveryWindowAtEveryScaleAndFontKeepsItsDesign)
{
    wchar_t program[MAX_PATH] = {};
    ASSERT_GT(::GetModuleFileNameW(nullptr, program, MAX_PATH), 0u);
    TempFolder reports;
    Report design;
    for (const DisplaySetting& setting : kSettings) {
        SCOPED_TRACE(Tavrin::Platform::Narrow(setting.name));
        // What the run changes in the prefix goes back when it ends.
        RegistryValueBackup userDpi(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels");
        RegistryValueBackup machineDpi(HKEY_LOCAL_MACHINE, kFontsKey, L"LogPixels");
        RegistryValueBackup messageFont(HKEY_CURRENT_USER, kMetricsKey, L"MessageFont");
        RegistryValueBackup dialogFont(HKEY_LOCAL_MACHINE, kSubstitutesKey, kDialogFaces[0]);
        RegistryValueBackup shellFont(HKEY_LOCAL_MACHINE, kSubstitutesKey, kDialogFaces[1]);
        if (setting.dialogFace)
            for (const wchar_t* face : kDialogFaces)
                WriteString(HKEY_LOCAL_MACHINE, kSubstitutesKey, face, setting.dialogFace);
        WriteDword(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", setting.dpi);
        WriteDword(HKEY_LOCAL_MACHINE, kFontsKey, L"LogPixels", setting.dpi);
        if (setting.messageFace) {
            LOGFONTW font = {};
            font.lfHeight = -::MulDiv(setting.messagePoints, static_cast<int>(setting.dpi), 72);
            font.lfWeight = FW_NORMAL;
            font.lfCharSet = DEFAULT_CHARSET;
            wcsncpy(font.lfFaceName, setting.messageFace, LF_FACESIZE - 1);
            WriteStored(HKEY_CURRENT_USER, kMetricsKey, L"MessageFont", REG_BINARY, &font, sizeof(font));
        }
        const std::wstring reportPath = reports.File(std::wstring(setting.name) + L".txt");
        ::SetEnvironmentVariableW(kSettingVariable, setting.name);
        ::SetEnvironmentVariableW(kReportVariable, reportPath.c_str());
        const ProcessResult run = RunProcess(
            L"\"" + std::wstring(program) + L"\" --gtest_filter=DisplaySetting.EveryWindow", 240000);
        ::SetEnvironmentVariableW(kSettingVariable, nullptr);
        ::SetEnvironmentVariableW(kReportVariable, nullptr);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, 0u) << run.output;
        EXPECT_NE(run.output.find("[  PASSED  ] 1 test"), std::string::npos) << run.output;

        Report report = ReadReport(reportPath);
        ASSERT_FALSE(report.measures["share"].empty());
        if (&setting == &kSettings[0]) {
            design = report;
            continue;
        }
        if (!setting.likeTheDesign)
            continue;
        // The header keeps its share of the width, or under a wider dialog
        // font (a wider window) its height; its texts and decoration lie
        // no farther from the edges than the farthest in the design.
        for (const char* kind : {"share", "height"}) {
            if (setting.dialogFace && kind == std::string("share"))
                continue;
            for (const auto& [window, value] : design.measures[kind]) {
                ASSERT_TRUE(report.measures[kind].count(window)) << window;
                EXPECT_NEAR(report.measures[kind][window], value, value * 0.02) << window << " " << kind;
            }
        }
        for (const char* edge : {"left", "right"}) {
            double farthest = 0;
            for (const auto& [window, value] : design.measures[edge])
                farthest = std::max(farthest, value);
            for (const auto& [window, value] : report.measures[edge])
                EXPECT_LE(value, farthest + 2) << window << " " << edge;
        }
        if (setting.dialogFace) {
            EXPECT_GT(report.measures["width"]["home"], design.measures["width"]["home"] * 1.05)
                << "the dialog font reached the windows";
        }
        for (const auto& [window, pairs] : report.overlaps)
            for (const std::string& pair : pairs)
                EXPECT_TRUE(design.overlaps[window].count(pair))
                    << window << ": controls " << pair << " overlap";
    }
}
