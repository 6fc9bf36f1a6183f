#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/TavrinApp.h"
#include "app/TavrinDlg.h"
#include "core/settings/ChangeJournal.h"
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
#include "ui/pages/ChangedBackDlg.h"

// The record of the states the user chose and the check of what Windows
// changed back: through the real window across every page, and "/verify"
// of the real tavrin.exe, with the stand-in policy object.

using namespace Tavrin::Test;
using Tavrin::Core::RegistryPlace;
using Tavrin::Core::SettingsBook;

namespace {

constexpr wchar_t kAppName[] = L"TavrinChangedBackTests";
const std::wstring kProfileKey = std::wstring(L"Software\\Tavrin\\") + kAppName;
constexpr wchar_t kDpiVariable[] = L"TAVRIN_CHANGED_BACK_DPI";

// What Windows does when it takes a setting back: a plain write of the value
// a row's box reads, one that the box does not show ticked.
struct Revert {
    std::string name;
    RegistryPlace place;
    bool number = true;
    DWORD value = 0;
    std::wstring text;

    void Write() const
    {
        if (place.ViaPolicyObject())
            PolicyServer::WriteAsAnotherTool(place.keyPath, place.valueName, value);
        else if (number)
            WriteDword(Root(), place.keyPath, place.valueName, value);
        else
            WriteString(Root(), place.keyPath, place.valueName, text);
    }
    HKEY Root() const
    {
        return place.root == RegistryPlace::Root::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    }
};

template <typename Model> void AddReverts(std::vector<Revert>& reverts)
{
    using Test = Tavrin::Core::SettingTest<Model>;
    const Model model; // opens no policy object
    for (const auto& row : Tavrin::Core::CatalogueOf<Model>().rows) {
        const Test& test = row.shownTicked;
        Revert revert;
        revert.name = row.name;
        revert.place = std::visit([&](auto member) { return (model.*member).Place(); }, test.entry);
        revert.number = std::holds_alternative<Tavrin::Core::NumberProperty Model::*>(test.entry);
        revert.value = test.kind == Test::Kind::NotZero ? 0 : test.number + 1;
        revert.text = std::wstring(test.text) + L" changed";
        reverts.push_back(revert);
    }
}

// One row of each kind of place: the machine's registry, the user's hive and
// the machine section of the policy object.
std::vector<Revert> ThreeReverts()
{
    std::vector<Revert> all, chosen;
    AddReverts<Tavrin::Core::CPrivacy>(all);
    AddReverts<Tavrin::Core::CSecurity>(all);
    AddReverts<Tavrin::Core::CLocation>(all);
    AddReverts<Tavrin::Core::CThemeSettings>(all);
    for (auto root :
         {RegistryPlace::Root::Machine, RegistryPlace::Root::User, RegistryPlace::Root::PolicyMachine})
        for (const Revert& revert : all)
            if (revert.place.root == root) {
                chosen.push_back(revert);
                break;
            }
    return chosen;
}

template <typename Model> void AddPlaces(std::vector<RegistryPlace>& places)
{
    const Model model;
    for (const auto& entry : Tavrin::Core::CatalogueOf<Model>().members)
        places.push_back(std::visit([&](auto member) { return (model.*member).Place(); }, entry));
}

std::wstring PartPath(const std::wstring& part)
{
    return std::wstring(Tavrin::Core::kChosenStatesKey) + L"\\" + part;
}

// The record is gone while the object lives, and when it goes.
struct ClearedRecord {
    ClearedRecord() { DeleteTree(HKEY_LOCAL_MACHINE, Tavrin::Core::kChosenStatesKey, KEY_WOW64_64KEY); }
    ~ClearedRecord() { DeleteTree(HKEY_LOCAL_MACHINE, Tavrin::Core::kChosenStatesKey, KEY_WOW64_64KEY); }
};

Tavrin::Core::ChosenStatesCheck CheckNow()
{
    const Tavrin::Platform::ComApartment com;
    SettingsBook book;
    return Tavrin::Core::CheckChosenStates(book);
}

std::vector<std::string> Names(const std::vector<Tavrin::Core::ChangedBack>& rows)
{
    std::vector<std::string> names;
    for (const auto& row : rows)
        names.push_back(row.name);
    return names;
}

ProcessResult RunTavrin(const std::wstring& arguments)
{
    return RunProcess(L"\"" + BinFolder() + L"\\tavrin.exe\" " + arguments, 120000, BinFolder());
}

// Finds the list of the rows changed back that the window opened (modally,
// on the test's thread) and runs `act` with it on a thread of its own.
// Gives up after 20 seconds; `act` ends the list.
class ListDriver {
public:
    explicit ListDriver(std::function<void(HWND list)> act) : m_act(std::move(act))
    {
        m_thread = std::thread([this] { Run(); });
    }
    ~ListDriver() { m_thread.join(); }
    bool Found() const { return m_found; }

private:
    void Run()
    {
        for (const DWORD start = ::GetTickCount(); ::GetTickCount() - start < 20000; ::Sleep(50)) {
            for (HWND window : TopLevelWindows()) {
                DWORD process = 0;
                ::GetWindowThreadProcessId(window, &process);
                if (process != ::GetCurrentProcessId() || !::IsWindowVisible(window) ||
                    !::GetDlgItem(window, IDC_CHANGED_BACK_LIST))
                    continue;
                m_found = true;
                ::Sleep(300); // drawn
                const Tavrin::Platform::ComApartment com;
                m_act(window);
                return;
            }
        }
    }

