#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <set>
#include <thread>
#include <tuple>

#include "app/TavrinApp.h"
#include "app/TavrinDlg.h"
#include "core/reclaim/Reclamation.h"
#include "core/settings/ChangeJournal.h"
#include "core/settings/RestorePoint.h"
#include "framework/CMFCVisualManager.h"
#include "platform/RegKey.h"
#include "platform/Text.h"
#include "res/resource.h"
#include "tests/app/MainWindowSupport.h"
#include "tests/core/SettingsTestSupport.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WindowTestSupport.h"

// Undo of everything the program changed: from a registry holding prepared
// values in both views, policy entries and absent values, every row of every
// page is ticked and cleared, every reset runs and the reclamation flags are
// set; after the undo, through the home view's link or "/undo", every
// affected key exports as it did before.

using namespace Tavrin::Test;
using Tavrin::Core::RegistryPlace;

namespace {

constexpr wchar_t kAppName[] = L"TavrinUndoTests";
const std::wstring kProfileKey = std::wstring(L"Software\\Tavrin\\") + kAppName;

template <typename Model> void AddPlaces(std::vector<RegistryPlace>& places)
{
    const Model model; // opens no policy object
    for (const auto& entry : Tavrin::Core::CatalogueOf<Model>().members)
        places.push_back(std::visit([&](auto member) { return (model.*member).Place(); }, entry));
}

// Every value a page or the reclamation can change, once each.
std::vector<RegistryPlace> AffectedPlaces()
{
    std::vector<RegistryPlace> all;
    AddPlaces<Tavrin::Core::CPrivacy>(all);
    AddPlaces<Tavrin::Core::CSecurity>(all);
    AddPlaces<Tavrin::Core::CLocation>(all);
    AddPlaces<Tavrin::Core::CThemeSettings>(all);
    for (const std::wstring& key : Tavrin::Core::Reclamation::HandlerKeys())
        all.push_back(
            Tavrin::Core::NumberProperty(HKEY_LOCAL_MACHINE, key, Tavrin::Core::Reclamation::kStateFlags)
                .Place());
    std::vector<RegistryPlace> unique;
    for (const RegistryPlace& place : all)
        if (std::none_of(unique.begin(), unique.end(), [&](const RegistryPlace& known) {
                return known.root == place.root &&
                       _wcsicmp(known.keyPath.c_str(), place.keyPath.c_str()) == 0 &&
                       _wcsicmp(known.valueName.c_str(), place.valueName.c_str()) == 0;
            }))
            unique.push_back(place);
    return unique;
}

HKEY PlainRoot(const RegistryPlace& place)
{
    return place.root == RegistryPlace::Root::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// HKEY_LOCAL_MACHINE\SOFTWARE has a redirected 32-bit copy, except its
// Policies key, which both views share.
bool HasRedirectedCopy(const RegistryPlace& place)
{
    return place.root == RegistryPlace::Root::Machine &&
           _wcsnicmp(place.keyPath.c_str(), L"SOFTWARE\\", 9) == 0 &&
           _wcsnicmp(place.keyPath.c_str(), L"SOFTWARE\\Policies\\", 18) != 0;
}

// The prepared states, in turn: absent, a number, a text, raw bytes.
StoredValue PreparedState(size_t index)
{
    switch (index % 4) {
    case 1:
        return {true, REG_DWORD, {7, 0, 0, 0}};
    case 2:
        return {true, REG_SZ, {'p', 0, 'r', 0, 'e', 0, 'p', 0, 0, 0}};
    case 3:
        return {true, REG_BINARY, {1, 2, 3}};
    }
    return {};
}

std::string Hex(const std::vector<BYTE>& data)
{
    std::string text;
    char pair[4];
    for (BYTE b : data) {
        std::snprintf(pair, sizeof(pair), "%02x", b);
        text += pair;
    }
    return text;
}

// The key's values, sorted by name, and (recursively) its subkeys.
void ExportKey(HKEY root, const std::wstring& path, REGSAM view, bool recursive,
               std::vector<std::string>& out)
{
    Tavrin::Platform::RegKey key;
    if (key.Open(root, path, KEY_READ | view) != ERROR_SUCCESS) {
        out.push_back(Tavrin::Platform::Narrow(path) + ": missing");
        return;
    }
    std::vector<std::string> values;
    for (DWORD index = 0;; ++index) {
        wchar_t name[512];
        DWORD length = 512, type = 0;
        BYTE data[4096];
        DWORD size = sizeof(data);
        if (::RegEnumValueW(key.Get(), index, name, &length, nullptr, &type, data, &size) != ERROR_SUCCESS)
            break;
        values.push_back("  " + Tavrin::Platform::Narrow(name) + "=" + std::to_string(type) + ":" +
                         Hex(std::vector<BYTE>(data, data + size)));
    }
    std::sort(values.begin(), values.end());
    out.push_back(Tavrin::Platform::Narrow(path) + ":");
    out.insert(out.end(), values.begin(), values.end());
    if (!recursive)
        return;
    std::vector<std::wstring> children;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD length = 256;
        if (::RegEnumKeyExW(key.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        children.push_back(name);
    }
    std::sort(children.begin(), children.end());
    for (const std::wstring& child : children)
        ExportKey(root, path + L"\\" + child, view, true, out);
}

RECT RectIn(HWND parent, HWND child)
{
    RECT rect = {};
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Answers the program's message boxes in the order given, from a thread of
// its own; a box with a screenshot name is saved before it is answered.
class MessageBoxSequence {
public:
    struct Step {
        std::wstring text;
        int button;
        std::wstring screenshot;
    };
    explicit MessageBoxSequence(std::vector<Step> steps) : m_steps(std::move(steps))
    {
        m_thread = std::thread([this] { Run(); });
    }
    ~MessageBoxSequence()
    {
        m_stop = true;
        m_thread.join();
    }
    size_t Answered() const { return m_answered; }
    std::wstring Unexpected() const { return m_unexpected; }

private:
    void Run()
    {
        const DWORD start = ::GetTickCount();
        while (!m_stop && m_answered < m_steps.size() && ::GetTickCount() - start < 30000) {
            for (HWND window : TopLevelWindows()) {
                DWORD process = 0;
                ::GetWindowThreadProcessId(window, &process);
                if (process != ::GetCurrentProcessId() || !::IsWindowVisible(window) ||
                    ClassOf(window) != L"#32770" || !::GetDlgItem(window, 0xFFFF))
                    continue;
                const Step& step = m_steps[m_answered];
                const std::wstring text = TextOf(::GetDlgItem(window, 0xFFFF));
                if (text != step.text) {
                    m_unexpected = text;
                    m_stop = true;
                    break;
                }
                if (!step.screenshot.empty()) {
                    ::Sleep(300);
                    CaptureWindow(window, true).SavePng(ScreenshotPath(step.screenshot));
                }
                ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(step.button, BN_CLICKED),
                               reinterpret_cast<LPARAM>(::GetDlgItem(window, step.button)));
                ++m_answered;
                ::Sleep(200); // until the box has gone
                break;
            }
            ::Sleep(20);
        }
    }

    std::vector<Step> m_steps;
    std::atomic<bool> m_stop{false};
    std::atomic<size_t> m_answered{0};
    std::wstring m_unexpected;
    std::thread m_thread;
};

} // namespace

class UndoEverything : public ::testing::Test {
protected:
    void SetUp() override
    {
        PrepareMainWindow(app, kAppName, result);
        if (HasFatalFailure())
            return;
        WriteDword(HKEY_CURRENT_USER, kProfileKey, L"showCompatibility", 1);
        WriteString(HKEY_LOCAL_MACHINE, L"Software\\Tavrin", L"", L"notFirstRun");
        Tavrin::Core::RunRestorePoint::Instance().SetCall({});
        Prepare();
        before = Export();
    }
    void TearDown() override
    {
        window.reset();
        PumpMessages();
        for (const auto& redirected : m_redirected) {
            if (redirected.createdKey.empty())
                DeleteStored(HKEY_LOCAL_MACHINE, redirected.path, redirected.name, KEY_WOW64_32KEY);
            else
                DeleteTree(HKEY_LOCAL_MACHINE, redirected.createdKey, KEY_WOW64_32KEY);
        }
        DeleteTree(HKEY_CURRENT_USER, kProfileKey);
        Tavrin::Core::RunRestorePoint::Instance().UseSystemCall();
    }

    void Prepare()
    {
        for (size_t i = 0; i < places.size(); ++i) {
            const RegistryPlace& place = places[i];
            const StoredValue state = PreparedState(i);
            if (place.ViaPolicyObject()) {
                if (state.present)
                    WriteStored(HKEY_CURRENT_USER,
                                policy.SectionPath(place.root == RegistryPlace::Root::PolicyMachine) + L"\\" +
                                    place.keyPath,
                                place.valueName, state.type, state.data.data(),
                                static_cast<DWORD>(state.data.size()));
                continue;
            }
            restorer.TrackAndClear(PlainRoot(place), place.keyPath, place.valueName);
            if (state.present)
                WriteStored(PlainRoot(place), place.keyPath, place.valueName, state.type, state.data.data(),
                            static_cast<DWORD>(state.data.size()));
            if (HasRedirectedCopy(place)) {
                Redirected redirected{place.keyPath, place.valueName, L""};
                for (size_t end = 0; end != std::wstring::npos && redirected.createdKey.empty();) {
                    end = place.keyPath.find(L'\\', end + 1);
                    if (!KeyExists(HKEY_LOCAL_MACHINE, place.keyPath.substr(0, end), KEY_WOW64_32KEY))
                        redirected.createdKey = place.keyPath.substr(0, end);
                }
                const DWORD other = 32;
                WriteStored(HKEY_LOCAL_MACHINE, place.keyPath, place.valueName, REG_DWORD, &other,
                            sizeof(other), KEY_WOW64_32KEY);
                m_redirected.push_back(redirected);
            }
        }
    }

    // Every key of an affected value with each key above it, in both views,
    // and the stored policy of both sections.
    std::vector<std::string> Export() const
    {
        std::vector<std::string> lines;
        for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
            std::set<std::pair<HKEY, std::wstring>> done;
            for (const RegistryPlace& place : places) {
                if (place.ViaPolicyObject() || !done.insert({PlainRoot(place), place.keyPath}).second)
                    continue;
                lines.push_back((view == KEY_WOW64_64KEY ? "64 " : "32 ") +
                                std::string(place.root == RegistryPlace::Root::Machine ? "HKLM" : "HKCU"));
                for (size_t end = place.keyPath.find(L'\\'); end != std::wstring::npos;
                     end = place.keyPath.find(L'\\', end + 1))
                    lines.push_back(
                        Tavrin::Platform::Narrow(place.keyPath.substr(0, end)) +
                        (KeyExists(PlainRoot(place), place.keyPath.substr(0, end), view) ? "" : ": missing"));
                ExportKey(PlainRoot(place), place.keyPath, view, false, lines);
            }
        }
        for (bool machine : {true, false}) {
            lines.push_back(machine ? "policy machine" : "policy user");
            ExportKey(HKEY_CURRENT_USER, policy.SectionPath(machine), 0, true, lines);
        }
        return lines;
    }

    void OpenWindow()
    {
        window = std::make_unique<CTavrinDlg>(&result);
        window->SetRestartAction([this] { ++restarts; });
        ASSERT_TRUE(window->Create(IDD_TAVRIN_DIALOG, nullptr));
        window->ShowWindow(SW_SHOW);
        PumpMessages();
    }

    // Ticks and clears every row of the page (two clicks, from whatever it
    // shows), runs its reset and goes back to the home view.
    template <typename Model> void ChangeEverything(CSettingsPage<Model>& page, int sectionButton)
    {
        Click(window->GetDlgItem(sectionButton));
        ASSERT_TRUE(PumpUntil([&] { return page.IsWindowVisible() != FALSE; })) << sectionButton;
        for (const auto& row : Tavrin::Core::CatalogueOf<Model>().rows) {
            HWND box = page.GetDlgItem(BoxOf(page.GetLayout(), row.name));
            ASSERT_TRUE(::IsWindowEnabled(box)) << row.name;
            EXPECT_TRUE(ClickSetting(box));
            EXPECT_TRUE(ClickSetting(box));
        }
        EXPECT_TRUE(ClickSetting(page.GetDlgItem(IDCANCEL)));
        MessageBoxAnswerer answerer(IDNO, L"Orvane Tools", 4000);
        Click(page.GetDlgItem(IDOK));
        PumpMessagesFor(200);
    }

    void ChangeEverythingThroughTheWindow()
    {
        ChangeEverything(window->GetPrivacyPage(), IDC_BTN_PRIVACY);
        ChangeEverything(window->GetSecurityPage(), IDC_BTN_SECURITY);
        ChangeEverything(window->GetLocationPage(), IDC_BTN_LOCATION);
        ChangeEverything(window->GetThemePage(), IDC_BTN_THEMES);
        // What the reclamation page's run does before it starts the tool.
        Tavrin::Core::Reclamation flags;
    }

    // The page's boxes show the registry as it is now; true when one of them
    // is ticked (the prepared values tick some).
    template <typename Model> bool ShowsTheRegistry(CSettingsPage<Model>& page, bool& anyTicked)
    {
        bool matches = true;
        for (const auto& row : Tavrin::Core::CatalogueOf<Model>().rows) {
            const bool ticked = page.IsDlgButtonChecked(BoxOf(page.GetLayout(), row.name)) == BST_CHECKED;
            anyTicked = anyTicked || ticked;
            if (ticked != Tavrin::Core::IsTicked(page.GetModel(), row)) {
                ADD_FAILURE() << "box " << row.name;
                matches = false;
            }
        }
        return matches;
    }

    struct Redirected {
        std::wstring path, name, createdKey;
    };

    ClearedJournal journal;
    PolicyServer policy;
    RegistryValueBackup firstRun{HKEY_LOCAL_MACHINE, L"Software\\Tavrin", L""};
    RegistryRestorer restorer;
    std::vector<Redirected> m_redirected;
    const std::vector<RegistryPlace> places = AffectedPlaces();
    std::vector<std::string> before;
    CTavrinApp app;
    Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT result;
    std::unique_ptr<CTavrinDlg> window;
    int restarts = 0;
};

TEST_F(UndoEverything, LinkAsksThenPutsEveryKeyBackAndThePagesShowIt)
{
    ASSERT_GT(places.size(), 50u);
    OpenWindow();
    EXPECT_FALSE(window->IsUndoLinkShown()) << "nothing to undo yet";
    EXPECT_FALSE(::IsWindowVisible(window->GetDlgItem(IDC_UNDO_LINK)));
    SaveScreenshot(*window, L"undo-home-view-without-link");

    ChangeEverythingThroughTheWindow();
    ASSERT_NE(Export(), before);
    HWND link = window->GetDlgItem(IDC_UNDO_LINK);
    ASSERT_TRUE(window->IsUndoLinkShown());
    ASSERT_TRUE(::IsWindowVisible(link));
    EXPECT_EQ(TextOf(link), L"<a>Undo all changes made by Tavrin</a>");
    // Inside the window, clear of everything else on the home view.
    const RECT client = window->GetClientRect();
    const RECT linkRect = RectIn(*window, link);
    RECT overlap = {};
    EXPECT_TRUE(::IntersectRect(&overlap, &linkRect, &client) && ::EqualRect(&overlap, &linkRect));
    for (int id : {IDC_TITLE, IDC_ISSUES_NOTE, IDC_BTN_PRIVACY, IDC_BTN_LOCATION, IDC_BTN_SECURITY,
                   IDC_BTN_THEMES, IDC_BTN_RECLAMATION, IDC_BTN_COMPATIBILITY}) {
        const RECT other = RectIn(*window, window->GetDlgItem(id));
        EXPECT_FALSE(::IntersectRect(&overlap, &linkRect, &other)) << id;
    }
    SaveScreenshot(*window, L"undo-home-view-with-link");

    // No leaves everything as it is.
    {
        MessageBoxSequence boxes({{CTavrinDlg::kUndoQuestion, IDNO, L""}});
        Click(link, POINT{10, 6});
        PumpMessagesFor(300);
        EXPECT_EQ(boxes.Answered(), 1u) << Tavrin::Platform::Narrow(boxes.Unexpected());
    }
    EXPECT_TRUE(Tavrin::Core::JournalHoldsEntries());
    EXPECT_NE(Export(), before);

    // Yes undoes; the security values need a restart, so the question follows.
    {
        MessageBoxSequence boxes({{CTavrinDlg::kUndoQuestion, IDYES, L"undo-confirmation"},
                                  {CTavrinDlg::kRestartQuestion, IDNO, L""}});
        Click(link, POINT{10, 6});
        // The undo runs on a thread of its own; the question follows it.
        PumpUntil([&] { return boxes.Answered() >= 2; }, 30000);
        EXPECT_EQ(boxes.Answered(), 2u) << Tavrin::Platform::Narrow(boxes.Unexpected());
    }
    EXPECT_EQ(Export(), before);
    EXPECT_FALSE(Tavrin::Core::JournalHoldsEntries());
    EXPECT_FALSE(window->IsUndoLinkShown());
    EXPECT_FALSE(::IsWindowVisible(link));
    EXPECT_TRUE(app.RestartRequired());
    EXPECT_EQ(restarts, 0);

    bool anyTicked = false;
    EXPECT_TRUE(ShowsTheRegistry(window->GetPrivacyPage(), anyTicked));
    EXPECT_TRUE(ShowsTheRegistry(window->GetSecurityPage(), anyTicked));
    EXPECT_TRUE(ShowsTheRegistry(window->GetLocationPage(), anyTicked));
    EXPECT_TRUE(ShowsTheRegistry(window->GetThemePage(), anyTicked));
    EXPECT_TRUE(anyTicked) << "the prepared values tick some boxes, the resets cleared them all";
}

// Drives the profiles dialog from inside its modal loop with a timer of
// this thread: presses "Apply Recommended" once the counts are in, waits for
// the actions to come back, saves a screenshot and closes the dialog. After
// 60 seconds it closes it whatever happened.
struct ProfilesDriverState {
    int step = 0;
    bool applied = false;
    DWORD start = ::GetTickCount();
};

class ProfilesDialogDriver {
public:
    ProfilesDialogDriver() : m_timer(::SetTimer(nullptr, 0, 50, Tick)) { s_state = ProfilesDriverState{}; }
    ~ProfilesDialogDriver() { ::KillTimer(nullptr, m_timer); }
    bool Applied() const { return s_state.applied; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        const HWND dialog = ::FindWindowW(L"#32770", CProfilesDlg::kCaption);
        if (!dialog)
            return;
        const HWND recommended = ::GetDlgItem(dialog, IDC_PROFILES_RECOMMENDED);
        const auto press = [dialog](int id) {
            ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                           reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
        };
        if (::GetTickCount() - s_state.start > 60000 && s_state.step < 2) {
            s_state.step = 2;
            press(IDCANCEL);
        } else if (s_state.step == 0 && ::IsWindowEnabled(recommended)) {
            SaveScreenshot(dialog, L"profiles-dialog-from-home-view");
            s_state.step = 1;
            press(IDC_PROFILES_RECOMMENDED);
        } else if (s_state.step == 1 && ::IsWindowEnabled(recommended) &&
                   ::GetWindowTextLengthW(::GetDlgItem(dialog, IDC_PROFILES_SUMMARY)) > 0) {
            SaveScreenshot(dialog, L"profiles-dialog-after-recommended");
            s_state.applied = true;
            s_state.step = 2;
            press(IDCANCEL);
        }
    }

