#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <oleacc.h>

#include "app/TavrinApp.h"
#include "app/TavrinDlg.h"
#include "framework/CMFCVisualManager.h"
#include "res/resource.h"
#include "tests/app/MainWindowSupport.h"
#include "tests/core/SettingsTestSupport.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WindowTestSupport.h"
#include "tests/ui/SampleResults.h"

using namespace Tavrin::Test;
using Tavrin::Core::InstalledApp;
using Tavrin::Core::SavedDriver;
using Tavrin::Core::SavedExtension;

namespace {

constexpr wchar_t kAppName[] = L"TavrinMainWindowTests";
constexpr wchar_t kFirstRunKey[] = L"Software\\Tavrin";
const std::wstring kProfileKey = std::wstring(L"Software\\Tavrin\\") + kAppName;
constexpr wchar_t kNoteZero[] =
    L"* You have 0 compatibility issues to review in the Devices & App Compatibility section";

std::wstring FirstRunMarker()
{
    StoredValue value = ReadStored(HKEY_LOCAL_MACHINE, kFirstRunKey, L"");
    if (!value.present || value.type != REG_SZ)
        return L"(none)";
    return std::wstring(reinterpret_cast<const wchar_t*>(value.data.data()), value.data.size() / 2)
        .c_str(); // up to the terminating zero
}

RECT RectInParent(HWND child)
{
    RECT rect = {};
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// The main window of this process once it shows (not a message box, which
// carries the same caption).
HWND FindMainWindow()
{
    struct Search {
        HWND found = nullptr;
    } search;
    ::EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            DWORD process = 0;
            ::GetWindowThreadProcessId(window, &process);
            if (process != ::GetCurrentProcessId() || !::IsWindowVisible(window) ||
                !::GetDlgItem(window, IDC_BTN_PRIVACY))
                return TRUE;
            reinterpret_cast<Search*>(param)->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

} // namespace

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        PrepareMainWindow(app, kAppName, result);
        if (HasFatalFailure())
            return;
        DeleteTree(HKEY_CURRENT_USER, kProfileKey);
        MarkStarted(L"notFirstRun");
        // The settings the pages click on are put back afterwards.
        ClearCatalogue(restorer, security);
        ClearCatalogue(restorer, theme);
        ClearCatalogue(restorer, privacy);
        ClearCatalogue(restorer, location);
    }
    void TearDown() override
    {
        window.reset();
        PumpMessages();
        DeleteTree(HKEY_CURRENT_USER, kProfileKey);
    }

    void MarkStarted(const std::wstring& text) { WriteString(HKEY_LOCAL_MACHINE, kFirstRunKey, L"", text); }

    // The window as the program makes it, but modeless, so that the test
    // drives it from its own thread.
    void Open()
    {
        window = std::make_unique<CTavrinDlg>(&result);
        window->SetRestartAction([this] { ++restarts; });
        ASSERT_TRUE(window->Create(IDD_TAVRIN_DIALOG, nullptr));
        window->ShowWindow(SW_SHOW);
        PumpMessages();
    }
    HWND Item(int id) const { return window->GetDlgItem(id); }
    bool Visible(int id) const { return ::IsWindowVisible(Item(id)) != FALSE; }
    bool HomeViewShown() const
    {
        for (int id : {IDC_TITLE, IDC_BTN_PRIVACY, IDC_BTN_LOCATION, IDC_BTN_SECURITY, IDC_BTN_THEMES,
                       IDC_BTN_RECLAMATION, IDC_BTN_COMPATIBILITY})
            if (!Visible(id))
                return false;
        return true;
    }
    bool HomeViewHidden() const
    {
        for (int id : {IDC_TITLE, IDC_ISSUES_NOTE, IDC_BTN_PRIVACY, IDC_BTN_LOCATION, IDC_BTN_SECURITY,
                       IDC_BTN_THEMES, IDC_BTN_RECLAMATION, IDC_BTN_COMPATIBILITY})
            if (Visible(id))
                return false;
        return true;
    }
    // A click on a section button, as the user makes it.
    void OpenSection(int buttonId, CWnd& page)
    {
        Click(Item(buttonId));
        ASSERT_TRUE(PumpUntil([&] { return page.IsWindowVisible() != FALSE; })) << buttonId;
    }
    // "Done" of the visible page; true when a restart question came and was
    // answered with `answer`.
    bool Done(CWnd& page, int answer = IDNO, std::wstring* text = nullptr)
    {
        MessageBoxAnswerer answerer(answer, L"Orvane Tools", 4000);
        Click(page.GetDlgItem(IDOK));
        PumpMessagesFor(200);
        if (text)
            *text = answerer.Text();
        return answerer.Answered();
    }