    std::function<void(HWND)> m_act;
    std::atomic<bool> m_found{false};
    std::thread m_thread;
};

std::wstring CellText(HWND list, int item, int column)
{
    wchar_t text[256] = {};
    ListView_GetItemText(list, item, column, text, 256);
    return text;
}

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
        if (HasFatalFailure())
            return;
        WriteDword(HKEY_CURRENT_USER, kProfileKey, L"showCompatibility", 1);
        WriteString(HKEY_LOCAL_MACHINE, L"Software\\Tavrin", L"", L"notFirstRun");
        Tavrin::Core::RunRestorePoint::Instance().SetCall({});
        std::vector<RegistryPlace> places;
        AddPlaces<Tavrin::Core::CPrivacy>(places);
        AddPlaces<Tavrin::Core::CSecurity>(places);
        AddPlaces<Tavrin::Core::CLocation>(places);
        AddPlaces<Tavrin::Core::CThemeSettings>(places);
        for (const RegistryPlace& place : places)
            if (!place.ViaPolicyObject())
                restorer.TrackAndClear(place.root == RegistryPlace::Root::Machine ? HKEY_LOCAL_MACHINE
                                                                                  : HKEY_CURRENT_USER,
                                       place.keyPath, place.valueName);
    }
    void TearDown() override
    {
        window.reset();
        PumpMessages();
        DeleteTree(HKEY_CURRENT_USER, kProfileKey);
        Tavrin::Core::RunRestorePoint::Instance().UseSystemCall();
    }

    // A start of the window; returns once its check of the record is done.
    void Start()
    {
        window = std::make_unique<CTavrinDlg>(&result);
        window->SetRestartAction([] {});
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
        ASSERT_TRUE(PumpUntil([&] { return page.IsWindowVisible() != FALSE; })) << sectionButton;
        EXPECT_TRUE(ClickSetting(page.GetDlgItem(IDCANCEL)));
        for (const auto& row : Tavrin::Core::CatalogueOf<Model>().rows) {
            if (page.IsDlgButtonChecked(row.controlId) != BST_CHECKED) {
                EXPECT_TRUE(ClickSetting(page.GetDlgItem(row.controlId)));
            }
            EXPECT_EQ(page.IsDlgButtonChecked(row.controlId), BST_CHECKED) << row.name;
        }
        MessageBoxAnswerer restart(IDNO, L"Orvane Tools", 4000);
        Click(page.GetDlgItem(IDOK));
        PumpMessagesFor(200);
    }

    void TickEverythingThroughTheWindow()
    {
        TickEverything(window->GetPrivacyPage(), IDC_BTN_PRIVACY);
        TickEverything(window->GetSecurityPage(), IDC_BTN_SECURITY);
        TickEverything(window->GetLocationPage(), IDC_BTN_LOCATION);
        TickEverything(window->GetThemePage(), IDC_BTN_THEMES);
    }

    // Every row ticked through the window, a clean start, then three rows
    // taken back as Windows takes them.
    void ChooseThenRevert()
    {
        Start();
        ASSERT_EQ(window->ChangedBackCount(), 0u) << "no record yet";
        TickEverythingThroughTheWindow();
        window.reset();
        Start();
        EXPECT_EQ(window->ChangedBackCount(), 0u) << "what the window changed is no change by Windows";
        EXPECT_FALSE(::IsWindowVisible(Notice()));
        window.reset();
        ASSERT_EQ(reverts.size(), 3u);
        for (const Revert& revert : reverts)
            revert.Write();
    }

    std::vector<std::string> RevertedNames() const
    {
        std::vector<std::string> names;
        for (const Revert& revert : reverts)
            names.push_back(revert.name);
        // In row order, as the check lists them.
        std::vector<std::string> ordered;
        for (const SettingsBook::Row& row : SettingsBook::Rows())
            for (const std::string& name : names)
                if (name == row.name)
                    ordered.push_back(name);
        return ordered;
    }

    ClearedJournal journal;
    ClearedRecord record;
    PolicyServer policy;
    RegistryValueBackup firstRun{HKEY_LOCAL_MACHINE, L"Software\\Tavrin", L""};
    RegistryRestorer restorer;
    const std::vector<Revert> reverts = ThreeReverts();
    CTavrinApp app;
    Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT result;
    std::unique_ptr<CTavrinDlg> window;
};

