#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/compat/Extensions.h"
#include "platform/RegKey.h"
#include "platform/Text.h"
#include "tests/support/TestSupport.h"

using namespace Tavrin::Core;
using Tavrin::Platform::RegKey;
using Tavrin::Test::DeleteTree;
using Tavrin::Test::TempFolder;

namespace Tavrin::Core {
void PrintTo(const SavedExtension& e, std::ostream* out)
{
    *out << Platform::Narrow(
        L"{" + e.extension + L" | " + e.progId + L" | " + e.hash + L" | " + e.openCommand + L"}", CP_UTF8);
}
} // namespace Tavrin::Core

namespace {

const std::wstring kFileExts = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";

// UserChoice keys and program identifiers made for one test, removed after it.
class Associations {
public:
    ~Associations()
    {
        for (const auto& extension : m_extensions)
            DeleteTree(HKEY_CURRENT_USER, kFileExts + extension, KEY_WOW64_64KEY);
        for (const auto& progId : m_progIds)
            DeleteTree(HKEY_LOCAL_MACHINE, L"Software\\Classes\\" + progId, KEY_WOW64_64KEY);
    }

    // A UserChoice for an extension key; null values are left out.
    void Choose(const std::wstring& extensionKey, const wchar_t* progId, const wchar_t* hash = L"h4sh")
    {
        RegKey key;
        ASSERT_EQ(key.Create(HKEY_CURRENT_USER, kFileExts + extensionKey + L"\\UserChoice",
                             KEY_WRITE | KEY_WOW64_64KEY),
                  ERROR_SUCCESS);
        if (progId)
            key.SetString(L"Progid", progId);
        if (hash)
            key.SetString(L"Hash", hash);
        m_extensions.push_back(extensionKey);
    }

    // A program identifier; a null command makes one without an open command.
    void Program(const std::wstring& progId, const wchar_t* command)
    {
        RegKey key;
        const std::wstring path =
            L"Software\\Classes\\" + progId + (command ? L"\\shell\\open\\command" : L"");
        ASSERT_EQ(key.Create(HKEY_LOCAL_MACHINE, path, KEY_WRITE | KEY_WOW64_64KEY), ERROR_SUCCESS);
        if (command)
            key.SetString(L"", command);
        m_progIds.push_back(progId);
    }

    // The entries of a list whose extension these tests touched.
    std::list<SavedExtension> Ours(const std::list<SavedExtension>& all) const
    {
        std::list<SavedExtension> ours;
        for (const auto& entry : all) {
            for (const auto& key : m_extensions) {
                if (Tavrin::Platform::EqualsIgnoreCase(Tavrin::Platform::TrimWhiteSpace(entry.extension),
                                                       key)) {
                    ours.push_back(entry);
                    break;
                }
            }
        }
        return ours;
    }

private:
    std::vector<std::wstring> m_extensions;
    std::vector<std::wstring> m_progIds;
};

std::wstring Unique(const wchar_t* name)
{
    return L"TavrinTest" + std::to_wstring(::GetCurrentProcessId()) + L"." + name;
}

SavedExtension Entry(const std::wstring& extension, const std::wstring& progId)
{
    return {extension, progId, L"hash", L"open %1"};
}

} // namespace

TEST(FileAssociationCatalogue, Holds64EntriesInOrderIncludingTheTwoWithATrailingBlank)
{
    Extensions extensions;
    const std::vector<std::wstring> catalogue(extensions.catalogue.begin(), extensions.catalogue.end());
    ASSERT_EQ(catalogue.size(), 64u);
    EXPECT_EQ(catalogue.front(), L".AIF");
    EXPECT_EQ(catalogue[7], L".RA ");
    EXPECT_EQ(catalogue[10], L".3G2");
    EXPECT_EQ(catalogue[20], L".RM ");
    EXPECT_EQ(catalogue[25], L".BMP");
    EXPECT_EQ(catalogue[37], L".PDF");
    EXPECT_EQ(catalogue[38], L".7Z");
    EXPECT_EQ(catalogue[46], L".TAR.GZ");
    EXPECT_EQ(catalogue[49], L".MSG");
    EXPECT_EQ(catalogue[50], L".ASP");
    EXPECT_EQ(catalogue[62], L".XHTML");
    EXPECT_EQ(catalogue.back(), L".ICS");
    EXPECT_EQ(std::set<std::wstring>(catalogue.begin(), catalogue.end()).size(), 64u);
    EXPECT_TRUE(extensions.current.empty());
}