    // Runs the window modally; `drive` gets its handle on a thread of its
    // own. Bounded: a window still open after the time-out is ended.
    INT_PTR RunModal(const std::function<void(HWND)>& drive, DWORD timeoutMs = 20000)
    {
        window = std::make_unique<CTavrinDlg>(&result);
        window->SetRestartAction([this] { ++restarts; });
        std::atomic<bool> ended{false};
        std::thread driver([&] {
            const DWORD start = ::GetTickCount();
            HWND found = nullptr;
            while (!ended && !found && ::GetTickCount() - start < timeoutMs) {
                found = FindMainWindow();
                ::Sleep(20);
            }
            if (found)
                drive(found);
            while (!ended && ::GetTickCount() - start < timeoutMs)
                ::Sleep(20);
            if (!ended && found) {
                ADD_FAILURE() << "the main window did not close";
                ::PostMessageW(found, WM_COMMAND, IDCANCEL, 0);
            }
        });
        INT_PTR answer = window->DoModal();
        ended = true;
        driver.join();
        return answer;
    }

    TempFolder folder;
    // The saved inventory files are looked for in the current folder.
    ScopedCurrentFolder inFolder{folder.Path()};
    RegistryValueBackup firstRun{HKEY_LOCAL_MACHINE, kFirstRunKey, L""};
    ClearedJournal journal; // the home view shows no undo link from other tests' changes
    PolicyServer policy;
    RegistryRestorer restorer;
    Tavrin::Core::CSecurity security;
    Tavrin::Core::CThemeSettings theme;
    Tavrin::Core::CPrivacy privacy;
    Tavrin::Core::CLocation location;
    CTavrinApp app;
    Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT result;
    std::unique_ptr<CTavrinDlg> window;
    int restarts = 0;
};

// --- Home view -------------------------------------------------------------------