TEST_F(ChangedBack, NoFalsePositiveThenTheRevertsListedAndAppliedAgainByKeyboard)
{
    ChooseThenRevert();
    if (HasFatalFailure())
        return;
    Start();
    ASSERT_EQ(window->ChangedBackCount(), 3u);
    EXPECT_TRUE(::IsWindowVisible(Notice()));
    EXPECT_EQ(CTavrinDlg::ChangedBackNotice(3), L"Windows changed back 3 of your settings");
    EXPECT_EQ(TextOf(Notice()), L"<a>Windows changed back 3 of your settings</a>");
    EXPECT_EQ(Names(CheckNow().changed), RevertedNames());
    SaveScreenshot(*window, L"changed-back-notice");

    std::vector<std::wstring> rows;
    HWND focusAfterTab = nullptr, applyAgain = nullptr;
    bool spaceUntickedFirst = false, spaceTickedAgain = false;
    AccessibleFacts listFacts;
    {
        ListDriver driver([&](HWND dialog) {
            const HWND list = ::GetDlgItem(dialog, IDC_CHANGED_BACK_LIST);
            applyAgain = ::GetDlgItem(dialog, IDC_APPLY_AGAIN);
            for (int i = 0; i < ListView_GetItemCount(list); ++i)
                rows.push_back(CellText(list, i, 0) + L"|" + CellText(list, i, 1) + L"|" +
                               CellText(list, i, 2) + L"|" + CellText(list, i, 3) +
                               (ListView_GetCheckState(list, i) ? L"|x" : L"|"));
            CaptureWindow(dialog, true).SavePng(ScreenshotPath(L"changed-back-list"));
            listFacts = DescribeAccessible(list);
            // The keyboard starts in the list: Space unticks and ticks the
            // first row, Tab goes on to "Apply again", Enter presses it.
            TypeKey(list, VK_SPACE);
            ::Sleep(200);
            spaceUntickedFirst = !ListView_GetCheckState(list, 0);
            TypeKey(list, VK_SPACE);
            ::Sleep(200);
            spaceTickedAgain = ListView_GetCheckState(list, 0) != FALSE;
            TypeKey(list, VK_TAB);
            ::Sleep(200);
            focusAfterTab = FocusOf(dialog);
            TypeKey(dialog, VK_RETURN);
            // Ended by the key, or else by the test.
            for (const DWORD start = ::GetTickCount();
                 ::IsWindow(dialog) && ::GetTickCount() - start < 20000;)
                ::Sleep(50);
            if (::IsWindow(dialog))
                Press(dialog, IDCANCEL);
        });
        window->OpenChangedBackList();
        EXPECT_TRUE(driver.Found());
    }
    ASSERT_EQ(rows.size(), 3u);
    size_t index = 0;
    for (const std::string& name : RevertedNames()) {
        const SettingsBook::Row* row = SettingsBook::Find(name);
        ASSERT_TRUE(row);
        const std::wstring box = TextOf(
            ::GetDlgItem(row->page == SettingsBook::Page::Privacy    ? window->GetPrivacyPage().GetSafeHwnd()
                         : row->page == SettingsBook::Page::Security ? window->GetSecurityPage().GetSafeHwnd()
                         : row->page == SettingsBook::Page::Location ? window->GetLocationPage().GetSafeHwnd()
                                                                     : window->GetThemePage().GetSafeHwnd(),
                         row->controlId));
        EXPECT_EQ(rows[index++],
                  std::wstring(SettingsBook::PageName(row->page)) + L"|" + box + L"|Ticked|Cleared|x");
    }
    EXPECT_TRUE(spaceUntickedFirst);
    EXPECT_TRUE(spaceTickedAgain);
    EXPECT_EQ(focusAfterTab, applyAgain);
    EXPECT_TRUE(listFacts.found);
    EXPECT_EQ(listFacts.role, ROLE_SYSTEM_LIST);

    // Applied again as clicks: journalled, and the notice goes.
    ASSERT_TRUE(PumpUntil([&] { return window->IsChangedBackCheckDone(); }, 30000));
    EXPECT_EQ(window->ChangedBackCount(), 0u);
    EXPECT_FALSE(::IsWindowVisible(Notice()));
    EXPECT_TRUE(Tavrin::Core::JournalHoldsEntries());
    window.reset();
    Start();
    EXPECT_EQ(window->ChangedBackCount(), 0u) << "the next start is clean";
    EXPECT_TRUE(CheckNow().changed.empty());
}

