#include <gtest/gtest.h>

#include <fstream>
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

// "/export" and "/apply" of the real tavrin.exe against the prefix's
// registry, with the stand-in policy object, from a state where every value
// of the settings pages is absent, as on a fresh Windows 10.

using namespace Tavrin::Test;
using Tavrin::Core::SettingsBook;

namespace {

std::string ReadText(const std::wstring& path)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

void WriteText(const std::wstring& path, const std::string& text)
{
    std::ofstream(path.c_str(), std::ios::binary) << text;
}

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

template <typename Model> void AddPlaces(std::vector<Tavrin::Core::RegistryPlace>& places)
{
    const Model model;
    for (const auto& entry : Tavrin::Core::CatalogueOf<Model>().members)
        places.push_back(std::visit([&](auto member) { return (model.*member).Place(); }, entry));
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
                restorer.TrackAndClear(Root(place), place.keyPath, place.valueName);
    }

    static HKEY Root(const Tavrin::Core::RegistryPlace& place)
    {
        return place.root == Tavrin::Core::RegistryPlace::Root::Machine ? HKEY_LOCAL_MACHINE
                                                                        : HKEY_CURRENT_USER;
    }

    // Every value of every page, the policy-bound ones as the policy object stored them.
    std::vector<std::string> Snapshot() const
    {
        std::vector<std::string> states;
        for (const auto& place : places) {
            const bool viaPolicy = place.ViaPolicyObject();
            const std::wstring path =
                viaPolicy
                    ? policy.SectionPath(place.root == Tavrin::Core::RegistryPlace::Root::PolicyMachine) +
                          L"\\" + place.keyPath
                    : place.keyPath;
            states.push_back(
                Tavrin::Platform::Narrow(path + L"\\" + place.valueName) + "=" +
                StateText(ReadStored(viaPolicy ? HKEY_CURRENT_USER : Root(place), path, place.valueName)));
        }
        return states;
    }

    static ProcessResult Run(const std::wstring& arguments)
    {
        return RunProcess(L"\"" + BinFolder() + L"\\tavrin.exe\" " + arguments, 120000, BinFolder());
    }

    // "/apply" of a file holding these bytes.
    ProcessResult ApplyFile(const std::string& bytes) const
    {
        WriteText(folder.File(L"profile.json"), bytes);
        return Run(L"/apply \"" + folder.File(L"profile.json") + L"\"");
    }

    std::string Export(const wchar_t* name) const
    {
        const ProcessResult run = Run(L"/export \"" + folder.File(name) + L"\"");
        EXPECT_EQ(run.exitCode, 0u) << run.output;
        return ReadText(folder.File(name));
    }

    ClearedJournal journal;
    PolicyServer policy;
    RegistryRestorer restorer;
    TempFolder folder;
    std::vector<Tavrin::Core::RegistryPlace> places;
};

TEST_F(ProfileMode, RefusesEveryKindOfBadFileAndChangesNothing)
{
    const std::string name = RowAsking(false).name;
    const std::string tooLarge =
        Profile("\"" + name + "\": true") + std::string(Tavrin::Core::kMaxProfileBytes, ' ');
    const struct {
        const char* kind;
        std::string bytes;
        std::string message;
    } cases[] = {
        {"not JSON", Profile("\"" + name + "\": true,"), "it is not JSON: parse error at line 1, column"},
        {"not an object", "[]", "it is not a JSON object"},
        {"unknown format", "{\"format\": \"other\", \"version\": 1, \"settings\": {}}", "unknown format"},
        {"unknown version", "{\"format\": \"tavrin-profile\", \"version\": 2, \"settings\": {}}",
         "unknown version"},
        {"text after the object", Profile("") + "x", "it is not JSON"},
        {"unknown top-level name",
         "{\"format\": \"tavrin-profile\", \"version\": 1, \"settings\": {}, \"note\": 1}",
         "unknown member \"note\""},
        {"unknown setting", Profile("\"privacy.nothing\": true"), "unknown setting \"privacy.nothing\""},
        {"named twice", Profile("\"" + name + "\": true, \"" + name + "\": false"),
         "\"" + name + "\" is named twice"},
        {"not a boolean", Profile("\"" + name + "\": 1"), "\"" + name + "\" must be true or false"},
        {"larger than 1 MiB", tooLarge, "larger than 1 MiB"},
        {"not UTF-8", Profile("\"privacy.\xE9\": true"), "not UTF-8"},
        {"UTF-16", std::string("\xFF\xFE{\0}\0", 6), "not UTF-8"},
    };
    const std::vector<std::string> before = Snapshot();
    for (const auto& refused : cases) {
        const ProcessResult run = ApplyFile(refused.bytes);
        EXPECT_EQ(run.exitCode, 13u) << refused.kind << ": " << run.output;
        EXPECT_NE(run.output.find(refused.message), std::string::npos) << refused.kind << ": " << run.output;
        EXPECT_NE(run.output.find("Nothing was changed."), std::string::npos) << refused.kind;
        EXPECT_EQ(Snapshot(), before) << refused.kind;
        EXPECT_FALSE(Tavrin::Core::JournalHoldsEntries()) << refused.kind;
    }
}