TEST_F(MainWindow, HomeViewShowsTheTitleAndSixImageButtons)
{
    Open();
    EXPECT_TRUE(HomeViewShown());
    EXPECT_EQ(window->GetWindowText(), L"Orvane Tools");
    EXPECT_NE(::SendMessageW(*window, WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(::SendMessageW(*window, WM_GETICON, ICON_SMALL, 0), 0);

    const CThemeLabel& title = window->GetTitleLabel();
    EXPECT_EQ(title.GetText(), L"Windows 10 Settings");
    EXPECT_EQ(title.GetTextColor(), 0xFF000000u);
    std::unique_ptr<Gdiplus::Font> fourteen(CreateMessageFont(FontSpec::Regular(14)));
    ASSERT_NE(title.GetLabelFont(), nullptr);
    EXPECT_FLOAT_EQ(title.GetLabelFont()->GetSize(), fourteen->GetSize());
    EXPECT_EQ(title.GetLabelFont()->GetStyle(), Gdiplus::FontStyleRegular);

    // Each button is as large as its image and stays where the template put it.
    struct {
        int id;
        const wchar_t* image;
    } const buttons[] = {{IDC_BTN_PRIVACY, L"privacy"},         {IDC_BTN_LOCATION, L"location"},
                         {IDC_BTN_SECURITY, L"security"},       {IDC_BTN_THEMES, L"themes"},
                         {IDC_BTN_RECLAMATION, L"reclamation"}, {IDC_BTN_COMPATIBILITY, L"compatibility"}};
    HWND plain = ::CreateDialogParamW(
        ::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_TAVRIN_DIALOG), nullptr,
        [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR { return message == WM_INITDIALOG; }, 0);
    ASSERT_NE(plain, nullptr);
    for (const auto& button : buttons) {
        std::unique_ptr<Gdiplus::Image> image(LoadImageFile(
            ::GetModuleHandleW(nullptr), std::wstring(L"images/buttons/") + button.image + L".png"));
        ASSERT_NE(image, nullptr) << button.id;
        auto* themed = dynamic_cast<CThemeButton*>(CWnd::FromHandlePermanent(Item(button.id)));
        ASSERT_NE(themed, nullptr) << button.id;
        const RECT rect = RectInParent(Item(button.id));
        const RECT templated = RectInParent(::GetDlgItem(plain, button.id));
        EXPECT_EQ(rect.right - rect.left, static_cast<LONG>(image->GetWidth())) << button.id;
        EXPECT_EQ(rect.bottom - rect.top, static_cast<LONG>(image->GetHeight())) << button.id;
        EXPECT_EQ(rect.left, templated.left) << button.id;
        EXPECT_EQ(rect.top, templated.top) << button.id;
    }
    ::DestroyWindow(plain);
    SaveScreenshot(*window, L"main-home-view");
}

TEST_F(MainWindow, DrawsTheHeaderCentredOnWhite)
{
    Open();
    auto header =
        std::make_unique<Gdiplus::Bitmap>((BinFolder() + L"\\images\\headers\\tools-title.PNG").c_str());
    ASSERT_EQ(header->GetLastStatus(), Gdiplus::Ok);
    WindowCapture shot = CaptureWindow(*window);
    ASSERT_FALSE(shot.Empty());
    const int left = (shot.Width() - static_cast<int>(header->GetWidth())) / 2;
    const int height = static_cast<int>(header->GetHeight());
    // A few pixels of the header land where the image has them.
    for (int y : {2, height / 2, height - 3}) {
        Gdiplus::Color expected;
        header->GetPixel(header->GetWidth() / 2, y, &expected);
        EXPECT_EQ(shot.At(left + static_cast<int>(header->GetWidth()) / 2, y),
                  RGB(expected.GetR(), expected.GetG(), expected.GetB()))
            << y;
    }
    EXPECT_EQ(shot.At(3, height + 3), RGB(255, 255, 255));
    EXPECT_EQ(shot.At(shot.Width() - 3, shot.Height() - 3), RGB(255, 255, 255));
}

TEST_F(MainWindow, PagesAreCreatedHiddenInTheirOrder)
{
    Open();
    CWnd* pages[] = {&window->GetSecurityPage(),      &window->GetPrivacyPage(),
                     &window->GetLocationPage(),      &window->GetThemePage(),
                     &window->GetCompatibilityPage(), &window->GetReclamationPage()};
    const UINT templates[] = {IDD_SECURITY, IDD_PRIVACY,       IDD_LOCATION,
                              IDD_THEME,    IDD_COMPATIBILITY, IDD_RECLAMATION};
    std::vector<HWND> expected;
    for (size_t i = 0; i < std::size(pages); ++i) {
        ASSERT_NE(pages[i]->GetSafeHwnd(), nullptr) << i;
        EXPECT_EQ(pages[i]->GetParent(), window->GetSafeHwnd());
        EXPECT_FALSE(pages[i]->IsWindowVisible()) << i;
        EXPECT_EQ(dynamic_cast<CDialogEx*>(pages[i])->TemplateId(), templates[i]);
        expected.push_back(pages[i]->GetSafeHwnd());
    }
    // Children come in creation order.
    std::vector<HWND> order;
    for (HWND child = ::GetWindow(*window, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        if (std::find(expected.begin(), expected.end(), child) != expected.end())
            order.push_back(child);
    EXPECT_EQ(order, expected);
}

TEST_F(MainWindow, EachSectionButtonShowsItsPageOverTheWholeClientArea)
{
    Open();
    const RECT client = window->GetClientRect();
    struct {
        int button;
        CWnd* page;
        const wchar_t* name;
    } const sections[] = {
        {IDC_BTN_PRIVACY, &window->GetPrivacyPage(), L"privacy"},
        {IDC_BTN_LOCATION, &window->GetLocationPage(), L"location"},
        {IDC_BTN_SECURITY, &window->GetSecurityPage(), L"security"},
        {IDC_BTN_THEMES, &window->GetThemePage(), L"theme"},
        {IDC_BTN_RECLAMATION, &window->GetReclamationPage(), L"reclamation"},
        {IDC_BTN_COMPATIBILITY, &window->GetCompatibilityPage(), L"compatibility"},
    };
    for (const auto& section : sections) {
        OpenSection(section.button, *section.page);
        const RECT rect = RectInParent(*section.page);
        EXPECT_EQ(rect.left, 0);
        EXPECT_EQ(rect.top, 0);
        EXPECT_EQ(rect.right, client.right);
        EXPECT_EQ(rect.bottom, client.bottom);
        EXPECT_TRUE(HomeViewHidden()) << section.button;
        SaveScreenshot(*window, std::wstring(L"main-page-") + section.name);
        EXPECT_FALSE(Done(*section.page));
        EXPECT_FALSE(section.page->IsWindowVisible());
        EXPECT_TRUE(HomeViewShown()) << section.button;
        EXPECT_TRUE(Visible(IDC_ISSUES_NOTE));
    }
}

// --- The issues note ---------------------------------------------------------------

TEST_F(MainWindow, IssuesNoteShowsOnceEvenWithNoIssues)
{
    Open();
    EXPECT_TRUE(window->IsIssuesNoteShown());
    EXPECT_TRUE(Visible(IDC_ISSUES_NOTE));
    const CThemeLabel& note = window->GetIssuesNote();
    EXPECT_EQ(note.GetText(), kNoteZero);
    EXPECT_EQ(note.GetTextColor(), 0xFFFF0000u);
    std::unique_ptr<Gdiplus::Font> twelve(CreateMessageFont(FontSpec::Regular(12)));
    ASSERT_NE(note.GetLabelFont(), nullptr);
    EXPECT_FLOAT_EQ(note.GetLabelFont()->GetSize(), twelve->GetSize());
    EXPECT_EQ(note.GetLabelFont()->GetStyle(), Gdiplus::FontStyleRegular);
    EXPECT_TRUE(ReadStored(HKEY_CURRENT_USER, kProfileKey, L"showCompatibility").IsDword(1));
    // Red text is drawn where the note is.
    WindowCapture shot = CaptureWindow(*window);
    EXPECT_GT(shot.Count(RGB(255, 0, 0), RectInParent(Item(IDC_ISSUES_NOTE))), 20);

    window.reset();
    Open();
    EXPECT_FALSE(window->IsIssuesNoteShown());
    EXPECT_FALSE(Visible(IDC_ISSUES_NOTE));
    // Back from a page the note stays away.
    OpenSection(IDC_BTN_LOCATION, window->GetLocationPage());
    Done(window->GetLocationPage());
    EXPECT_TRUE(HomeViewShown());
    EXPECT_FALSE(Visible(IDC_ISSUES_NOTE));
}

TEST_F(MainWindow, IssuesNoteCountsMissingApplicationsDriversAndAssociations)
{
    ASSERT_TRUE(Tavrin::Test::SaveLostInventories(result, L"Gone"));
    Open();
    EXPECT_EQ(window->CountCompatibilityIssues(), 4u);
    EXPECT_EQ(window->GetIssuesNote().GetText(),
              L"* You have 4 compatibility issues to review in the Devices & App Compatibility section");
    SaveScreenshot(*window, L"main-home-view-with-issues");
}

TEST_F(MainWindow, IssuesNoteCountsARecordThatCannotBeReadApart)
{
    ASSERT_TRUE(Tavrin::Test::SaveLostInventories(result, L"Gone"));
    // The drivers' record cut short: the driver it lost is no longer
    // known, and the note says a record could not be read.
    const std::string drivers = ReadFileBytes(Tavrin::Core::kDriversFile);
    ASSERT_TRUE(WriteFileBytes(Tavrin::Core::kDriversFile, drivers.substr(0, drivers.size() - 8)));
    Open();
    size_t unreadable = 0;
    EXPECT_EQ(window->CountCompatibilityIssues(&unreadable), 3u);
    EXPECT_EQ(unreadable, 1u);
    EXPECT_EQ(window->GetIssuesNote().GetText(),
              L"* You have 3 compatibility issues and 1 unreadable record to "
              L"review in Devices & App Compatibility");
    SaveScreenshot(*window, L"main-home-view-with-unreadable-record");
}

// --- First run --------------------------------------------------------------------

TEST_F(MainWindow, FirstStartCongratulatesAndMarksTheMachine)
{
    DeleteStored(HKEY_LOCAL_MACHINE, kFirstRunKey, L"");
    MessageBoxAnswerer answerer(IDOK, kAppName);
    Open();
    ASSERT_TRUE(answerer.Answered());
    EXPECT_EQ(answerer.Text(), L"Congratulations on upgrading to Windows 10!");
    EXPECT_EQ(answerer.Caption(), kAppName);
    EXPECT_TRUE(ReadStored(HKEY_LOCAL_MACHINE, kFirstRunKey, L"").IsString(L"notFirstRun"));
    EXPECT_TRUE(window->IsWindowVisible());
}

TEST_F(MainWindow, MarkerInAnotherCaseCountsAsFirstRunAndIsOverwritten)
{
    MarkStarted(L"notfirstrun");
    MessageBoxAnswerer answerer(IDOK, kAppName);
    Open();
    EXPECT_TRUE(answerer.Answered());
    EXPECT_EQ(answerer.Text(), L"Congratulations on upgrading to Windows 10!");
    EXPECT_EQ(FirstRunMarker(), L"notFirstRun");
}

TEST_F(MainWindow, MarkerTooLongForItsBufferCountsAsFirstRun)
{
    MarkStarted(L"notFirstRun but much longer than sixteen characters");
    MessageBoxAnswerer answerer(IDOK, kAppName);
    Open();
    EXPECT_TRUE(answerer.Answered());
    EXPECT_EQ(FirstRunMarker(), L"notFirstRun");
}

TEST_F(MainWindow, MarkerPresentMeansNoCongratulation)
{
    MessageBoxAnswerer answerer(IDOK, L"", 3000);
    Open();
    PumpMessagesFor(300);
    EXPECT_FALSE(answerer.Answered()) << answerer.Text().c_str();
    EXPECT_EQ(FirstRunMarker(), L"notFirstRun");
}

TEST_F(MainWindow, OnlyWindows10IsCongratulated)
{
    DeleteStored(HKEY_LOCAL_MACHINE, kFirstRunKey, L"");
    result.windowsVersion = Tavrin::Core::WindowsVersionCode::Windows81;
    MessageBoxAnswerer answerer(IDOK, L"", 3000);
    Open();
    PumpMessagesFor(300);
    EXPECT_FALSE(answerer.Answered());
    EXPECT_EQ(FirstRunMarker(), L"(none)");
}

// --- The restart question -----------------------------------------------------------

TEST_F(MainWindow, SecurityClickThenDoneAsksAndNoAsksAgainLater)
{
    Open();
    CSecurityDlg& page = window->GetSecurityPage();
    OpenSection(IDC_BTN_SECURITY, page);
    EXPECT_TRUE(ClickSetting(page.GetDlgItem(IDC_SECURITY_PASSWORD_REVEAL)));
    EXPECT_TRUE(app.RestartRequired());
    std::wstring text;
    EXPECT_TRUE(Done(page, IDNO, &text));
    EXPECT_EQ(text, CTavrinDlg::kRestartQuestion);
    EXPECT_EQ(restarts, 0);
    EXPECT_TRUE(app.RestartRequired());
    EXPECT_TRUE(HomeViewShown());
    // No keeps the question coming, also from a page that changed nothing.
    OpenSection(IDC_BTN_PRIVACY, window->GetPrivacyPage());
    EXPECT_TRUE(Done(window->GetPrivacyPage()));
    EXPECT_EQ(restarts, 0);
}

TEST_F(MainWindow, YesRestartsTheSystem)
{
    Open();
    CThemeDlg& page = window->GetThemePage();
    OpenSection(IDC_BTN_THEMES, page);
    EXPECT_TRUE(ClickSetting(page.GetDlgItem(IDC_THEME_START_MENU)));
    EXPECT_TRUE(Done(page, IDYES));
    EXPECT_EQ(restarts, 1);
}

TEST_F(MainWindow, AClickUndoneBySecondClickStillAsks)
{
    Open();
    CSecurityDlg& page = window->GetSecurityPage();
    OpenSection(IDC_BTN_SECURITY, page);
    EXPECT_TRUE(ClickSetting(page.GetDlgItem(IDC_SECURITY_WIFI_SENSE)));
    EXPECT_TRUE(ClickSetting(page.GetDlgItem(IDC_SECURITY_WIFI_SENSE)));
    EXPECT_EQ(page.IsDlgButtonChecked(IDC_SECURITY_WIFI_SENSE), BST_UNCHECKED);
    EXPECT_TRUE(Done(page));
}

TEST_F(MainWindow, PrivacyAndLocationNeverAsk)
{
    Open();
    CPrivacyDlg& privacyPage = window->GetPrivacyPage();
    OpenSection(IDC_BTN_PRIVACY, privacyPage);
    for (int id = IDC_PRIVACY_HANDWRITING; id <= IDC_PRIVACY_ONEDRIVE; ++id)
        EXPECT_TRUE(ClickSetting(privacyPage.GetDlgItem(id)));
    EXPECT_TRUE(ClickSetting(privacyPage.GetDlgItem(IDCANCEL)));
    EXPECT_FALSE(Done(privacyPage));
    CLocationDlg& locationPage = window->GetLocationPage();
    OpenSection(IDC_BTN_LOCATION, locationPage);
    for (int id = IDC_LOCATION_LOCATE_SYSTEM; id <= IDC_LOCATION_APP_ACCESS; ++id)
        EXPECT_TRUE(ClickSetting(locationPage.GetDlgItem(id)));
    EXPECT_FALSE(Done(locationPage));
    EXPECT_FALSE(app.RestartRequired());
}

TEST_F(MainWindow, SecurityResetAloneDoesNotAsk)
{
    Open();
    CSecurityDlg& page = window->GetSecurityPage();
    OpenSection(IDC_BTN_SECURITY, page);
    EXPECT_TRUE(ClickSetting(page.GetDlgItem(IDCANCEL)));
    EXPECT_FALSE(Done(page));
    EXPECT_FALSE(app.RestartRequired());
}

TEST_F(MainWindow, ClosingAfterDarkThemeAsksAndNoClosesWithoutRestart)
{
    MessageBoxAnswerer answerer(IDNO, L"Orvane Tools", 15000);
    RunModal([](HWND main) {
        Click(::GetDlgItem(main, IDC_BTN_THEMES));
        // The image button posts its click: wait for the page to come up.
        HWND page = nullptr;
        for (DWORD start = ::GetTickCount(); !page && ::GetTickCount() - start < 10000; ::Sleep(20)) {
            for (HWND child = ::GetWindow(main, GW_CHILD); child && !page;
                 child = ::GetWindow(child, GW_HWNDNEXT))
                if (::IsWindowVisible(child) && ::GetDlgItem(child, IDC_THEME_START_MENU))
                    page = child;
        }
        ASSERT_NE(page, nullptr);
        EXPECT_TRUE(ClickSetting(::GetDlgItem(page, IDC_THEME_DARK_THEME)));
        ::PostMessageW(main, WM_CLOSE, 0, 0);
    });
    EXPECT_TRUE(answerer.Answered());
    EXPECT_EQ(answerer.Text(), CTavrinDlg::kRestartQuestion);
    EXPECT_TRUE(app.RestartRequired());
    EXPECT_EQ(restarts, 0);
}

TEST_F(MainWindow, ClosingWithoutChangesDoesNotAsk)
{
    MessageBoxAnswerer answerer(IDNO, L"Orvane Tools", 15000);
    RunModal([](HWND main) { ::PostMessageW(main, WM_CLOSE, 0, 0); });
    EXPECT_FALSE(answerer.Answered());
}

TEST_F(MainWindow, EscapeClosesAtOnceWithoutAsking)
{
    app.SetRestartRequired(true);
    MessageBoxAnswerer answerer(IDNO, L"Orvane Tools", 15000);
    const INT_PTR answer = RunModal([](HWND main) { PressKey(main, VK_ESCAPE); });
    EXPECT_EQ(answer, IDCANCEL);
    EXPECT_FALSE(answerer.Answered());
    EXPECT_EQ(restarts, 0);
}

// --- The keyboard -------------------------------------------------------------------

namespace {

// What a page's catalogue says about its boxes, for whichever box the
// keyboard reaches.
struct Catalogue {
    std::function<std::vector<std::string>()> state;
    std::function<std::vector<std::string>(int box)> afterTick;
    std::function<bool(int box)> asksRestart;
};

template <typename Model> Catalogue CatalogueOf(const SettingsPageLayout& layout)
{
    return {[] { return StateOf(Model()); },
            [&layout](int box) {
                const auto* row = RowOfBox<Model>(layout, box);
                return row ? AfterSteps(StateOf(Model()), row->tick) : std::vector<std::string>{};
            },
            [&layout](int box) {
                const auto* row = RowOfBox<Model>(layout, box);
                return row && row->asksRestart;
            }};
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = 5000)
{
    for (DWORD start = ::GetTickCount(); !condition(); ::Sleep(20))
        if (::GetTickCount() - start > timeoutMs)
            return condition();
    return true;
}

} // namespace

// Real key events through the window's own modal loop: Tab and Shift+Tab
// move in reading order, Enter opens the focused section, Space ticks the
// focused box as a click does, Enter and Escape on a page are "Done" (never
// the reset, never the end of the program), Alt+F4 closes with the question.
TEST_F(MainWindow, TheKeyboardReachesEverySectionTicksBoxesAndLeavesPagesAsDoneDoes)
{
    struct Case {
        int section;
        std::function<CWnd&(CTavrinDlg&)> page;
        Catalogue catalogue;
        UINT leaveKey;
        bool focusResetFirst;
    };
    const Case cases[] = {
        {IDC_BTN_SECURITY, [](CTavrinDlg& w) -> CWnd& { return w.GetSecurityPage(); },
         CatalogueOf<Tavrin::Core::CSecurity>(CSecurityDlg::kLayout), VK_RETURN, false},
        {IDC_BTN_THEMES, [](CTavrinDlg& w) -> CWnd& { return w.GetThemePage(); },
         CatalogueOf<Tavrin::Core::CThemeSettings>(CThemeDlg::kLayout), VK_ESCAPE, true},
        {IDC_BTN_PRIVACY, [](CTavrinDlg& w) -> CWnd& { return w.GetPrivacyPage(); },
         CatalogueOf<Tavrin::Core::CPrivacy>(CPrivacyDlg::kLayout), VK_RETURN, true},
        {IDC_BTN_LOCATION, [](CTavrinDlg& w) -> CWnd& { return w.GetLocationPage(); },
         CatalogueOf<Tavrin::Core::CLocation>(CLocationDlg::kLayout), VK_ESCAPE, false},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE("section " + std::to_string(test.section));
        app.SetRestartRequired(false);
        bool asked = false;
        const INT_PTR answer = RunModal([&](HWND main) {
            const std::vector<HWND> buttons = window->SectionButtons();
            const HWND target = ::GetDlgItem(main, test.section);
            ASSERT_TRUE(WaitFor([&] {
                return std::find(buttons.begin(), buttons.end(), FocusOf(main)) != buttons.end();
            })) << "no section button has the focus at the start";
            // Tab walks the buttons in reading order, Shift+Tab back.
            const auto at = [&](HWND button) { return std::find(buttons.begin(), buttons.end(), button); };
            const HWND start = FocusOf(main);
            ASSERT_NE(at(start) + 1, buttons.end());
            // As after a mouse start the focus cue is hidden; Tab shows it.
            const auto showsCue = [](HWND button) {
                return CWnd::FromHandlePermanent(button)->ShowsFocusCues();
            };
            ::SendMessageW(main, WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
            EXPECT_FALSE(showsCue(start));
            ASSERT_TRUE(TypeKey(main, VK_TAB));
            EXPECT_TRUE(WaitFor([&] { return FocusOf(main) == *(at(start) + 1); }));
            EXPECT_TRUE(WaitFor([&] { return showsCue(*(at(start) + 1)); }));
            ASSERT_TRUE(TypeKey(main, VK_TAB, {VK_SHIFT}));
            EXPECT_TRUE(WaitFor([&] { return FocusOf(main) == start; }));
            while (FocusOf(main) != target && at(FocusOf(main)) != buttons.end()) {
                const HWND before = FocusOf(main);
                ASSERT_TRUE(TypeKey(main, VK_TAB));
                ASSERT_TRUE(WaitFor([&] { return FocusOf(main) != before; }));
                ASSERT_EQ(at(FocusOf(main)), at(before) + 1) << "Tab leaves the reading order";
            }
            ASSERT_EQ(FocusOf(main), target);

            HWND page = test.page(*window).GetSafeHwnd();
            ASSERT_TRUE(TypeKey(main, VK_RETURN));
            ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(page) != FALSE; })) << "Enter opened nothing";
            // The focus starts on the page's first box; Space ticks it.
            // The page is shown before it moves the focus to its first box.
            ASSERT_TRUE(WaitFor([&] { return ::IsChild(page, FocusOf(main)) != FALSE; }));
            HWND box = FocusOf(main);
            const int boxId = ::GetDlgCtrlID(box);
            const std::vector<std::string> ticked = test.catalogue.afterTick(boxId);
            ASSERT_FALSE(ticked.empty()) << boxId << " has no row";
            ASSERT_TRUE(TypeKey(main, VK_SPACE));
            EXPECT_TRUE(WaitFor([&] { return test.catalogue.state() == ticked; })) << boxId;
            EXPECT_EQ(::SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
            const bool asks = test.catalogue.asksRestart(boxId);
            EXPECT_TRUE(WaitFor([&] { return app.RestartRequired() == asks; }));

            if (test.focusResetFirst) {
                // Backwards from the first box: "Done", then the reset.
                ASSERT_TRUE(TypeKey(main, VK_TAB, {VK_SHIFT}));
                EXPECT_TRUE(WaitFor([&] { return FocusOf(main) == ::GetDlgItem(page, IDOK); }));
                ASSERT_TRUE(TypeKey(main, VK_TAB, {VK_SHIFT}));
                EXPECT_TRUE(WaitFor([&] { return FocusOf(main) == ::GetDlgItem(page, IDCANCEL); }));
            }
            {
                MessageBoxAnswerer question(IDNO, L"Orvane Tools", 5000);
                ASSERT_TRUE(TypeKey(main, test.leaveKey));
                EXPECT_TRUE(WaitFor([&] { return ::IsWindowVisible(target) != FALSE; }))
                    << "the key did not lead back to the home view";
                EXPECT_EQ(question.Wait(asks ? 5000 : 500), asks);
            }
            EXPECT_TRUE(::IsWindow(main)) << "the key ended the program";
            EXPECT_FALSE(::IsWindowVisible(page));
            // The reset never ran: the tick is still in the registry and on the box.
            EXPECT_EQ(test.catalogue.state(), ticked);
            EXPECT_EQ(::SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
            EXPECT_TRUE(WaitFor([&] { return FocusOf(main) == target; }));

            // Alt+F4 closes, with the question when a box asked for a restart.
            MessageBoxAnswerer question(IDNO, L"Orvane Tools", 5000);
            ASSERT_TRUE(TypeKey(main, VK_F4, {VK_MENU}));
            asked = question.Wait(asks ? 5000 : 500);
        });
        EXPECT_EQ(answer, IDCANCEL);
        EXPECT_EQ(asked, app.RestartRequired());
        EXPECT_EQ(restarts, 0);
    }
}

// --- Screen readers ----------------------------------------------------------------

TEST_F(MainWindow, ScreenReadersReadTheButtonsAndBoxesAndTheirDefaultActionsWork)
{
    Open();
    // Each section button is a push button named by its text; its default
    // action opens its page as a click does.
    const struct {
        int button;
        CWnd* page;
    } sections[] = {
        {IDC_BTN_PRIVACY, &window->GetPrivacyPage()},
        {IDC_BTN_LOCATION, &window->GetLocationPage()},
        {IDC_BTN_SECURITY, &window->GetSecurityPage()},
        {IDC_BTN_THEMES, &window->GetThemePage()},
        {IDC_BTN_RECLAMATION, &window->GetReclamationPage()},
        {IDC_BTN_COMPATIBILITY, &window->GetCompatibilityPage()},
    };
    for (const auto& section : sections) {
        const AccessibleFacts facts = DescribeAccessible(Item(section.button));
        ASSERT_TRUE(facts.found) << section.button;
        EXPECT_EQ(facts.name, TextOf(Item(section.button)));
        EXPECT_FALSE(facts.name.empty());
        EXPECT_EQ(facts.role, ROLE_SYSTEM_PUSHBUTTON) << section.button;
        EXPECT_EQ(facts.state & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_UNAVAILABLE), 0) << section.button;
        EXPECT_EQ(facts.defaultAction, L"Press");
        EXPECT_EQ(DoAccessibleDefaultAction(Item(section.button)), S_OK);
        EXPECT_TRUE(PumpUntil([&] { return section.page->IsWindowVisible() != FALSE; })) << section.button;
        EXPECT_TRUE(HomeViewHidden());
        Done(*section.page);
        EXPECT_TRUE(HomeViewShown());
    }

    // The security page's boxes are check boxes named by their texts that
    // report their ticks; a box's default action ticks it as a click does.
    CSecurityDlg& page = window->GetSecurityPage();
    OpenSection(IDC_BTN_SECURITY, page);
    EXPECT_TRUE(ClickSetting(page.GetDlgItem(IDC_SECURITY_TELEMETRY)));
    for (const auto& [id, rowName] : page.GetLayout().boxes) {
        SCOPED_TRACE(id);
        HWND box = page.GetDlgItem(id);
        const AccessibleFacts facts = DescribeAccessible(box);
        ASSERT_TRUE(facts.found);
        EXPECT_EQ(facts.name, TextOf(box));
        EXPECT_EQ(facts.role, ROLE_SYSTEM_CHECKBUTTON);
        const bool ticked = page.IsDlgButtonChecked(id) == BST_CHECKED;
        EXPECT_EQ((facts.state & STATE_SYSTEM_CHECKED) != 0, ticked);
        EXPECT_EQ(facts.defaultAction, ticked ? L"Uncheck" : L"Check");
    }
    EXPECT_EQ(page.IsDlgButtonChecked(IDC_SECURITY_WIFI_SENSE), BST_UNCHECKED);
    const auto* row = Tavrin::Core::FindRow<Tavrin::Core::CSecurity>("security.wifi-sense");
    ASSERT_NE(row, nullptr);
    const auto expected = AfterSteps(StateOf(security), row->tick);
    EXPECT_EQ(DoAccessibleDefaultAction(page.GetDlgItem(IDC_SECURITY_WIFI_SENSE)), S_OK);
    EXPECT_TRUE(PumpUntil([&] { return StateOf(security) == expected; }));
    EXPECT_EQ(page.IsDlgButtonChecked(IDC_SECURITY_WIFI_SENSE), BST_CHECKED);
    EXPECT_NE(DescribeAccessible(page.GetDlgItem(IDC_SECURITY_WIFI_SENSE)).state & STATE_SYSTEM_CHECKED, 0);
}