TEST_F(ChangedBack, KeepAsItIsNowRecordsTheRegistryWithoutChangingIt)
{
    ChooseThenRevert();
    if (HasFatalFailure())
        return;
    std::vector<std::string> reverted;
    for (const Revert& revert : reverts) {
        if (!revert.place.ViaPolicyObject())
            reverted.push_back(
                StateText(ReadStored(revert.Root(), revert.place.keyPath, revert.place.valueName)));
    }
    const DWORD policySaves = policy.Version();
    Start();
    ASSERT_EQ(window->ChangedBackCount(), 3u);
    {
        ListDriver driver([&](HWND dialog) { Press(dialog, IDC_KEEP_AS_IS); });
        window->OpenChangedBackList();
        EXPECT_TRUE(driver.Found());
    }
    ASSERT_TRUE(PumpUntil([&] { return window->IsChangedBackCheckDone(); }, 30000));
    EXPECT_EQ(window->ChangedBackCount(), 0u);
    window.reset();
    Start();
    EXPECT_EQ(window->ChangedBackCount(), 0u) << "the next start is clean";
    size_t index = 0;
    for (const Revert& revert : reverts) {
        if (!revert.place.ViaPolicyObject()) {
            EXPECT_EQ(StateText(ReadStored(revert.Root(), revert.place.keyPath, revert.place.valueName)),
                      reverted[index++])
                << revert.name;
        }
    }
    EXPECT_EQ(policy.Version(), policySaves) << "the policy object was not saved";
}

// "Close" changes nothing: the next start shows the same notice.
TEST_F(ChangedBack, CloseKeepsTheNotice)
{
    ChooseThenRevert();
    if (HasFatalFailure())
        return;
    Start();
    {
        ListDriver driver([&](HWND dialog) { Press(dialog, IDCANCEL); });
        window->OpenChangedBackList();
    }
    EXPECT_EQ(window->ChangedBackCount(), 3u);
    window.reset();
    Start();
    EXPECT_EQ(window->ChangedBackCount(), 3u);
}

