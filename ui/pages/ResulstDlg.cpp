#include "ui/pages/ResulstDlg.h"
#include "ui/controls/PageDrawing.h"

#include <algorithm>
#include <cmath>

#include "core/compat/SystemInfo.h"
#include "framework/CWinApp.h"
#include "platform/DesktopShell.h"
#include "res/resource.h"
#include "ui/controls/TextFit.h"

using Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT;

namespace Tavrin::UI {

const wchar_t kMessagePrefix[] = L"\x25A0   ";

const wchar_t kRecordNotSavedText[] =
    L"The record of this PC could not be saved. To run the scan again, close Tavrin and open it again.";

const wchar_t kDisclaimerText[] =
    L"Tavrin compares your PC with the published minimum requirements for Windows 10 and records your "
    L"applications, devices and file associations, so that it can show you what changed after the upgrade. "
    L"A good result cannot rule out every problem during the upgrade process.  The upgrade itself is "
    L"provided by Microsoft under Microsoft\x2019s terms; back up your files before you begin.";

const wchar_t kUpgradePageAddress[] = L"https://www.microsoft.com/en-us/windows/windows-10-upgrade";

namespace {

using Tavrin::Core::WindowsVersionCode;
using Tavrin::Core::WindowsUpdate::DirectXRequirementMet;
using Tavrin::Core::WindowsUpdate::DiskRequirementMet;
using Tavrin::Core::WindowsUpdate::MemoryRequirementMet;
using Tavrin::Core::WindowsUpdate::ProcessorRequirementMet;
constexpr unsigned long long kSmallDrive = 34359738368ULL; // 32 GiB

const wchar_t kStorageText[] =
    L"Your device may not have enough storage space to complete the upgrade. Devices with equal or less than "
    L"32GB of total hard drive space may need a USB flash drive with additional storage space to complete "
    L"the "
    L"upgrade.";

enum class Target { Issues, Failures, Notes };

struct MessageRule {
    bool (*applies)(const COMPATIBILITY_RESULT&);
    Target target;
    bool prefixed;
    const wchar_t* text;
};

// Tried in this order; each rule that applies adds its message to its list.
// The requirement rules are the check's own, so that the page never judges a
// value differently from the flags the scan shows.
const MessageRule kMessageRules[] = {
    {[](const COMPATIBILITY_RESULT& r) { return !ProcessorRequirementMet(r.processorSpeed); },
     Target::Failures, true,
     L"A 1 GHz or higher processor is required for a successful upgrade to Windows 10."},
    {[](const COMPATIBILITY_RESULT& r) { return !DirectXRequirementMet(r.directXVersion); }, Target::Failures,
     true,
     L"Your graphics are not compatible with the upgrade. The upgrade requires that your graphics must "
     L"support "
     L"DirectX 9 or higher."},
    {[](const COMPATIBILITY_RESULT& r) {
         return DirectXRequirementMet(r.directXVersion) && r.directXVersion < 10;
     },
     Target::Notes, true,
     L"Your graphics may not be compatible with the upgrade. Some games and programs might require graphics "
     L"compatible with DirectX 10 or higher for optimal performance."},
    {[](const COMPATIBILITY_RESULT& r) { return !r.displayOk; }, Target::Failures, true,
     L"A display screen or monitor that supports an 800x600 pixel resolution is required for a successful "
     L"upgrade to Windows 10."},
    {[](const COMPATIBILITY_RESULT& r) { return !DiskRequirementMet(r.systemDriveFree, r.is64Bit); },
     Target::Failures, true, kStorageText},
    {[](const COMPATIBILITY_RESULT& r) {
         return r.is64Bit && !MemoryRequirementMet(r.totalMemory, r.is64Bit);
     },
     Target::Failures, true,
     L"Your computer will need at least 2 GB of RAM (random-access memory) to run a 64-bit Windows 10 "
     L"operating "
     L"system."},
    {[](const COMPATIBILITY_RESULT& r) {
         return !r.is64Bit && !MemoryRequirementMet(r.totalMemory, r.is64Bit);
     },
     Target::Failures, true,
     L"Your computer will need at least 1 GB of RAM (random-access memory) to run a 32-bit Windows 10 "
     L"operating "
     L"system."},
    {[](const COMPATIBILITY_RESULT& r) { return r.windowsVersion == WindowsVersionCode::NotEligible; },
     Target::Failures, true,
     L"Your current operating system is not eligible for the upgrade. Please contact Microsoft for more "
     L"details."},
    {[](const COMPATIBILITY_RESULT& r) {
         return r.windowsVersion == WindowsVersionCode::Windows7WithoutServicePack;
     },
     Target::Issues, true,
     L"Your current operating system must first be upgraded to Windows Service Pack 1 (SP1) before "
     L"attempting "
     L"the Windows 10 upgrade."},
    {[](const COMPATIBILITY_RESULT& r) { return r.windowsVersion == WindowsVersionCode::Windows8; },
     Target::Issues, true,
     L"Your current operating system must first be upgraded to Windows 8.1 before attempting the Windows 10 "
     L"upgrade."},
    {[](const COMPATIBILITY_RESULT& r) { return r.systemDriveSize <= kSmallDrive; }, Target::Notes, false,
     kStorageText},
    {[](const COMPATIBILITY_RESULT&) { return true; }, Target::Notes, true,
     L"Windows Media Center is no longer supported in Windows 10 and will be removed."},
    {[](const COMPATIBILITY_RESULT&) { return true; }, Target::Notes, true,
     L"The desktop versions of Solitaire, Minesweeper, and Hearts will become apps located in the Windows 10 "
     L"Game Bar."},
};

struct OutcomeTexts {
    const wchar_t* title;
    const wchar_t* subtitle;
    bool upgradeVisible;
};

// Indexed by outcome.
const OutcomeTexts kOutcomeTexts[] = {
    {L"Success! You are ready to upgrade to Windows 10!",
     L"Note: You may encounter the following issues when proceeding with the upgrade:", true},
    {L"Review compatibility results", L"Your system may have issues with the upgrade", false},
    {L"Review compatibility results", L"Your system is not ready for the Windows 10 upgrade.", false},
};

} // namespace

ResultsReport BuildResultsReport(const COMPATIBILITY_RESULT& result, bool recordSaved)
{
    ResultsReport report;
    for (const MessageRule& rule : kMessageRules) {
        if (!rule.applies(result))
            continue;
        std::list<std::wstring>& list = rule.target == Target::Issues     ? report.issues
                                        : rule.target == Target::Failures ? report.failures
                                                                          : report.notes;
        list.push_back(rule.prefixed ? kMessagePrefix + std::wstring(rule.text) : std::wstring(rule.text));
    }
    // Without its record the compatibility page cannot show after the
    // upgrade what was lost: an issue, never a step passed.
    if (!recordSaved)
        report.issues.push_back(kMessagePrefix + std::wstring(kRecordNotSavedText));
    report.outcome = !report.failures.empty() ? kOutcomeNotReady
                     : !report.issues.empty() ? kOutcomeIssues
                                              : kOutcomeReady;
    const OutcomeTexts& texts = kOutcomeTexts[report.outcome];
    report.title = texts.title;
    report.subtitle = texts.subtitle;
    report.upgradeVisible = texts.upgradeVisible;
    return report;
}

std::vector<int> ShareMessageLines(const std::vector<int>& needed, int room)
{
    std::vector<int> shares;
    int left = room;
    for (size_t i = 0; i < needed.size(); ++i) {
        const int following = static_cast<int>(needed.size() - i - 1);
        shares.push_back(std::max(1, std::min(needed[i], left - following)));
        left -= shares.back();
    }
    return shares;
}

} // namespace Tavrin::UI