TEST_F(ProfileMode, RefusesABadCommandLineAnUnreadableFileAndAnotherWindows)
{
    const std::wstring missing = folder.File(L"missing.json");
    const struct {
        std::wstring arguments;
        const wchar_t* windows; // the version Wine reports, when not Windows 10
        DWORD exitCode;
        const char* message;
    } cases[] = {
        {L"/apply", nullptr, 87, "Usage: tavrin.exe /apply"},
        {L"-EXPORT", nullptr, 87, "Usage: tavrin.exe /export"},
        {L"/apply a.json b.json", nullptr, 87, "Usage"},
        {L"/apply:recommended", nullptr, 87, "Usage"},
        {L"/apply \"" + missing + L"\"", nullptr, 2, "cannot be read (error 2)"},
        {L"/export \"" + folder.File(L"no folder\\p.json") + L"\"", nullptr, 2, "cannot be written"},
        {L"/apply recommended", L"win81", 10, "not Windows 10"},
        {L"/export \"" + missing + L"\"", L"win7", 10, "not Windows 10"},
    };
    const std::vector<std::string> before = Snapshot();
    for (const auto& refused : cases) {
        std::unique_ptr<WindowsVersionOverride> version;
        if (refused.windows)
            version = std::make_unique<WindowsVersionOverride>(L"tavrin.exe", refused.windows);
        const ProcessResult run = Run(refused.arguments);
        const std::string label = Tavrin::Platform::Narrow(refused.arguments);
        EXPECT_EQ(run.exitCode, refused.exitCode) << label << ": " << run.output;
        EXPECT_NE(run.output.find(refused.message), std::string::npos) << label << ": " << run.output;
        EXPECT_EQ(Snapshot(), before) << label;
    }
    EXPECT_EQ(::GetFileAttributesW(missing.c_str()), INVALID_FILE_ATTRIBUTES);
}

// Exported, changed, applied again: the registry shows the export again, a
// second export equals the first, and "/undo" takes the apply back.
TEST_F(ProfileMode, RoundTripAndUndo)
{
    ASSERT_EQ(Run(L"/apply strict").exitCode, 3010u);
    const std::string first = Export(L"first.json");
    ASSERT_TRUE(Tavrin::Core::CheckProfile(first).Valid()) << first;
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
    ASSERT_EQ(after.size(), before.size());
    size_t flipped = 0;
    for (size_t i = 0; i < after.size(); ++i)
        flipped += after[i].ticked != before[i].ticked;
    ASSERT_GT(flipped, after.size() / 2);

    WriteText(folder.File(L"copy of first.json"), first);
    const ProcessResult apply = Run(L"/apply \"" + folder.File(L"copy of first.json") + L"\"");
    EXPECT_EQ(apply.exitCode, 3010u) << apply.output;
    EXPECT_NE(apply.output.find("Settings changed: " + std::to_string(flipped) + "; already set: " +
                                std::to_string(after.size() - flipped) + "; not written: 0"),
              std::string::npos)
        << apply.output;
    EXPECT_EQ(Export(L"second.json"), first);

    const ProcessResult undo = Run(L"/undo");
    EXPECT_EQ(undo.exitCode, 0u) << undo.output;
    EXPECT_EQ(Snapshot(), changed);
}

// 3010 only when a row whose click asks for a restart was written; a profile
// that repeats what is set changes nothing.
TEST_F(ProfileMode, AsksForARestartOnlyWhenARestartRowChanged)
{
    const SettingsBook::Row &calm = RowAsking(false), &restart = RowAsking(true);
    const struct {
        const char* kind;
        std::vector<const SettingsBook::Row*> flipped;
        const char* bom;
        DWORD exitCode;
    } cases[] = {
        {"repeats what is set", {}, "", 0},
        {"changes a calm row, with a byte-order mark", {&calm}, "\xEF\xBB\xBF", 0},
        {"changes a restart row", {&restart}, "", 3010},
        {"changes both back", {&calm, &restart}, "", 3010},
    };
    for (const auto& applied : cases) {
        std::string settings;
        {
            Tavrin::Platform::ComApartment com;
            SettingsBook book;
            for (const auto& current : book.Current()) {
                bool flip = false;
                for (const SettingsBook::Row* row : applied.flipped)
                    flip = flip || current.name == row->name;
                settings += std::string(settings.empty() ? "" : ", ") + "\"" + current.name +
                            "\": " + (current.ticked != flip ? "true" : "false");
            }
        }
        const ProcessResult run = ApplyFile(applied.bom + Profile(settings));
        EXPECT_EQ(run.exitCode, applied.exitCode) << applied.kind << ": " << run.output;
        EXPECT_NE(run.output.find("Settings changed: " + std::to_string(applied.flipped.size()) + ";"),
                  std::string::npos)
            << applied.kind << ": " << run.output;
    }
}