TEST_F(ChangedBack, DamagedRecordIsIgnoredThenRebuiltAsTheUserChoosesAgain)
{
    WriteString(HKEY_LOCAL_MACHINE, PartPath(Tavrin::Core::kChosenMachinePart), L"privacy.camera", L"1");
    Start();
    EXPECT_EQ(window->ChangedBackCount(), 0u);
    EXPECT_FALSE(::IsWindowVisible(Notice()));
    EXPECT_EQ(CheckNow().state, Tavrin::Core::ChosenStatesCheck::State::Damaged);

    // A machine row chosen again through the window.
    const Revert& machine = reverts.front();
    const SettingsBook::Row* row = SettingsBook::Find(machine.name);
    ASSERT_TRUE(row && !row->perUser);
    CWnd& page = row->page == SettingsBook::Page::Privacy ? static_cast<CWnd&>(window->GetPrivacyPage())
                                                          : static_cast<CWnd&>(window->GetSecurityPage());
    Click(window->GetDlgItem(row->page == SettingsBook::Page::Privacy ? IDC_BTN_PRIVACY : IDC_BTN_SECURITY));
    ASSERT_TRUE(ClickSetting(page.GetDlgItem(row->controlId)));
    const Tavrin::Core::ChosenStatesCheck check = CheckNow();
    EXPECT_EQ(check.state, Tavrin::Core::ChosenStatesCheck::State::Read);
    EXPECT_TRUE(check.changed.empty());
    EXPECT_TRUE(ReadStored(HKEY_LOCAL_MACHINE, PartPath(Tavrin::Core::kChosenMachinePart),
                           Tavrin::Platform::Widen(row->name))
                    .present);
    EXPECT_FALSE(ReadStored(HKEY_LOCAL_MACHINE, PartPath(Tavrin::Core::kChosenMachinePart), L"privacy.camera")
                     .present);
}

// "/verify": its exit codes and output, and it changes nothing; "/undo"
// forgets the rows it puts back.
TEST_F(ChangedBack, VerifyModeAndUndo)
{
    std::vector<Tavrin::Core::SettingRequest> requests;
    for (const Revert& revert : reverts)
        requests.push_back({revert.name, true});
    const Revert& machine = reverts.front();
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
        {[&] {
             const Tavrin::Platform::ComApartment com;
             SettingsBook book;
             ASSERT_TRUE(book.ApplyAll(requests, true).failed.empty());
         },
         L"-VERIFY", 0, "Settings changed back by Windows: 0"},
        {[&] {
             for (const Revert& revert : reverts)
                 revert.Write();
         },
         L"/verify", 1, machine.name + ": chosen ticked, now cleared"},
        {[&] {
             WriteDword(HKEY_LOCAL_MACHINE, PartPath(Tavrin::Core::kChosenMachinePart), L"privacy.camera", 2);
         },
         L"/verify", 0, "The record of the settings chosen in Tavrin is damaged"},
    };
    for (const auto& step : cases) {
        const std::string label = step.output + " (" + Tavrin::Platform::Narrow(step.arguments) + ")";
        step.prepare();
        std::unique_ptr<WindowsVersionOverride> version;
        if (step.windows)
            version = std::make_unique<WindowsVersionOverride>(L"tavrin.exe", step.windows);
        const std::vector<Tavrin::Core::ChangedBack> before = CheckNow().changed;
        const ProcessResult run = RunTavrin(step.arguments);
        EXPECT_EQ(run.exitCode, step.exitCode) << label << ": " << run.output;
        EXPECT_NE(run.output.find(step.output), std::string::npos) << label << ": " << run.output;
        EXPECT_EQ(Names(CheckNow().changed), Names(before)) << label << ": nothing changed";
    }
    const ProcessResult reverted = RunTavrin(L"/verify");
    for (const Revert& revert : reverts)
        EXPECT_EQ(reverted.output.find(revert.name + ": chosen ticked, now cleared"), std::string::npos)
            << "a damaged record is ignored";

    // Rebuilt by a choice, then undone: the rows the undo put back are no
    // longer the user's choice.
    {
        const Tavrin::Platform::ComApartment com;
        SettingsBook book;
        ASSERT_TRUE(book.ApplyAll(requests, true).failed.empty());
    }
    for (const Revert& revert : reverts) {
        const SettingsBook::Row* row = SettingsBook::Find(revert.name);
        const std::wstring part = row->perUser ? Tavrin::Platform::UserHive::Current().User().sid
                                               : std::wstring(Tavrin::Core::kChosenMachinePart);
        EXPECT_TRUE(
            ReadStored(HKEY_LOCAL_MACHINE, PartPath(part), Tavrin::Platform::Widen(row->name)).present)
            << row->name;
    }
    const ProcessResult undo = RunTavrin(L"/undo");
    EXPECT_EQ(undo.exitCode, 0u) << undo.output;
    for (const Revert& revert : reverts) {
        const SettingsBook::Row* row = SettingsBook::Find(revert.name);
        const std::wstring part = row->perUser ? Tavrin::Platform::UserHive::Current().User().sid
                                               : std::wstring(Tavrin::Core::kChosenMachinePart);
        EXPECT_FALSE(
            ReadStored(HKEY_LOCAL_MACHINE, PartPath(part), Tavrin::Platform::Widen(row->name)).present)
            << row->name;
    }
    const Tavrin::Core::ChosenStatesCheck check = CheckNow();
    EXPECT_TRUE(check.changed.empty());
}