    static inline ProfilesDriverState s_state;
    UINT_PTR m_timer;
};

// "Profiles..." sits beside the undo link on the home view; what the dialog
// applies is journalled, the pages show it, and the restart question follows.
TEST_F(UndoEverything, ProfilesLinkOpensTheDialogAndThePagesShowWhatItApplied)
{
    OpenWindow();
    HWND link = window->GetDlgItem(IDC_PROFILES_LINK);
    ASSERT_TRUE(::IsWindowVisible(link));
    EXPECT_EQ(TextOf(link), L"<a>Profiles...</a>");
    const RECT linkRect = RectIn(*window, link);
    RECT overlap = {};
    for (int id : {IDC_TITLE, IDC_UNDO_LINK, IDC_BTN_PRIVACY, IDC_BTN_LOCATION, IDC_BTN_SECURITY}) {
        const RECT other = RectIn(*window, window->GetDlgItem(id));
        EXPECT_FALSE(::IntersectRect(&overlap, &linkRect, &other)) << id;
    }
    {
        ProfilesDialogDriver driver;
        MessageBoxSequence boxes({{CTavrinDlg::kRestartQuestion, IDNO, L""}});
        Click(link, POINT{10, 6}); // returns when the dialog has closed
        EXPECT_TRUE(driver.Applied());
        PumpUntil([&] { return boxes.Answered() >= 1; }, 10000);
        EXPECT_EQ(boxes.Answered(), 1u) << Tavrin::Platform::Narrow(boxes.Unexpected());
    }
    EXPECT_NE(Export(), before);
    EXPECT_TRUE(app.RestartRequired());
    EXPECT_TRUE(window->IsUndoLinkShown());
    bool anyTicked = false;
    EXPECT_TRUE(ShowsTheRegistry(window->GetPrivacyPage(), anyTicked));
    EXPECT_TRUE(ShowsTheRegistry(window->GetSecurityPage(), anyTicked));
    SaveScreenshot(*window, L"profiles-home-view-after-apply");

    // Moved to a monitor of another scale, the links follow the buttons:
    // the undo link ends under the end of the top row, "Profiles..." before it.
    RECT suggested = {};
    ::GetWindowRect(*window, &suggested);
    suggested.right = suggested.left + (suggested.right - suggested.left) * 3 / 2;
    suggested.bottom = suggested.top + (suggested.bottom - suggested.top) * 3 / 2;
    ::SendMessageW(*window, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    const RECT security = RectIn(*window, window->GetDlgItem(IDC_BTN_SECURITY));
    const RECT undo = RectIn(*window, window->GetDlgItem(IDC_UNDO_LINK));
    EXPECT_EQ(undo.right, security.right);
    EXPECT_LT(RectIn(*window, link).right, undo.left);
}

// Another copy holds the journal: the undo waits for it on a thread of its
// own while the window goes on, its link disabled, and undoes once it is free.
TEST_F(UndoEverything, LinkBesideAnotherCopyWaitsOffTheWindowsThread)
{
    OpenWindow();
    ChangeEverythingThroughTheWindow();
    HWND link = window->GetDlgItem(IDC_UNDO_LINK);
    ASSERT_TRUE(::IsWindowVisible(link));
    auto other = std::make_unique<JournalHeldElsewhere>();
    ASSERT_TRUE(other->Held());
    {
        MessageBoxSequence boxes({{CTavrinDlg::kUndoQuestion, IDYES, L""}});
        Click(link, POINT{10, 6});
        PumpUntil([&] { return boxes.Answered() >= 1; }, 10000);
        EXPECT_EQ(boxes.Answered(), 1u) << Tavrin::Platform::Narrow(boxes.Unexpected());
    }
    // Back in the window while the other copy still holds the journal.
    EXPECT_FALSE(::IsWindowEnabled(link));
    EXPECT_NE(Export(), before) << "nothing is undone while the journal is held";
    other.reset();
    MessageBoxSequence boxes({{CTavrinDlg::kRestartQuestion, IDNO, L""}});
    ASSERT_TRUE(PumpUntil([&] { return !window->IsUndoLinkShown(); }, 30000));
    EXPECT_TRUE(::IsWindowEnabled(link));
    EXPECT_EQ(Export(), before);
}

TEST_F(UndoEverything, UndoModePutsEveryKeyBackAndASecondRunDoesNothing)
{
    OpenWindow();
    ChangeEverythingThroughTheWindow();
    window.reset();
    ASSERT_NE(Export(), before);

    const std::wstring program = L"\"" + BinFolder() + L"\\tavrin.exe\" /undo";
    const ProcessResult first = RunProcess(program, 120000, BinFolder());
    EXPECT_EQ(first.exitCode, 0u) << first.output;
    EXPECT_EQ(Export(), before);
    EXPECT_FALSE(Tavrin::Core::JournalHoldsEntries());

    const ProcessResult second = RunProcess(program, 120000, BinFolder());
    EXPECT_EQ(second.exitCode, 0u) << second.output;
    EXPECT_NE(second.output.find("Values restored: 0; not restored: 0"), std::string::npos) << second.output;
    EXPECT_EQ(Export(), before);
}

TEST_F(UndoEverything, UndoModeKeepsWhatItCouldNotRestoreAndExitsWithOne)
{
    {
        Tavrin::Core::CPrivacy privacy;
        Tavrin::Core::Apply(privacy, *Tavrin::Core::FindRow<Tavrin::Core::CPrivacy>("privacy.account-info"),
                            true);
        Tavrin::Core::Apply(
            privacy, *Tavrin::Core::FindRow<Tavrin::Core::CPrivacy>("privacy.handwriting-sharing"), true);
    }
    policy.Unregister();
    const ProcessResult run = RunProcess(L"\"" + BinFolder() + L"\\tavrin.exe\" /undo", 120000, BinFolder());
    EXPECT_EQ(run.exitCode, 1u) << run.output;
    EXPECT_NE(run.output.find("Values restored: 1; not restored: 1"), std::string::npos) << run.output;
    const auto left = Tavrin::Core::ReadJournal();
    ASSERT_EQ(left.entries.size(), 1u);
    EXPECT_TRUE(left.entries.front().place.ViaPolicyObject());
}

TEST_F(UndoEverything, DamagedJournalIsReportedOnceWhenTheWindowOpens)
{
    WriteString(HKEY_LOCAL_MACHINE, Tavrin::Core::kJournalKey, L"HKLM|64|4|SOFT|Name", L"not an entry");
    {
        MessageBoxSequence boxes({{CTavrinDlg::kJournalProblem, IDOK, L""}});
        OpenWindow();
        PumpMessagesFor(300);
        EXPECT_EQ(boxes.Answered(), 1u) << Tavrin::Platform::Narrow(boxes.Unexpected());
    }
    EXPECT_FALSE(window->IsUndoLinkShown());
    // Back from a page: no second report, and nothing to undo.
    MessageBoxAnswerer again(IDOK, L"Orvane Tools", 2000);
    Click(window->GetDlgItem(IDC_BTN_LOCATION));
    PumpMessagesFor(200);
    Click(window->GetLocationPage().GetDlgItem(IDOK));
    PumpMessagesFor(500);
    EXPECT_FALSE(again.Answered()) << Tavrin::Platform::Narrow(again.Text());
    EXPECT_FALSE(window->IsUndoLinkShown());
    EXPECT_EQ(Export(), before);
}

namespace {

// Starts "/undo" in the program folder with its standard streams in a file,
// which can be read while it runs.
Tavrin::Platform::UniqueHandle StartUndoWritingTo(const std::wstring& path)
{
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    Tavrin::Platform::UniqueHandle output(::CreateFileW(path.c_str(), GENERIC_WRITE,
                                                        FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = output.Get();
    PROCESS_INFORMATION started = {};
    std::wstring commandLine = L"\"" + BinFolder() + L"\\tavrin.exe\" /undo";
    if (!output || !StartTestProcess(nullptr, commandLine, TRUE, BinFolder().c_str(), startup, started))
        return Tavrin::Platform::UniqueHandle();
    ::CloseHandle(started.hThread);
    return Tavrin::Platform::UniqueHandle(started.hProcess);
}

std::string ReadWhileWritten(const std::wstring& path)
{
    Tavrin::Platform::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    char buffer[65536];
    DWORD read = 0;
    return file && ::ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) ? std::string(buffer, read)
                                                                                  : "";
}

} // namespace

// "/undo" started while another copy holds the journal (a change of its
// window under way) says that it waits, and undoes once the journal is free.
TEST(UndoModeBesideAnotherCopy, SaysItWaitsThenUndoes)
{
    ClearedJournal journal;
    const std::wstring key = L"SOFTWARE\\TavrinTests\\UndoWait";
    WriteDword(HKEY_LOCAL_MACHINE, key, L"Value", 1);
    ASSERT_EQ(Tavrin::Core::NumberProperty(HKEY_LOCAL_MACHINE, key, L"Value").SetValue(2), ERROR_SUCCESS);
    TempFolder folder;
    const std::wstring outputPath = folder.File(L"undo.txt");
    auto other = std::make_unique<JournalHeldElsewhere>();
    ASSERT_TRUE(other->Held());
    Tavrin::Platform::UniqueHandle undo = StartUndoWritingTo(outputPath);
    ASSERT_TRUE(undo);
    std::string output;
    for (DWORD start = ::GetTickCount(); output.find("waiting") == std::string::npos &&
                                         ::GetTickCount() - start < 60000 &&
                                         ::WaitForSingleObject(undo.Get(), 100) == WAIT_TIMEOUT;)
        output = ReadWhileWritten(outputPath);
    EXPECT_NE(output.find("waiting"), std::string::npos) << output;
    EXPECT_TRUE(ReadStored(HKEY_LOCAL_MACHINE, key, L"Value").IsDword(2)) << "nothing undone while it waits";
    other.reset();

    const bool ended = ::WaitForSingleObject(undo.Get(), 60000) == WAIT_OBJECT_0;
    if (!ended)
        ::TerminateProcess(undo.Get(), 1);
    DWORD exitCode = 1;
    ::GetExitCodeProcess(undo.Get(), &exitCode);
    output = ReadWhileWritten(outputPath);
    EXPECT_TRUE(ended && exitCode == 0) << output;
    EXPECT_NE(output.find("Values restored: 1; not restored: 0"), std::string::npos) << output;
    EXPECT_TRUE(ReadStored(HKEY_LOCAL_MACHINE, key, L"Value").IsDword(1));
    DeleteTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TavrinTests", KEY_WOW64_64KEY);
}
