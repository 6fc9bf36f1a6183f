#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/settings/ChangeJournal.h"
#include "core/settings/Presets.h"
#include "core/settings/Profile.h"
#include "core/settings/SettingsBook.h"
#include "platform/ComPtr.h"
#include "platform/Text.h"
#include "res/resource.h"
#include "tests/core/SettingsTestSupport.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WindowTestSupport.h"
#include "ui/pages/LocationDlg.h"
#include "ui/pages/PrivacyDlg.h"
#include "ui/pages/ProfilesDlg.h"
#include "ui/pages/SecurityDlg.h"
#include "ui/pages/ThemeDlg.h"
#include "ui/skin/Skin.h"

// "/export" and "/apply" of the real tavrin.exe against the prefix's
// registry, with the stand-in policy object, from a state where every value
// of the settings pages is absent, as on a fresh Windows 10.

using namespace Tavrin::Test;
using Tavrin::Core::RegistryPlace;
using Tavrin::Core::SettingsBook;

namespace {

std::string Profile(const std::string& settings)
{
    return std::string("{\"format\": \"") + Tavrin::Core::kProfileFormat +
           "\", \"version\": 1, \"settings\": {" + settings + "}}";
}

// The first row that asks for a restart, or that does not.
const SettingsBook::Row& RowAsking(bool restart)
{
    for (const SettingsBook::Row& row : SettingsBook::Rows())
        if (row.asksRestart == restart)
            return row;
    throw std::logic_error("no such row");
}

template <typename Model> void AddPlaces(std::vector<RegistryPlace>& places)
{
    const Model model;
    for (const auto& entry : Tavrin::Core::CatalogueOf<Model>().members)
        places.push_back(std::visit([&](auto member) { return (model.*member).Place(); }, entry));
}

HKEY PlainRoot(const RegistryPlace& place)
{
    return place.root == RegistryPlace::Root::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

ProcessResult RunTavrin(const std::wstring& arguments)
{
    return RunProcess(L"\"" + BinFolder() + L"\\tavrin.exe\" " + arguments, 120000, BinFolder());
}

} // namespace

class ProfileMode : public ::testing::Test {
protected:
    void SetUp() override
    {
        AddPlaces<Tavrin::Core::CPrivacy>(places);
        AddPlaces<Tavrin::Core::CSecurity>(places);
        AddPlaces<Tavrin::Core::CLocation>(places);
        AddPlaces<Tavrin::Core::CThemeSettings>(places);
        for (const auto& place : places)
            if (!place.ViaPolicyObject())
                restorer.TrackAndClear(PlainRoot(place), place.keyPath, place.valueName);
    }

    // Every value of every page, the policy-bound ones as the policy object stored them.
    std::vector<std::string> Snapshot() const
    {
        std::vector<std::string> states;
        for (const auto& place : places) {
            const bool viaPolicy = place.ViaPolicyObject();
            const std::wstring path =
                viaPolicy ? policy.SectionPath(place.root == RegistryPlace::Root::PolicyMachine) + L"\\" +
                                place.keyPath
                          : place.keyPath;
            states.push_back(Tavrin::Platform::Narrow(path + L"\\" + place.valueName) + "=" +
                             StateText(ReadStored(viaPolicy ? HKEY_CURRENT_USER : PlainRoot(place), path,
                                                  place.valueName)));
        }
        return states;
    }

    // "/apply" of a file holding these bytes.
    ProcessResult ApplyFile(const std::string& bytes) const
    {
        WriteFileBytes(folder.File(L"profile.json"), bytes);
        return RunTavrin(L"/apply \"" + folder.File(L"profile.json") + L"\"");
    }

    std::string Export(const wchar_t* name) const
    {
        const ProcessResult run = RunTavrin(L"/export \"" + folder.File(name) + L"\"");
        EXPECT_EQ(run.exitCode, 0u) << run.output;
        return ReadFileBytes(folder.File(name));
    }