TEST(FileAssociations, RecordsUserChoiceHashAndOpenCommandInCatalogueOrder)
{
    Associations made;
    const auto player = Unique(L"Player"), viewer = Unique(L"Viewer");
    made.Program(player, L"\"C:\\Player\\play.exe\" \"%1\"");
    made.Program(viewer, L"viewer.exe %1");
    made.Choose(L".png", viewer.c_str(), L"pngHash=");
    made.Choose(L".mp3", player.c_str(), nullptr);

    Extensions extensions;
    extensions.CollectAssociations();
    // The catalogue's spelling is recorded, whatever the key's letter case.
    EXPECT_EQ(made.Ours(extensions.current),
              (std::list<SavedExtension>{{L".MP3", player, L"", L"\"C:\\Player\\play.exe\" \"%1\""},
                                         {L".PNG", viewer, L"pngHash=", L"viewer.exe %1"}}));
}

TEST(FileAssociations, EntriesWithoutProgIdOrOpenCommandAreNotRecorded)
{
    Associations made;
    const auto bare = Unique(L"Bare"), good = Unique(L"Good");
    made.Program(bare, nullptr);
    made.Program(good, L"good.exe");
    made.Choose(L".gif", bare.c_str());              // no shell\open\command
    made.Choose(L".jpg", nullptr);                   // no Progid
    made.Choose(L".tif", L"");                       // empty Progid
    made.Choose(L".bmp", Unique(L"Absent").c_str()); // identifier that does not exist
    made.Choose(L".pdf", good.c_str());

    Extensions extensions;
    extensions.CollectAssociations();
    const auto ours = made.Ours(extensions.current);
    ASSERT_EQ(ours.size(), 1u);
    EXPECT_EQ(ours.front().extension, L".PDF");
}

TEST(FileAssociations, TheEntriesWithATrailingBlankNeverMatchARealKey)
{
    Associations made;
    const auto real = Unique(L"Real");
    made.Program(real, L"real.exe");
    made.Choose(L".ra", real.c_str());
    made.Choose(L".rm", real.c_str());
    Extensions extensions;
    extensions.CollectAssociations();
    EXPECT_TRUE(made.Ours(extensions.current).empty());
}

TEST(FileAssociations, StringValuesOfOtherTypesCountAsAbsent)
{
    Associations made;
    const auto program = Unique(L"Typed");
    made.Program(program, L"typed.exe");
    made.Choose(L".css", nullptr);
    RegKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, kFileExts + L".css\\UserChoice", KEY_WRITE | KEY_WOW64_64KEY),
              ERROR_SUCCESS);
    key.SetDword(L"Progid", 7);
    made.Choose(L".htm", program.c_str(), nullptr);
    RegKey htm;
    ASSERT_EQ(htm.Open(HKEY_CURRENT_USER, kFileExts + L".htm\\UserChoice", KEY_WRITE | KEY_WOW64_64KEY),
              ERROR_SUCCESS);
    htm.SetDword(L"Hash", 7);

    Extensions extensions;
    extensions.CollectAssociations();
    EXPECT_EQ(made.Ours(extensions.current),
              (std::list<SavedExtension>{{L".HTM", program, L"", L"typed.exe"}}));
}

TEST(LostAssociations, GoneOrChangedProgIdsAreLostInSavedOrder)
{
    const std::list<SavedExtension> saved = {Entry(L".MP3", L"Player"), Entry(L".PNG", L"Viewer"),
                                             Entry(L".ZIP", L"Zipper"), Entry(L".MP3", L"Player")};
    std::list<SavedExtension> current = {{L".PNG", L"Viewer", L"other hash", L"other command"},
                                         Entry(L".ZIP", L"Archiver")};
    EXPECT_EQ(FindLostAssociations(saved, current),
              (std::list<SavedExtension>{Entry(L".MP3", L"Player"), Entry(L".ZIP", L"Zipper"),
                                         Entry(L".MP3", L"Player")}));
}

TEST(LostAssociations, LetterCaseMattersAndTheFirstCurrentEntryDecides)
{
    const std::list<SavedExtension> saved = {Entry(L".PNG", L"Viewer"), Entry(L".GIF", L"Viewer")};
    const std::list<SavedExtension> current = {Entry(L".PNG", L"viewer"), Entry(L".GIF", L"Viewer"),
                                               Entry(L".GIF", L"Other"), Entry(L".PNG", L"Viewer")};
    EXPECT_EQ(FindLostAssociations(saved, current), (std::list<SavedExtension>{Entry(L".PNG", L"Viewer")}));
}

TEST(LostAssociations, ASavedEntryWithoutProgIdIsLostWhenGoneOrWhenAProgramIsNamedNow)
{
    // An empty saved identifier is compared like any other: a program named
    // now is another program.
    const std::list<SavedExtension> saved = {Entry(L".PNG", L""), Entry(L".GIF", L""), Entry(L".BMP", L"")};
    EXPECT_EQ(FindLostAssociations(saved, {Entry(L".PNG", L"Anything"), Entry(L".BMP", L"")}),
              (std::list<SavedExtension>{Entry(L".PNG", L""), Entry(L".GIF", L"")}));
}