// The notice and the list at the display's DPI, for screenshots: started by
// ChangedBack.ScreenshotsAt96And144Dpi with the DPI set in the prefix.
TEST_F(ChangedBack, AtTheDisplaysDpi)
{
    wchar_t dpi[16] = {};
    if (!::GetEnvironmentVariableW(kDpiVariable, dpi, 16))
        GTEST_SKIP() << "started by ChangedBack.ScreenshotsAt96And144Dpi";
    std::vector<Tavrin::Core::SettingRequest> requests;
    for (const Revert& revert : reverts)
        requests.push_back({revert.name, true});
    {
        const Tavrin::Platform::ComApartment com;
        SettingsBook book;
        ASSERT_TRUE(book.ApplyAll(requests, true).failed.empty());
    }
    for (const Revert& revert : reverts)
        revert.Write();
    Start();
    ASSERT_EQ(window->ChangedBackCount(), 3u);
    SaveScreenshot(*window, L"changed-back-notice-" + std::wstring(dpi) + L"dpi");
    RECT notice = {}, client = window->GetClientRect();
    ::GetWindowRect(Notice(), &notice);
    ::MapWindowPoints(nullptr, *window, reinterpret_cast<POINT*>(&notice), 2);
    EXPECT_TRUE(notice.left >= 0 && notice.right <= client.right && notice.bottom <= client.bottom);
    bool listInside = false;
    {
        ListDriver driver([&](HWND dialog) {
            RECT list = {}, inside = {};
            ::GetWindowRect(::GetDlgItem(dialog, IDC_CHANGED_BACK_LIST), &list);
            ::GetClientRect(dialog, &inside);
            ::MapWindowPoints(dialog, nullptr, reinterpret_cast<POINT*>(&inside), 2);
            listInside =
                list.left >= inside.left && list.right <= inside.right && list.bottom <= inside.bottom;
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
    constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
    constexpr wchar_t kFontsKey[] = L"System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts";
    wchar_t program[MAX_PATH] = {};
    ASSERT_GT(::GetModuleFileNameW(nullptr, program, MAX_PATH), 0u);
    for (DWORD dpi : {96u, 144u}) {
        RegistryValueBackup userDpi(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels");
        RegistryValueBackup machineDpi(HKEY_LOCAL_MACHINE, kFontsKey, L"LogPixels");
        WriteDword(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", dpi);
        WriteDword(HKEY_LOCAL_MACHINE, kFontsKey, L"LogPixels", dpi);
        ::SetEnvironmentVariableW(kDpiVariable, std::to_wstring(dpi).c_str());
        const ProcessResult run = RunProcess(
            L"\"" + std::wstring(program) + L"\" --gtest_filter=ChangedBack.AtTheDisplaysDpi", 240000);
        ::SetEnvironmentVariableW(kDpiVariable, nullptr);
        EXPECT_EQ(run.exitCode, 0u) << dpi << ": " << run.output;
        EXPECT_NE(run.output.find("[  PASSED  ] 1 test"), std::string::npos) << dpi << ": " << run.output;
    }
}