namespace {

std::unique_ptr<Gdiplus::Image> LoadImage(const wchar_t* path)
{
    return std::unique_ptr<Gdiplus::Image>(LoadImageFile(AfxGetInstanceHandle(), path));
}

} // namespace

CResulstDlg::CResulstDlg() : CBaseWnd(IDD_RESULTS) {}

CResulstDlg::~CResulstDlg() = default;

void CResulstDlg::DoDataExchange()
{
    BindControl(IDC_RESULT_TITLE, m_title);
    BindControl(IDC_RESULT_SUBTITLE, m_subtitle);
    BindControl(IDC_UPGRADE_NOW, m_upgradeNow);
    BindControl(IDC_DISCLAIMER, m_disclaimer);
}

BOOL CResulstDlg::OnInitDialog()
{
    CBaseWnd::OnInitDialog();
    m_passHeader = LoadImage(L"images/headers/results-pass-title.png");
    m_issuesHeader = LoadImage(L"images/headers/results-issues-title.png");
    m_checkedMark = LoadImage(L"images/windows/checked.png");
    m_issuesMark = LoadImage(L"images/windows/issues.png");
    m_failedMark = LoadImage(L"images/windows/failed.png");

    m_title.SetTextColor(PageColors::kBlackText);
    m_title.SetFont(CreateMessageFont(FontSpec::Regular(14), GetDpi()));
    m_subtitle.SetTextColor(PageColors::kBlackText);
    m_subtitle.SetFont(CreateMessageFont(FontSpec::Regular(11).Bold(), GetDpi()));
    m_disclaimer.SetFont(CreateMessageFont(FontSpec::Regular(7), GetDpi()));
    m_disclaimer.SetText(Tavrin::UI::kDisclaimerText);
    m_disclaimer.SetWindowText(Tavrin::UI::kDisclaimerText);
    // A page filled before its window existed shows its verdict now.
    if (m_result)
        ShowTexts();
    return TRUE;
}