    ClearedJournal journal;
    PolicyServer policy;
    RegistryRestorer restorer;
    TempFolder folder;
    std::vector<RegistryPlace> places;
};

// Every refused file, command line and Windows: its exit code, its message,
// and nothing changed.
TEST_F(ProfileMode, RefusesAndChangesNothing)
{
    const std::string name = RowAsking(false).name;
    const std::wstring file = L"/apply \"" + folder.File(L"profile.json") + L"\"";
    const std::wstring missing = folder.File(L"missing.json");
    const struct {
        std::string bytes; // of the profile file
        std::wstring arguments;
        DWORD exitCode;
        std::string message;
        const wchar_t* windows = nullptr; // the version Wine reports, when not Windows 10
    } cases[] = {
        {Profile("\"" + name + "\": true,"), file, 13, "it is not JSON: parse error at line 1, column"},
        {Profile("") + "x", file, 13, "it is not JSON"},
        {"[]", file, 13, "it is not a JSON object"},
        {"{\"format\": \"other\", \"version\": 1, \"settings\": {}}", file, 13, "unknown format"},
        {"{\"format\": \"tavrin-profile\", \"version\": 2, \"settings\": {}}", file, 13, "unknown version"},
        {"{\"format\": \"tavrin-profile\", \"version\": 1, \"settings\": {}, \"note\": 1}", file, 13,
         "unknown member \"note\""},
        {Profile("\"privacy.nothing\": true"), file, 13, "unknown setting \"privacy.nothing\""},
        {Profile("\"" + name + "\": true, \"" + name + "\": false"), file, 13,
         "\"" + name + "\" is named twice"},
        {Profile("\"" + name + "\": 1"), file, 13, "\"" + name + "\" must be true or false"},
        {Profile("\"" + name + "\": true") + std::string(Tavrin::Core::kMaxProfileBytes, ' '), file, 13,
         "larger than 1 MiB"},
        {Profile("\"privacy.\xE9\": true"), file, 13, "not UTF-8"},
        {std::string("\xFF\xFE{\0}\0", 6), file, 13, "not UTF-8"},
        {"", L"/apply", 87, "Usage: tavrin.exe /apply"},
        {"", L"-EXPORT", 87, "Usage: tavrin.exe /export"},
        {"", L"/apply a.json b.json", 87, "Usage"},
        {"", L"/apply:recommended", 87, "Usage"},
        {"", L"/apply \"" + missing + L"\"", 2, "cannot be read (error 2)"},
        {"", L"/export \"" + folder.File(L"no folder\\p.json") + L"\"", 2, "cannot be written"},
        {"", L"/apply recommended", 10, "not Windows 10", L"win81"},
        {"", L"/export \"" + missing + L"\"", 10, "not Windows 10", L"win7"},
    };
    const std::vector<std::string> before = Snapshot();
    for (const auto& refused : cases) {
        WriteFileBytes(folder.File(L"profile.json"), refused.bytes);
        std::unique_ptr<WindowsVersionOverride> version;
        if (refused.windows)
            version = std::make_unique<WindowsVersionOverride>(L"tavrin.exe", refused.windows);
        const ProcessResult run = RunTavrin(refused.arguments);
        const std::string label = refused.message + " (" + Tavrin::Platform::Narrow(refused.arguments) + ")";
        EXPECT_EQ(run.exitCode, refused.exitCode) << label << ": " << run.output;
        EXPECT_NE(run.output.find(refused.message), std::string::npos) << label << ": " << run.output;
        EXPECT_EQ(Snapshot(), before) << label;
        EXPECT_FALSE(Tavrin::Core::JournalHoldsEntries()) << label;
    }
    EXPECT_EQ(::GetFileAttributesW(missing.c_str()), INVALID_FILE_ATTRIBUTES);
}

// Exported, changed, applied again: a second export equals the first, and
// "/undo" takes the apply back.
TEST_F(ProfileMode, RoundTripAndUndo)
{
    ASSERT_EQ(RunTavrin(L"/apply strict").exitCode, 3010u);
    const std::string first = Export(L"first.json");
    {
        Tavrin::Platform::ComApartment com;
        SettingsBook book;
        for (const SettingsBook::Row& row : SettingsBook::Rows())
            ASSERT_EQ(book.Apply(row, !book.IsTicked(row)), ERROR_SUCCESS) << row.name;
    }
    ClearedJournal::Clear();
    const std::vector<std::string> changed = Snapshot();
    // A box whose cleared values read as ticked (the feedback reminders':
    // absent is 0) shows the same state after both clicks.
    const auto before = Tavrin::Core::CheckProfile(first).settings;
    const auto after = Tavrin::Core::CheckProfile(Export(L"changed.json")).settings;
    ASSERT_EQ(after.size(), SettingsBook::Rows().size());
    ASSERT_EQ(before.size(), after.size());
    size_t flipped = 0;
    for (size_t i = 0; i < after.size(); ++i)
        flipped += after[i].ticked != before[i].ticked;
    ASSERT_GT(flipped, after.size() / 2);

    const ProcessResult apply = ApplyFile(first);
    EXPECT_EQ(apply.exitCode, 3010u) << apply.output;
    EXPECT_NE(apply.output.find("Settings changed: " + std::to_string(flipped) + "; already set: " +
                                std::to_string(after.size() - flipped) + "; not written: 0"),
              std::string::npos)
        << apply.output;
    EXPECT_EQ(Export(L"second.json"), first);

    const ProcessResult undo = RunTavrin(L"/undo");
    EXPECT_EQ(undo.exitCode, 0u) << undo.output;
    EXPECT_EQ(Snapshot(), changed);
}

// 3010 only when a row whose click asks for a restart was written; a
// profile that repeats what is set changes nothing and exits with 0.
TEST_F(ProfileMode, AsksForARestartOnlyWhenARestartRowChanged)
{
    const struct {
        const char* prefix; // a byte-order mark is accepted
        const SettingsBook::Row* flipped;
        DWORD exitCode;
    } cases[] = {{"", nullptr, 0}, {"\xEF\xBB\xBF", &RowAsking(false), 0}, {"", &RowAsking(true), 3010}};
    for (const auto& applied : cases) {
        std::string settings;
        {
            Tavrin::Platform::ComApartment com;
            SettingsBook book;
            for (const auto& current : book.Current())
                settings += std::string(settings.empty() ? "\"" : ", \"") + current.name + "\": " +
                            ((current.ticked != (applied.flipped && current.name == applied.flipped->name))
                                 ? "true"
                                 : "false");
        }
        const ProcessResult run = ApplyFile(applied.prefix + Profile(settings));
        EXPECT_EQ(run.exitCode, applied.exitCode) << run.output;
        EXPECT_NE(run.output.find(std::string("Settings changed: ") + (applied.flipped ? "1;" : "0;")),
                  std::string::npos)
            << run.output;
    }
}

TEST_F(ProfileMode, RecommendedOnAFreshWindows10ThenDefaults)
{
    bool restart = false;
    for (const auto& row : Tavrin::Core::RecommendedRows())
        restart = restart || SettingsBook::Find(row.name)->asksRestart;
    const ProcessResult run = RunTavrin(L"/apply recommended");
    EXPECT_EQ(run.exitCode, restart ? 3010u : 0u) << run.output;
    {
        Tavrin::Platform::ComApartment com;
        SettingsBook book;
        for (const auto& row : Tavrin::Core::RecommendedRows())
            EXPECT_TRUE(book.IsTicked(*SettingsBook::Find(row.name))) << row.name;
    }
    const ProcessResult defaults = RunTavrin(L"/apply Defaults");
    EXPECT_EQ(defaults.exitCode, 0u) << defaults.output;
    EXPECT_NE(defaults.output.find("Pages reset to Windows defaults: 4; not reset: 0"), std::string::npos)
        << defaults.output;
}

namespace {

// The rows of the README's table under `heading`, cells trimmed.
std::vector<std::vector<std::string>> ReadmeTable(const std::string& heading)
{
    std::istringstream readme(ReadFileBytes(TAVRIN_README_PATH));
    std::vector<std::vector<std::string>> rows;
    bool inside = false;
    for (std::string line; std::getline(readme, line);) {
        if (line.rfind("#", 0) == 0)
            inside = line == heading;
        if (!inside || line.rfind("| ", 0) != 0 || line.rfind("| Name", 0) == 0 ||
            line.rfind("| ---", 0) == 0)
            continue;
        rows.emplace_back();
        for (size_t start = 1, bar; (bar = line.find(" |", start)) != std::string::npos; start = bar + 2) {
            const std::string cell = line.substr(start, bar - start);
            rows.back().push_back(cell.substr(std::min(cell.find_first_not_of(' '), cell.size())));
        }
    }
    return rows;
}

INT_PTR CALLBACK QuietDialogProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

// The text of a row's box as its page's dialog template gives it.
std::string BoxText(SettingsBook::Page page, const char* row)
{
    const SettingsPageLayout* layouts[] = {&CPrivacyDlg::kLayout, &CSecurityDlg::kLayout,
                                           &CLocationDlg::kLayout, &CThemeDlg::kLayout};
    const SettingsPageLayout& layout = *layouts[static_cast<int>(page)];
    // Pages are children: they need a window to live in.
    HWND host =
        ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HWND dialog = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(layout.templateId), host,
                                       QuietDialogProc, 0);
    wchar_t text[256] = {};
    ::GetDlgItemTextW(dialog, BoxOf(layout, row), text, 256);
    ::DestroyWindow(host);
    return Tavrin::Platform::Narrow(text, CP_UTF8);
}

} // namespace

