#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/TavrinApp.h"
#include "app/TavrinDlg.h"
#include "core/DeploymentPolicy.h"
#include "core/settings/ChosenStates.h"
#include "core/settings/RestorePoint.h"
#include "core/settings/SettingsBook.h"
#include "platform/ComPtr.h"
#include "platform/Text.h"
#include "platform/UserHive.h"
#include "res/resource.h"
#include "tests/app/MainWindowSupport.h"
#include "tests/core/SettingsTestSupport.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WindowTestSupport.h"

// The record of the states the user chose and the check of what Windows
// changed back: through the real window across every page, and "/verify"
// of the real tavrin.exe, with the stand-in policy object.

using namespace Tavrin::Test;
using Tavrin::Core::RegistryPlace;
using Tavrin::Core::SettingsBook;

namespace {

constexpr wchar_t kAppName[] = L"TavrinChangedBackTests";
constexpr wchar_t kDpiVariable[] = L"TAVRIN_CHANGED_BACK_DPI";

// What Windows does when it takes a setting back: a plain write, to the value
// a row's box reads, of a value the box does not show ticked.
struct Revert {
    std::string name;
    RegistryPlace place;
    bool number = true;
    DWORD value = 0;
    std::wstring text;

    HKEY Root() const
    {
        return place.root == RegistryPlace::Root::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    }
    void Write() const
    {
        if (place.ViaPolicyObject())
            PolicyServer::WriteAsAnotherTool(place.keyPath, place.valueName, value);
        else if (number)
            WriteDword(Root(), place.keyPath, place.valueName, value);
        else
            WriteString(Root(), place.keyPath, place.valueName, text);
    }
};

template <typename Model> void AddReverts(std::vector<Revert>& reverts)
{
    using Test = Tavrin::Core::SettingTest<Model>;
    const Model model; // opens no policy object
    for (const auto& row : Tavrin::Core::CatalogueOf<Model>().rows) {
        const Test& test = row.shownTicked;
        reverts.push_back(
            {row.name, std::visit([&](auto member) { return (model.*member).Place(); }, test.entry),
             std::holds_alternative<Tavrin::Core::NumberProperty Model::*>(test.entry),
             test.kind == Test::Kind::NotZero ? 0 : test.number + 1, std::wstring(test.text) + L"x"});
    }
}

// The first row of each kind of place (the machine's registry, the user's
// hive, the machine section of the policy object), in row order.
std::vector<Revert> ThreeReverts()
{
    std::vector<Revert> all, chosen;
    AddReverts<Tavrin::Core::CPrivacy>(all);
    AddReverts<Tavrin::Core::CSecurity>(all);
    AddReverts<Tavrin::Core::CLocation>(all);
    AddReverts<Tavrin::Core::CThemeSettings>(all);
    for (const Revert& revert : all)
        if (std::none_of(chosen.begin(), chosen.end(),
                         [&](const Revert& r) { return r.place.root == revert.place.root; }) &&
            revert.place.root != RegistryPlace::Root::PolicyUser)
            chosen.push_back(revert);
    return chosen;
}

// Whether the record holds the row, in the part it belongs to (a name of no
// row: the machine's part).
bool Recorded(const std::string& name)
{
    const SettingsBook::Row* row = SettingsBook::Find(name);
    const std::wstring part = row && row->perUser ? Tavrin::Platform::UserHive::Current().User().sid
                                                  : Tavrin::Core::kChosenMachinePart;
    return ReadStored(HKEY_LOCAL_MACHINE, std::wstring(Tavrin::Core::kChosenStatesKey) + L"\\" + part,
                      Tavrin::Platform::Widen(name))
        .present;
}

Tavrin::Core::ChosenStatesCheck CheckNow()
{
    const Tavrin::Platform::ComApartment com;
    SettingsBook book;
    return Tavrin::Core::CheckChosenStates(book);
}

// Finds the list of the rows changed back that the window opened (modally,
// on the test's thread) and runs `act` with it on a thread of its own, which
// closes the list if `act` left it open. Gives up after 20 seconds.
class ListDriver {
public:
    explicit ListDriver(std::function<void(HWND dialog, HWND list)> act)
        : m_thread([this, act] {
              for (const DWORD start = ::GetTickCount(); ::GetTickCount() - start < 20000 && !m_found;
                   ::Sleep(50))
                  for (HWND window : TopLevelWindows()) {
                      DWORD process = 0;
                      ::GetWindowThreadProcessId(window, &process);
                      if (process == ::GetCurrentProcessId() && ::IsWindowVisible(window) &&
                          ::GetDlgItem(window, IDC_CHANGED_BACK_LIST)) {
                          m_found = true;
                          ::Sleep(300); // drawn
                          const Tavrin::Platform::ComApartment com;
                          act(window, ::GetDlgItem(window, IDC_CHANGED_BACK_LIST));
                          for (const DWORD end = ::GetTickCount();
                               ::IsWindow(window) && ::GetTickCount() - end < 20000;)
                              ::Sleep(50);
                          ::PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
                          break;
                      }
                  }
          })
    {
    }
    ~ListDriver() { m_thread.join(); }
    bool Found() const { return m_found; }

private:
    std::atomic<bool> m_found{false};
    std::thread m_thread;
};

void Press(HWND dialog, int id)
{
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

} // namespace

class ChangedBack : public ::testing::Test {
protected:
    void SetUp() override
    {
        PrepareMainWindow(app, kAppName, result);
        WriteDword(HKEY_CURRENT_USER, std::wstring(L"Software\\Tavrin\\") + kAppName, L"showCompatibility",
                   1);
        WriteString(HKEY_LOCAL_MACHINE, L"Software\\Tavrin", L"", L"notFirstRun");
        Tavrin::Core::RunRestorePoint::Instance().SetCall({});
        for (const SettingsBook::Row& row : SettingsBook::Rows())
            for (const RegistryPlace& place : row.places)
                if (!place.ViaPolicyObject())
                    restorer.TrackAndClear(place.root == RegistryPlace::Root::Machine ? HKEY_LOCAL_MACHINE
                                                                                      : HKEY_CURRENT_USER,
                                           place.keyPath, place.valueName);
        DeleteTree(HKEY_LOCAL_MACHINE, Tavrin::Core::kChosenStatesKey, KEY_WOW64_64KEY);
    }
    void TearDown() override
    {
        window.reset();
        PumpMessages();
        DeleteTree(HKEY_CURRENT_USER, std::wstring(L"Software\\Tavrin\\") + kAppName);
        DeleteTree(HKEY_LOCAL_MACHINE, Tavrin::Core::kChosenStatesKey, KEY_WOW64_64KEY);
        Tavrin::Core::RunRestorePoint::Instance().UseSystemCall();
    }