TEST_F(ProfileMode, RecommendedOnAFreshWindows10ThenDefaults)
{
    bool restart = false;
    for (const auto& row : Tavrin::Core::RecommendedRows())
        restart = restart || SettingsBook::Find(row.name)->asksRestart;
    const ProcessResult run = Run(L"/apply recommended");
    EXPECT_EQ(run.exitCode, restart ? 3010u : 0u) << run.output;
    {
        Tavrin::Platform::ComApartment com;
        SettingsBook book;
        for (const auto& row : Tavrin::Core::RecommendedRows())
            EXPECT_TRUE(book.IsTicked(*SettingsBook::Find(row.name))) << row.name;
    }
    const ProcessResult again = Run(L"/apply Recommended");
    EXPECT_EQ(again.exitCode, 0u) << again.output;
    const ProcessResult defaults = Run(L"/apply defaults");
    EXPECT_EQ(defaults.exitCode, 0u) << defaults.output;
    EXPECT_NE(defaults.output.find("Pages reset to Windows defaults: 4; not reset: 0"), std::string::npos)
        << defaults.output;
}

namespace {

// The rows of the README's table under `heading`, cells trimmed.
std::vector<std::vector<std::string>> ReadmeTable(const std::string& heading)
{
    std::istringstream readme(ReadText(TAVRIN_README_PATH));
    std::vector<std::vector<std::string>> rows;
    bool inside = false;
    for (std::string line; std::getline(readme, line);) {
        if (line.rfind("#", 0) == 0)
            inside = line == heading;
        if (!inside || line.rfind("| ", 0) != 0 || line.rfind("| Name", 0) == 0 ||
            line.rfind("| ---", 0) == 0)
            continue;
        std::vector<std::string> cells;
        for (size_t start = 1, bar; (bar = line.find(" |", start)) != std::string::npos; start = bar + 2) {
            std::string cell = line.substr(start, bar - start);
            cell.erase(0, cell.find_first_not_of(' '));
            cells.push_back(cell);
        }
        rows.push_back(cells);
    }
    return rows;
}

INT_PTR CALLBACK QuietDialogProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

// The text of a box as the page's dialog template gives it.
std::string BoxText(SettingsBook::Page page, int controlId)
{
    const int templates[] = {IDD_PRIVACY, IDD_SECURITY, IDD_LOCATION, IDD_THEME};
    HWND host = ::CreateWindowExW(0, L"STATIC", L"host", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                                  nullptr);
    HWND dialog =
        ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templates[static_cast<int>(page)]),
                             host, QuietDialogProc, 0);
    wchar_t text[256] = {};
    ::GetDlgItemTextW(dialog, controlId, text, 256);
    ::DestroyWindow(dialog);
    ::DestroyWindow(host);
    return Tavrin::Platform::Narrow(text, CP_UTF8);
}

} // namespace

TEST(ProfileReadme, ListsEveryRowWithItsPageAndBoxAndThePresetsWithTheirNotes)
{
    const auto names = ReadmeTable("### Setting names");
    ASSERT_EQ(names.size(), SettingsBook::Rows().size());
    for (size_t i = 0; i < names.size(); ++i) {
        const SettingsBook::Row& row = SettingsBook::Rows()[i];
        ASSERT_EQ(names[i].size(), 3u) << i;
        EXPECT_EQ(names[i][0], "`" + std::string(row.name) + "`");
        EXPECT_EQ(names[i][1], Tavrin::Platform::Narrow(SettingsBook::PageName(row.page)));
        EXPECT_EQ(names[i][2], BoxText(row.page, row.controlId)) << row.name;
    }
    std::vector<std::vector<std::string>> presets;
    for (const auto& row : Tavrin::Core::RecommendedRows())
        presets.push_back({"`" + std::string(row.name) + "`", "recommended, strict", ""});
    for (const auto& row : Tavrin::Core::StrictAdditions())
        presets.push_back({"`" + std::string(row.name) + "`", "strict", row.note});
    EXPECT_EQ(ReadmeTable("### Presets"), presets);
}