TEST(ProfileReadme, ListsEveryRowWithItsPageAndBoxAndThePresetsWithTheirNotes)
{
    std::vector<std::vector<std::string>> names, presets;
    std::set<std::string> unique;
    for (const SettingsBook::Row& row : SettingsBook::Rows()) {
        names.push_back({"`" + std::string(row.name) + "`",
                         Tavrin::Platform::Narrow(SettingsBook::PageName(row.page)),
                         BoxText(row.page, row.name)});
        EXPECT_TRUE(unique.insert(row.name).second) << row.name;
    }
    EXPECT_EQ(ReadmeTable("### Setting names"), names);
    for (const auto& row : Tavrin::Core::RecommendedRows())
        presets.push_back({"`" + std::string(row.name) + "`", "recommended, strict", ""});
    for (const auto& row : Tavrin::Core::StrictAdditions())
        presets.push_back({"`" + std::string(row.name) + "`", "strict", row.note});
    EXPECT_EQ(ReadmeTable("### Presets"), presets);
}

// --- The profiles dialog ------------------------------------------------------

namespace {

std::wstring ItemText(HWND dialog, int id)
{
    wchar_t text[1024] = {};
    ::GetDlgItemTextW(dialog, id, text, 1024);
    return text;
}

// The number in "... Changes 11 boxes on this PC.", 0 for "Nothing to change".
int CountShown(const std::wstring& text)
{
    const size_t at = text.find(L" Changes ");
    return at == std::wstring::npos ? 0 : std::stoi(text.substr(at + 9));
}

} // namespace