void CResulstDlg::FillResults(const COMPATIBILITY_RESULT* result, bool recordSaved)
{
    if (!result)
        return;
    m_result = result;
    Tavrin::UI::ResultsReport report = Tavrin::UI::BuildResultsReport(*result, recordSaved);
    m_outcome = report.outcome;
    m_issues = std::move(report.issues);
    m_failures = std::move(report.failures);
    m_notes = std::move(report.notes);
    m_titleText = std::move(report.title);
    m_subtitleText = std::move(report.subtitle);
    m_upgradeOffered = report.upgradeVisible;
    m_title.SetText(m_titleText);
    m_subtitle.SetText(m_subtitleText);
    if (m_hWnd)
        ShowTexts();
}

std::list<std::wstring> CResulstDlg::Lines() const
{
    std::list<std::wstring> lines(m_failures);
    lines.insert(lines.end(), m_issues.begin(), m_issues.end());
    lines.insert(lines.end(), m_notes.begin(), m_notes.end());
    return lines;
}

void CResulstDlg::ShowTexts()
{
    m_title.SetText(m_titleText);
    m_subtitle.SetText(m_subtitleText);
    // The window texts follow, so that accessibility tools read the verdict.
    m_title.SetWindowText(m_titleText);
    m_subtitle.SetWindowText(m_subtitleText);
    m_upgradeNow.ShowWindow(m_upgradeOffered ? SW_SHOW : SW_HIDE);
    Invalidate(FALSE);
    m_title.UpdateWindow();
    m_subtitle.UpdateWindow();
}

LRESULT CResulstDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = CBaseWnd::WindowProc(message, wParam, lParam);
    if (message == WM_SIZE && m_disclaimer.GetSafeHwnd()) {
        // The template's disclaimer box reaches below the dialog that shows
        // the page; it ends at the white panel's bottom instead.
        const RECT box = m_disclaimer.GetRectInParent();
        const int bottom = static_cast<int>(GetClientRect().bottom) - Scaled(20);
        if (box.bottom > bottom && bottom > box.top)
            m_disclaimer.SetWindowPos(nullptr, 0, 0, box.right - box.left, bottom - box.top,
                                      SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return result;
}

BOOL CResulstDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) == IDC_UPGRADE_NOW && HIWORD(wParam) == BN_CLICKED) {
        OnUpgradeNow();
        return TRUE;
    }
    return CBaseWnd::OnCommand(wParam, lParam);
}

void CResulstDlg::OnUpgradeNow()
{
    // The browser runs as the logged-on user, not with this program's
    // rights; the redirection stays on, as nothing of the system folder is
    // started here. When the desktop's shell cannot be asked, nothing opens.
    Tavrin::Platform::OpenAsDesktopUser(Tavrin::UI::kUpgradePageAddress);
}