    // A start of the window; returns once its check of the record is done.
    void Start()
    {
        window = std::make_unique<CTavrinDlg>(&result);
        ASSERT_TRUE(window->Create(IDD_TAVRIN_DIALOG, nullptr));
        window->ShowWindow(SW_SHOW);
        ASSERT_TRUE(PumpUntil([&] { return window->IsChangedBackCheckDone(); }, 30000));
        PumpMessages();
    }
    HWND Notice() const { return window->GetDlgItem(IDC_CHANGED_BACK_LINK); }

    // Resets the page, then ticks every box of it, through the window.
    template <typename Model> void TickEverything(CSettingsPage<Model>& page, int sectionButton)
    {
        Click(window->GetDlgItem(sectionButton));
        EXPECT_TRUE(ClickSetting(page.GetDlgItem(IDCANCEL)));
        for (const auto& row : Tavrin::Core::CatalogueOf<Model>().rows)
            EXPECT_TRUE(page.IsDlgButtonChecked(BoxOf(page.GetLayout(), row.name)) == BST_CHECKED ||
                        ClickSetting(page.GetDlgItem(BoxOf(page.GetLayout(), row.name))));
        MessageBoxAnswerer restart(IDNO, L"Orvane Tools", 4000);
        Click(page.GetDlgItem(IDOK));
        PumpMessagesFor(200);
    }

    // The three rows ticked in this process, as a profile ticks them.
    void TickThree()
    {
        std::vector<Tavrin::Core::SettingRequest> requests;
        for (const Revert& revert : reverts)
            requests.push_back({revert.name, true});
        const Tavrin::Platform::ComApartment com;
        SettingsBook book;
        ASSERT_TRUE(book.ApplyAll(requests, true).failed.empty());
    }
    void RevertThree()
    {
        ASSERT_EQ(reverts.size(), 3u);
        for (const Revert& revert : reverts)
            revert.Write();
    }