// The dialog of the real program, created over the prefix's registry as the
// modes use it; its file pickers answer with the test's files.
class ProfilesDialog : public ProfileMode {
protected:
    void SetUp() override
    {
        ProfileMode::SetUp();
        ASSERT_TRUE(theSkin.Load(BinFolder() + L"\\ui.xml", ::GetModuleHandleW(nullptr)));
        dialog.SetFilePicker([this](HWND, bool save) {
            picked.push_back(save);
            return pickedFile;
        });
        ASSERT_TRUE(dialog.Create(IDD_PROFILES, nullptr));
        dialog.ShowWindow(SW_SHOW);
        ASSERT_TRUE(Finished()) << "the presets were never counted";
    }
    void TearDown() override
    {
        // An action still running reports to nobody once the window is gone.
        dialog.DestroyWindow();
        PumpMessages();
        theSkin.Reset();
    }
    bool Finished()
    {
        return PumpUntil([&] { return !dialog.Busy(); }, 60000);
    }
    bool Press(int id)
    {
        Click(dialog.GetDlgItem(id));
        return Finished();
    }
    std::wstring Text(int id) const { return ItemText(dialog, id); }

    CProfilesDlg dialog;
    std::wstring pickedFile;
    std::vector<bool> picked; // true for the save picker
};