TEST(LostAssociations, EverySavedEntryIsLostWhenNothingIsAssociatedNow)
{
    const std::list<SavedExtension> saved = {Entry(L".PNG", L"Viewer"), Entry(L".GIF", L"Viewer")};
    EXPECT_EQ(FindLostAssociations(saved, {}), saved);
}

TEST(LostAssociations, ComparesTheSavedFileWithTheRegistry)
{
    Associations made;
    const auto player = Unique(L"Player"), other = Unique(L"Other");
    made.Program(player, L"player.exe");
    made.Program(other, L"other.exe");
    made.Choose(L".wav", player.c_str());
    made.Choose(L".wma", player.c_str());
    TempFolder folder;
    const auto file = folder.File(L"extensions.saved");
    Extensions before;
    before.CollectAssociations();
    ASSERT_TRUE(before.SaveAssociations(file));

    // The upgrade hands .WMA to another program and changes the hash of .WAV.
    made.Choose(L".wma", other.c_str());
    made.Choose(L".wav", player.c_str(), L"new hash");
    Extensions after;
    after.CollectAssociations();
    EXPECT_EQ(made.Ours(after.LostAssociations(file)),
              (std::list<SavedExtension>{{L".WMA", player, L"h4sh", L"player.exe"}}));
    EXPECT_TRUE(after.LostAssociations(folder.File(L"absent.saved")).empty());
}

// An administrator elevated for the person at the keyboard: the inventory
// records that person's choices, with the programs their own classes name
// (then the machine's), and none of the administrator's. Wine has one user:
// the second user's hives are loaded under HKEY_USERS and named the
// session's user through the seam.
TEST(FileAssociationsOfTheSessionUser, ComeFromTheirHiveAndClassesNotTheAdministrators)
{
    const std::wstring alice = L"S-1-5-21-1111111111-2222222222-3333333333-1001";
    Tavrin::Test::LoadedHive hive(alice), classes(alice + L"_Classes");
    ASSERT_TRUE(hive.Loaded() && classes.Loaded());
    const auto adminPdf = Unique(L"AdminPdf"), alicePdf = Unique(L"AlicePdf"), zip = Unique(L"Zip");
    Associations admin; // the process's own user's choices, in HKEY_CURRENT_USER
    admin.Program(adminPdf, L"admin.exe %1");
    admin.Program(zip, L"zip.exe %1"); // the machine's classes only
    admin.Choose(L".pdf", adminPdf.c_str(), L"adminHash");
    admin.Choose(L".gif", adminPdf.c_str(), L"adminHash");
    auto write = [](HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text) {
        RegKey key;
        ASSERT_EQ(key.Create(root, path, KEY_WRITE | KEY_WOW64_64KEY), ERROR_SUCCESS);
        ASSERT_EQ(key.SetString(name, text), ERROR_SUCCESS);
    };
    for (const auto& [extension, progId] : {std::pair{L".PDF", alicePdf}, std::pair{L".ZIP", zip}}) {
        write(HKEY_USERS, alice + L"\\" + kFileExts + extension + L"\\UserChoice", L"Progid", progId);
        write(HKEY_USERS, alice + L"\\" + kFileExts + extension + L"\\UserChoice", L"Hash", L"aliceHash");
    }
    write(HKEY_USERS, alice + L"_Classes\\" + alicePdf + L"\\shell\\open\\command", L"", L"alice.exe %1");

    // In catalogue order: images, documents, archives.
    const struct {
        bool aliceAtTheKeyboard;
        std::list<SavedExtension> expected;
    } cases[] = {
        {true,
         {{L".PDF", alicePdf, L"aliceHash", L"alice.exe %1"}, {L".ZIP", zip, L"aliceHash", L"zip.exe %1"}}},
        {false,
         {{L".GIF", adminPdf, L"adminHash", L"admin.exe %1"},
          {L".PDF", adminPdf, L"adminHash", L"admin.exe %1"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.aliceAtTheKeyboard ? "Alice at the keyboard" : "the administrator's own session");
        std::optional<Tavrin::Test::SessionUserOverride> session;
        if (c.aliceAtTheKeyboard)
            session.emplace(alice, L"Alice");
        Extensions extensions;
        extensions.CollectAssociations();
        std::list<SavedExtension> ours;
        for (const auto& entry : extensions.current)
            if (entry.progId == adminPdf || entry.progId == alicePdf || entry.progId == zip)
                ours.push_back(entry);
        EXPECT_EQ(ours, c.expected);
    }
}