void CResulstDlg::DrawContent(Gdiplus::Graphics& graphics)
{
    const RECT client = GetClientRect();
    Gdiplus::Image* header =
        m_outcome != Tavrin::UI::kOutcomeReady ? m_issuesHeader.get() : m_passHeader.get();
    // The panel keeps its place whichever header is shown.
    const int margin = Scaled(20);
    const int panelTop = static_cast<int>(ImageSizeAt(m_passHeader.get(), GetDpi()).cy) + margin;
    DrawHeaderAndWhitePanel(graphics, header, client, PageColors::kResultsBlue, GetDpi(), {margin, panelTop});

    if (!m_subtitle.GetSafeHwnd())
        return;
    const RECT subtitle = m_subtitle.GetRectInParent();
    Gdiplus::Image* mark = m_outcome == Tavrin::UI::kOutcomeIssues     ? m_issuesMark.get()
                           : m_outcome == Tavrin::UI::kOutcomeNotReady ? m_failedMark.get()
                                                                       : m_checkedMark.get();
    int lineY = static_cast<int>(subtitle.top + (subtitle.bottom - subtitle.top) / 2);
    if (mark) {
        const SIZE size = ImageSizeAt(mark, GetDpi());
        const int width = static_cast<int>(size.cx);
        const int height = static_cast<int>(size.cy);
        const int top = static_cast<int>(subtitle.top + (subtitle.bottom - subtitle.top - height) / 2);
        DrawImageAt(graphics, mark, static_cast<int>(subtitle.left) - width - Scaled(10), top, GetDpi());
        lineY = top + height;
    }

    Gdiplus::Font* font = theSkin.GetFont(L"client/normal", nullptr, GetDpi());
    if (!font)
        return;
    Gdiplus::SolidBrush black(Gdiplus::Color(PageColors::kBlackText));
    // Each message wraps at the panel's edge onto the lines it needs. Only
    // when the messages need more lines than the room above the controls
    // below them does one end in an ellipsis (and show whole in the
    // tooltip); every message keeps at least its first line.
    Gdiplus::StringFormat format;
    format.SetFormatFlags(Gdiplus::StringFormatFlagsLineLimit);
    format.SetTrimming(Gdiplus::StringTrimmingNone);
    const auto x = static_cast<Gdiplus::REAL>(subtitle.left + Scaled(10));
    const auto width = std::max(1.0f, static_cast<Gdiplus::REAL>(client.right - Scaled(30)) - x);
    const Gdiplus::REAL lineHeight = std::max(1.0f, font->GetHeight(&graphics));
    // A bulleted message wraps under its own text, not under the bullet.
    const std::wstring bullet = Tavrin::UI::kMessagePrefix;
    Gdiplus::StringFormat bulletFormat(&format);
    bulletFormat.SetFormatFlags(format.GetFormatFlags() | Gdiplus::StringFormatFlagsMeasureTrailingSpaces);
    Gdiplus::RectF bulletBounds;
    graphics.MeasureString(bullet.c_str(), static_cast<INT>(bullet.size()), font, Gdiplus::PointF(0, 0),
                           &bulletFormat, &bulletBounds);
    const Gdiplus::REAL indent = std::min(bulletBounds.Width, width / 2);
    struct Message {
        std::wstring line;
        std::wstring text;
        Gdiplus::REAL indent;
    };
    std::vector<Message> messages;
    std::vector<int> needed;
    for (const std::wstring& line : Lines()) {
        const bool bulleted = line.compare(0, bullet.size(), bullet) == 0;
        messages.push_back({line, bulleted ? line.substr(bullet.size()) : line, bulleted ? indent : 0});
        needed.push_back(
            CountLines(graphics, messages.back().text, *font, width - messages.back().indent, format));
    }
    const int room = static_cast<int>(std::floor((MessagesBottom(lineY) - lineY) / lineHeight));
    const std::vector<int> shares = Tavrin::UI::ShareMessageLines(needed, room);
    std::vector<std::wstring> cutLines;
    std::vector<RECT> cutBoxes;
    m_messageBoxes.clear();
    auto top = static_cast<Gdiplus::REAL>(lineY);
    auto share = shares.begin();
    for (const Message& message : messages) {
        const Gdiplus::REAL height = lineHeight * static_cast<Gdiplus::REAL>(*share++);
        if (message.indent > 0)
            graphics.DrawString(bullet.c_str(), static_cast<INT>(bullet.size()), font,
                                Gdiplus::RectF(x, top, message.indent, lineHeight + 1), &bulletFormat,
                                &black);
        const Gdiplus::RectF box(x + message.indent, top, width - message.indent, height + 1);
        const FittedText fitted = FitText(graphics, message.text, *font, box, format);
        graphics.DrawString(fitted.text.c_str(), static_cast<INT>(fitted.text.size()), font, box, &format,
                            &black);
        const RECT drawn = {static_cast<LONG>(x), static_cast<LONG>(top),
                            static_cast<LONG>(std::ceil(x + width)),
                            static_cast<LONG>(std::ceil(top + height))};
        m_messageBoxes.push_back(drawn);
        if (fitted.cut) {
            cutLines.push_back(message.line);
            cutBoxes.push_back(drawn);
        }
        top += height;
    }
    if (cutLines != m_cutLines) {
        m_cutLines = std::move(cutLines);
        ShowCutLinesInToolTip(cutBoxes);
    }
}

// The messages end above the first control shown below their top, or else
// at the white panel's bottom.
int CResulstDlg::MessagesBottom(int top) const
{
    int bottom = static_cast<int>(GetClientRect().bottom) - Scaled(20);
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        // Its own style: the page may be drawn before it is shown.
        if (!(::GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE))
            continue;
        RECT rect = {};
        ::GetWindowRect(child, &rect);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
        if (rect.top >= top)
            bottom = std::min(bottom, static_cast<int>(rect.top) - Scaled(6));
    }
    return bottom;
}

void CResulstDlg::ShowCutLinesInToolTip(const std::vector<RECT>& boxes)
{
    if (!m_hWnd)
        return;
    if (!m_lineTips.GetSafeHwnd()) {
        if (m_cutLines.empty() || !m_lineTips.Create(this))
            return;
        m_lineTips.SetMaxTipWidth(Scaled(500));
    }
    for (size_t i = 0; i < m_cutBoxes.size(); ++i)
        m_lineTips.DelTool(m_hWnd, i + 1);
    m_cutBoxes = boxes;
    for (size_t i = 0; i < m_cutLines.size(); ++i)
        m_lineTips.AddTool(m_hWnd, m_cutLines[i].c_str(), &m_cutBoxes[i], i + 1, true);
}