TEST_F(ProfilesDialog, EachPresetChangesTheBoxesItCountedThenHasNothingLeft)
{
    const struct {
        int button;
        int text;
    } presets[] = {{IDC_PROFILES_RECOMMENDED, IDC_PROFILES_RECOMMENDED_TEXT},
                   {IDC_PROFILES_STRICT, IDC_PROFILES_STRICT_TEXT}};
    for (const auto& preset : presets) {
        const int count = CountShown(Text(preset.text));
        EXPECT_GT(count, 0) << Tavrin::Platform::Narrow(Text(preset.text));
        const std::vector<std::string> before = Snapshot();
        ASSERT_TRUE(Press(preset.button));
        EXPECT_EQ(Text(IDC_PROFILES_SUMMARY).rfind(L"Settings changed: " + std::to_wstring(count) + L";", 0),
                  0u)
            << Tavrin::Platform::Narrow(Text(IDC_PROFILES_SUMMARY));
        EXPECT_NE(Snapshot(), before);
        EXPECT_NE(Text(preset.text).find(L"Nothing to change on this PC."), std::wstring::npos);
    }
    EXPECT_TRUE(dialog.SettingsChanged());
    // Strict ticks the security page's boxes, whose clicks ask for a restart.
    EXPECT_TRUE(dialog.RestartNeeded());
    EXPECT_TRUE(picked.empty());
}

TEST_F(ProfilesDialog, SavedSettingsComeBackWhenTheFileIsApplied)
{
    pickedFile = folder.File(L"saved.json");
    ASSERT_TRUE(Press(IDC_PROFILES_SAVE));
    EXPECT_EQ(Text(IDC_PROFILES_SUMMARY),
              L"Settings saved: " + std::to_wstring(SettingsBook::Rows().size()) + L", to " + pickedFile);
    const std::string saved = ReadFileBytes(pickedFile);
    const Tavrin::Core::ProfileCheck check = Tavrin::Core::CheckProfile(saved);
    ASSERT_TRUE(check.Valid()) << check.problem;
    EXPECT_EQ(check.settings.size(), SettingsBook::Rows().size());

    ASSERT_TRUE(Press(IDC_PROFILES_STRICT));
    ASSERT_TRUE(Press(IDC_PROFILES_OPEN));
    EXPECT_EQ(Text(IDC_PROFILES_SUMMARY).rfind(L"Settings changed: ", 0), 0u);
    // Saved again, the boxes show what they showed when first saved.
    pickedFile = folder.File(L"again.json");
    ASSERT_TRUE(Press(IDC_PROFILES_SAVE));
    EXPECT_EQ(ReadFileBytes(pickedFile), saved);
    EXPECT_EQ(picked, (std::vector<bool>{true, false, true}));
}

TEST_F(ProfilesDialog, ARefusedOrUnreadableFileIsNamedAndNothingChanges)
{
    const std::vector<std::string> before = Snapshot();
    const struct {
        const wchar_t* file;
        std::string bytes; // nothing written when empty
        const wchar_t* said;
    } cases[] = {
        {L"bad.json", Profile("\"privacy.nothing\": true"), L" is not a valid profile: unknown setting"},
        {L"missing.json", "", L"cannot be read (error 2)"},
    };
    for (const auto& refused : cases) {
        pickedFile = folder.File(refused.file);
        if (!refused.bytes.empty())
            WriteFileBytes(pickedFile, refused.bytes);
        ASSERT_TRUE(Press(IDC_PROFILES_OPEN));
        const std::wstring summary = Text(IDC_PROFILES_SUMMARY);
        EXPECT_NE(summary.find(pickedFile), std::wstring::npos) << Tavrin::Platform::Narrow(summary);
        EXPECT_NE(summary.find(refused.said), std::wstring::npos) << Tavrin::Platform::Narrow(summary);
        EXPECT_NE(summary.find(L"Nothing was changed."), std::wstring::npos);
    }
    EXPECT_EQ(Snapshot(), before);
    EXPECT_FALSE(dialog.SettingsChanged());
    // A cancelled picker starts nothing.
    pickedFile.clear();
    Click(dialog.GetDlgItem(IDC_PROFILES_OPEN));
    EXPECT_FALSE(dialog.Busy());
}