    ClearedJournal journal;
    PolicyServer policy;
    RegistryValueBackup firstRun{HKEY_LOCAL_MACHINE, L"Software\\Tavrin", L""};
    RegistryRestorer restorer;
    const std::vector<Revert> reverts = ThreeReverts();
    CTavrinApp app;
    Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT result;
    std::unique_ptr<CTavrinDlg> window;
};

// Every box ticked through the window is no change by Windows; three values
// taken back are listed, the ticked ones applied again by keyboard, the one
// left kept as it is; each next start is clean.
TEST_F(ChangedBack, ThroughTheWindow)
{
    Start();
    EXPECT_EQ(window->ChangedBackCount(), 0u) << "no record yet";
    TickEverything(window->GetPrivacyPage(), IDC_BTN_PRIVACY);
    TickEverything(window->GetSecurityPage(), IDC_BTN_SECURITY);
    TickEverything(window->GetLocationPage(), IDC_BTN_LOCATION);
    TickEverything(window->GetThemePage(), IDC_BTN_THEMES);
    Start();
    EXPECT_EQ(window->ChangedBackCount(), 0u) << "no false positive";
    EXPECT_FALSE(::IsWindowVisible(Notice()));
    RevertThree();
    Start();
    ASSERT_EQ(window->ChangedBackCount(), 3u);
    EXPECT_TRUE(::IsWindowVisible(Notice()));
    EXPECT_EQ(TextOf(Notice()), L"<a>Windows changed back 3 of your settings</a>");
    SaveScreenshot(*window, L"changed-back-notice");

    std::vector<std::wstring> rows;
    HWND focus = nullptr, applyAgain = nullptr;
    AccessibleFacts listFacts, applyAgainFacts;
    {
        ListDriver driver([&](HWND dialog, HWND list) {
            applyAgain = ::GetDlgItem(dialog, IDC_APPLY_AGAIN);
            for (int i = 0; i < ListView_GetItemCount(list); ++i) {
                std::wstring row;
                for (int column = 0; column < 4; ++column) {
                    wchar_t text[256] = {};
                    ListView_GetItemText(list, i, column, text, 256);
                    row += text + std::wstring(L"|");
                }
                rows.push_back(row + (ListView_GetCheckState(list, i) ? L"x" : L""));
            }
            CaptureWindow(dialog, true).SavePng(ScreenshotPath(L"changed-back-list"));
            listFacts = DescribeAccessible(list);
            applyAgainFacts = DescribeAccessible(applyAgain);
            // Space unticks the first row, Tab goes on to "Apply again", Enter presses it.
            TypeKey(list, VK_SPACE);
            TypeKey(list, VK_TAB);
            ::Sleep(200);
            focus = FocusOf(dialog);
            TypeKey(dialog, VK_RETURN);
        });
        // Nothing asks anything after the rows were applied again.
        MessageBoxAnswerer unexpected(IDOK, L"", 30000);
        window->OpenChangedBackList();
        EXPECT_FALSE(unexpected.Answered()) << Tavrin::Platform::Narrow(unexpected.Text());
        EXPECT_TRUE(driver.Found());
    }
    ASSERT_EQ(rows.size(), 3u);
    for (size_t i = 0; i < rows.size(); ++i) {
        const SettingsBook::Row* row = SettingsBook::Find(reverts[i].name);
        CWnd* pages[] = {&window->GetPrivacyPage(), &window->GetSecurityPage(), &window->GetLocationPage(),
                         &window->GetThemePage()};
        const SettingsPageLayout* layouts[] = {&CPrivacyDlg::kLayout, &CSecurityDlg::kLayout,
                                               &CLocationDlg::kLayout, &CThemeDlg::kLayout};
        const int page = static_cast<int>(row->page);
        EXPECT_EQ(rows[i], std::wstring(SettingsBook::PageName(row->page)) + L"|" +
                               TextOf(pages[page]->GetDlgItem(BoxOf(*layouts[page], row->name))) +
                               L"|Ticked|Cleared|x");
    }
    EXPECT_EQ(focus, applyAgain);
    // Wine's oleacc answers for a list view with a plain client object,
    // where Windows' proxy describes the list and its ticked items.
    EXPECT_TRUE(listFacts.found);
    EXPECT_EQ(applyAgainFacts.name, L"Apply again");

    // The first row was not ticked: it alone is still changed back.
    ASSERT_TRUE(PumpUntil([&] { return window->IsChangedBackCheckDone(); }, 30000));
    ASSERT_EQ(window->ChangedBackCount(), 1u);
    EXPECT_EQ(TextOf(Notice()), L"<a>Windows changed back 1 of your settings</a>");
    {
        ListDriver driver([&](HWND dialog, HWND) { Press(dialog, IDC_KEEP_AS_IS); });
        window->OpenChangedBackList();
    }
    ASSERT_TRUE(PumpUntil([&] { return window->IsChangedBackCheckDone(); }, 30000));
    EXPECT_EQ(window->ChangedBackCount(), 0u);
    Start();
    EXPECT_EQ(window->ChangedBackCount(), 0u) << "the next start is clean";
    const Tavrin::Platform::ComApartment com;
    SettingsBook book;
    EXPECT_FALSE(book.IsTicked(*SettingsBook::Find(reverts[0].name))) << "kept as Windows left it";
    for (size_t i = 1; i < reverts.size(); ++i)
        EXPECT_TRUE(book.IsTicked(*SettingsBook::Find(reverts[i].name))) << "applied again";
}

TEST_F(ChangedBack, DamagedRecordIsIgnoredThenRebuiltAsTheUserChoosesAgain)
{
    TickThree();
    RevertThree();
    WriteString(HKEY_LOCAL_MACHINE, std::wstring(Tavrin::Core::kChosenStatesKey) + L"\\Machine",
                L"privacy.nothing", L"1");
    Start();
    EXPECT_EQ(window->ChangedBackCount(), 0u);
    EXPECT_FALSE(::IsWindowVisible(Notice()));
    EXPECT_EQ(CheckNow().state, Tavrin::Core::ChosenStatesCheck::State::Damaged);
    TickThree();
    EXPECT_EQ(CheckNow().state, Tavrin::Core::ChosenStatesCheck::State::Read);
    for (const Revert& revert : reverts)
        EXPECT_TRUE(Recorded(revert.name)) << revert.name;
    EXPECT_FALSE(Recorded("privacy.nothing"));
}

// A domain administrator's DisableDriftCheck: no check and no notice at
// start, though settings were changed back; without it the same start
// shows them.
TEST_F(ChangedBack, ThePolicyDisableDriftCheckShowsNoNotice)
{
    TickThree();
    RevertThree();
    {
        const DeploymentPolicySet policy(Tavrin::Core::DeploymentPolicy::DisableDriftCheck);
        Start();
        EXPECT_EQ(window->ChangedBackCount(), 0u);
        EXPECT_FALSE(::IsWindowVisible(Notice()));
    }
    Start();
    EXPECT_EQ(window->ChangedBackCount(), 3u);
}

// "/verify" changes nothing and exits with its codes; "/undo" forgets the
// rows it puts back.
TEST_F(ChangedBack, VerifyModeAndUndo)
{
    const struct {
        std::function<void()> prepare;
        std::wstring arguments;
        DWORD exitCode;
        std::string output;
        const wchar_t* windows = nullptr;
    } cases[] = {
        {[] {}, L"/verify", 0, "Settings changed back by Windows: 0"},
        {[] {}, L"/verify extra", 87, "Usage: tavrin.exe /verify"},
        {[] {}, L"/verify:x", 87, "Usage: tavrin.exe /verify"},
        {[] {}, L"/verify", 10, "not Windows 10", L"win81"},
        {[&] { TickThree(); }, L"-VERIFY", 0, "Settings changed back by Windows: 0"},
        {[&] { RevertThree(); }, L"/verify", 1, reverts[1].name + ": chosen ticked, now cleared"},
        {[] {
             WriteDword(HKEY_LOCAL_MACHINE, std::wstring(Tavrin::Core::kChosenStatesKey) + L"\\Machine",
                        L"privacy.nothing", 2);
         },
         L"/verify", 0, "The record of the settings chosen in Tavrin is damaged"},
    };
    for (const auto& step : cases) {
        const std::string label = step.output + " (" + Tavrin::Platform::Narrow(step.arguments) + ")";
        step.prepare();
        std::unique_ptr<WindowsVersionOverride> version;
        if (step.windows)
            version = std::make_unique<WindowsVersionOverride>(L"tavrin.exe", step.windows);
        const size_t before = CheckNow().changed.size();
        const ProcessResult run =
            RunProcess(L"\"" + BinFolder() + L"\\tavrin.exe\" " + step.arguments, 120000, BinFolder());
        EXPECT_EQ(run.exitCode, step.exitCode) << label << ": " << run.output;
        EXPECT_NE(run.output.find(step.output), std::string::npos) << label << ": " << run.output;
        EXPECT_EQ(CheckNow().changed.size(), before) << label << ": nothing changed";
    }
    TickThree();
    for (const Revert& revert : reverts)
        EXPECT_TRUE(Recorded(revert.name)) << revert.name;
    const ProcessResult undo = RunProcess(L"\"" + BinFolder() + L"\\tavrin.exe\" /undo", 120000, BinFolder());
    EXPECT_EQ(undo.exitCode, 0u) << undo.output;
    for (const Revert& revert : reverts)
        EXPECT_FALSE(Recorded(revert.name)) << revert.name;
}

// The notice and the list at the display's DPI, for screenshots: started by
// ChangedBackDisplay.ScreenshotsAt96And144Dpi with the DPI set in the prefix.
TEST_F(ChangedBack, AtTheDisplaysDpi)
{
    wchar_t dpi[16] = {};
    if (!::GetEnvironmentVariableW(kDpiVariable, dpi, 16))
        GTEST_SKIP() << "started by ChangedBackDisplay.ScreenshotsAt96And144Dpi";
    TickThree();
    RevertThree();
    Start();
    ASSERT_EQ(window->ChangedBackCount(), 3u);
    SaveScreenshot(*window, L"changed-back-notice-" + std::wstring(dpi) + L"dpi");
    RECT notice = {}, client = window->GetClientRect();
    ::GetWindowRect(Notice(), &notice);
    ::MapWindowPoints(nullptr, *window, reinterpret_cast<POINT*>(&notice), 2);
    EXPECT_TRUE(notice.left >= 0 && notice.right <= client.right && notice.bottom <= client.bottom);
    bool listInside = false;
    {
        ListDriver driver([&](HWND dialog, HWND list) {
            RECT shown = {}, inside = {};
            ::GetWindowRect(list, &shown);
            ::GetClientRect(dialog, &inside);
            ::MapWindowPoints(dialog, nullptr, reinterpret_cast<POINT*>(&inside), 2);
            listInside =
                shown.left >= inside.left && shown.right <= inside.right && shown.bottom <= inside.bottom;
            CaptureWindow(dialog, true)
                .SavePng(ScreenshotPath(L"changed-back-list-" + std::wstring(dpi) + L"dpi"));
            Press(dialog, IDCANCEL);
        });
        window->OpenChangedBackList();
        EXPECT_TRUE(driver.Found());
    }
    EXPECT_TRUE(listInside);
}

TEST(ChangedBackDisplay, ScreenshotsAt96And144Dpi)
{
    wchar_t program[MAX_PATH] = {};
    ASSERT_GT(::GetModuleFileNameW(nullptr, program, MAX_PATH), 0u);
    for (DWORD dpi : {96u, 144u}) {
        RegistryValueBackup userDpi(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels");
        RegistryValueBackup machineDpi(
            HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts",
            L"LogPixels");
        WriteDword(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", dpi);
        WriteDword(HKEY_LOCAL_MACHINE,
                   L"System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts", L"LogPixels",
                   dpi);
        ::SetEnvironmentVariableW(kDpiVariable, std::to_wstring(dpi).c_str());
        const ProcessResult run = RunProcess(
            L"\"" + std::wstring(program) + L"\" --gtest_filter=ChangedBack.AtTheDisplaysDpi", 240000);
        ::SetEnvironmentVariableW(kDpiVariable, nullptr);
        EXPECT_EQ(run.exitCode, 0u) << dpi << ": " << run.output;
        EXPECT_NE(run.output.find("[  PASSED  ] 1 test"), std::string::npos) << dpi << ": " << run.output;
    }
}
