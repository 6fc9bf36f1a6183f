#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cwchar>
#include <random>
#include <string>
#include <vector>

#include "core/compat/CompatibilityResult.h"
#include "core/compat/Drivers.h"
#include "core/compat/Extensions.h"
#include "core/compat/InstalledApp.h"
#include "platform/UniqueHandle.h"
#include "tests/support/TestSupport.h"

using namespace Tavrin::Core;
using Tavrin::Test::ReadFileBytes;
using Tavrin::Test::TempFolder;
using Tavrin::Test::WriteFileBytes;

namespace {

const std::string kHeader = "22 serialization::archive 13";
const std::wstring kMachinePath = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// The raw UTF-16LE bytes of a string, as the files hold them.
std::string Raw(const std::wstring& text)
{
    std::string bytes;
    for (wchar_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>((unit >> 8) & 0xFF);
    }
    return bytes;
}

// A wide string field as written: the count, one blank, the raw bytes.
std::string Text(const std::wstring& text)
{
    return std::to_string(text.size()) + " " + Raw(text);
}

InstalledApp App(const std::wstring& keyName, const std::wstring& displayName,
                 std::uint32_t root = kMachineRoot, const std::wstring& path = kMachinePath)
{
    return {root, path, keyName, displayName};
}

std::list<InstalledApp> TwoApps()
{
    return {App(L"{1A2B}", L"Alpha"), App(L"Beta", L"Beta Suite", kUsersRoot, L"S-1-5-21\\" + kMachinePath)};
}

std::string TwoAppsBytes()
{
    return kHeader + " 0 0 2 0 0 0 2147483650 " + Text(kMachinePath) + " " + Text(L"{1A2B}") + " " +
           Text(L"Alpha") + " 2147483651 " + Text(L"S-1-5-21\\" + kMachinePath) + " " + Text(L"Beta") + " " +
           Text(L"Beta Suite") + "\n";
}

// Peak commit of this process, to show that a damaged file never makes the
// reader reserve memory for what the file merely claims to hold.
SIZE_T PeakCommit()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
    return counters.PeakPagefileUsage;
}

// Each save of the scan, writing a small record of its own kind to path.
struct Saver {
    const char* name;
    bool (*save)(const std::wstring& path);
};
const Saver kSavers[] = {
    {"applications", [](const std::wstring& path) { return SaveInstalledApps(TwoApps(), path); }},
    {"drivers",
     [](const std::wstring& path) {
         Drivers drivers;
         drivers.current = {{L"Disk", L"GenDisk", L"{g}"}};
         return drivers.SaveDrivers(path);
     }},
    {"associations",
     [](const std::wstring& path) {
         Extensions extensions;
         extensions.current = {{L".PDF", L"Acro", L"", L"acro %1"}};
         return extensions.SaveAssociations(path);
     }},
    {"results",
     [](const std::wstring& path) {
         WindowsUpdate::COMPATIBILITY_RESULT result;
         result.totalMemory = 8589934592;
         return WindowsUpdate::SaveCompatibilityResult(result, path);
     }},
};

// The names in a folder, sorted.
std::vector<std::wstring> FilesIn(const TempFolder& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found = {};
    Tavrin::Platform::UniqueFindHandle find(::FindFirstFileW(folder.File(L"*").c_str(), &found));
    if (!find)
        return names;
    do {
        if (std::wcscmp(found.cFileName, L".") != 0 && std::wcscmp(found.cFileName, L"..") != 0)
            names.push_back(found.cFileName);
    } while (::FindNextFileW(find.Get(), &found));
    std::sort(names.begin(), names.end());
    return names;
}

// Opens path as a program that reads and writes it but does not let it be
// deleted or renamed while it works, as an antivirus scanner may. Replacing
// the file fails then, with error 5, on Windows and under Wine alike (the
// read-only attribute would not do: it stops no process running as root).
Tavrin::Platform::UniqueHandle HoldWithoutDeleteSharing(const std::wstring& path)
{
    return Tavrin::Platform::UniqueHandle(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

} // namespace

TEST(SavedFileLayout, EmptyInventoryIsHeaderListPreambleCountAndElementVersion)
{
    TempFolder folder;
    ASSERT_TRUE(SaveInstalledApps({}, folder.File(L"applications.saved")));
    EXPECT_EQ(ReadFileBytes(folder.File(L"applications.saved")), kHeader + " 0 0 0 0\n");
}

TEST(SavedFileLayout, OneApplicationIsWrittenByteForByte)
{
    TempFolder folder;
    ASSERT_TRUE(SaveInstalledApps({App(L"Zed", L"Zed Editor")}, folder.File(L"a.saved")));
    EXPECT_EQ(ReadFileBytes(folder.File(L"a.saved")), kHeader + " 0 0 1 0 0 0 2147483650 " +
                                                          Text(kMachinePath) + " " + Text(L"Zed") + " " +
                                                          Text(L"Zed Editor") + "\n");
}

TEST(SavedFileLayout, OnlyTheFirstElementCarriesTheRecordPreamble)
{
    TempFolder folder;
    ASSERT_TRUE(SaveInstalledApps(TwoApps(), folder.File(L"a.saved")));
    EXPECT_EQ(ReadFileBytes(folder.File(L"a.saved")), TwoAppsBytes());
}

TEST(SavedFileLayout, StringsAreRawUtf16EvenWithLineFeedsZerosAndNonAscii)
{
    TempFolder folder;
    const std::wstring tricky = std::wstring(L"A\nB ") + L'\0' + L"\u00C4\u20AC\U0001F600";
    ASSERT_TRUE(SaveInstalledApps({App(tricky, L"")}, folder.File(L"a.saved")));
    const std::string bytes = ReadFileBytes(folder.File(L"a.saved"));
    // U+000A is its two raw bytes; an empty string shows as "0" and two blanks.
    EXPECT_NE(bytes.find(std::string("A\0\n\0B\0 \0\0\0", 10)), std::string::npos);
    EXPECT_EQ(bytes,
              kHeader + " 0 0 1 0 0 0 2147483650 " + Text(kMachinePath) + " " + Text(tricky) + " 0 \n");
    EXPECT_EQ(tricky.size(), 9u); // the emoji is two code units, counted as such
    const auto loaded = LoadInstalledApps(folder.File(L"a.saved"));
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded.front(), App(tricky, L""));
}

TEST(SavedFileLayout, EmptyStringsInsideARecordLeaveTwoBlanks)
{
    TempFolder folder;
    Drivers drivers;
    drivers.current = {{L"", L"", L"{4d36e968-e325-11ce-bfc1-08002be10318}"}};
    ASSERT_TRUE(drivers.SaveDrivers(folder.File(L"d.saved")));
    EXPECT_EQ(ReadFileBytes(folder.File(L"d.saved")),
              kHeader + " 0 0 1 0 0 0 0  0  " + Text(L"{4d36e968-e325-11ce-bfc1-08002be10318}") + "\n");
}

TEST(SavedFileLayout, ExtensionsHoldFourStringsPerEntry)
{
    TempFolder folder;
    Extensions extensions;
    extensions.current = {{L".MP3", L"VLC.mp3", L"h4sh=", L"\"C:\\vlc.exe\" \"%1\""},
                          {L".RA ", L"P", L"", L"c"}};
    ASSERT_TRUE(extensions.SaveAssociations(folder.File(L"e.saved")));
    EXPECT_EQ(ReadFileBytes(folder.File(L"e.saved")),
              kHeader + " 0 0 2 0 0 0 " + Text(L".MP3") + " " + Text(L"VLC.mp3") + " " + Text(L"h4sh=") +
                  " " + Text(L"\"C:\\vlc.exe\" \"%1\"") + " " + Text(L".RA ") + " " + Text(L"P") + " 0  " +
                  Text(L"c") + "\n");
    const auto loaded = Extensions::LoadAssociations(folder.File(L"e.saved"));
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded.back().extension, L".RA ");
    EXPECT_EQ(loaded.back().hash, L"");
    EXPECT_EQ(loaded.front().openCommand, L"\"C:\\vlc.exe\" \"%1\"");
}

TEST(SavedFileLayout, ResultsFileHoldsNineNumbersAndEndsInCarriageReturnLineFeed)
{
    TempFolder folder;
    WindowsUpdate::COMPATIBILITY_RESULT result;
    result.windowsVersion = Tavrin::Core::WindowsVersionCode::Windows81;
    result.totalMemory = 8589934592ull;
    result.systemDriveFree = 53687091200ull;
    result.systemDriveSize = 255999127552ull;
    result.directXVersion = 12;
    result.screenWidth = 1920;
    result.screenHeight = 1080;
    result.processorSpeed = -5; // signed numbers keep their sign
    result.is64Bit = 1;
    result.memoryOk = true; // flags and inventories are not saved
    result.installedApps = TwoApps();
    ASSERT_TRUE(WindowsUpdate::SaveCompatibilityResult(result, folder.File(L"r.saved")));
    EXPECT_EQ(ReadFileBytes(folder.File(L"r.saved")),
              kHeader + " 0 0 2 8589934592 53687091200 255999127552 12 1920 1080 -5 1\r\n");
}

TEST(SavedFileLayout, FixedNamesLandInTheCurrentFolder)
{
    TempFolder folder;
    wchar_t previous[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryW(folder.Path().c_str()));
    WindowsUpdate::COMPATIBILITY_RESULT result;
    result.installedApps = TwoApps();
    result.drivers.current = {{L"Disk", L"GenDisk", L"{g}"}};
    result.extensions.current = {{L".PDF", L"Acro", L"", L"acro %1"}};
    bool saved = SaveInstalledApps(result.installedApps) && result.drivers.SaveDrivers() &&
                 result.extensions.SaveAssociations() && WindowsUpdate::SaveCompatibilityResult(result);
    auto apps = LoadInstalledApps();
    auto drivers = Drivers::LoadDrivers();
    auto extensions = Extensions::LoadAssociations();
    ::SetCurrentDirectoryW(previous);
    ASSERT_TRUE(saved);
    EXPECT_EQ(ReadFileBytes(folder.File(L"applications.saved")), TwoAppsBytes());
    EXPECT_EQ(ReadFileBytes(folder.File(L"drivers.saved")),
              kHeader + " 0 0 1 0 0 0 " + Text(L"Disk") + " " + Text(L"GenDisk") + " " + Text(L"{g}") + "\n");
    EXPECT_EQ(ReadFileBytes(folder.File(L"extensions.saved")).substr(0, 28), kHeader);
    EXPECT_EQ(ReadFileBytes(folder.File(L"results.saved")).substr(0, 28), kHeader);
    EXPECT_EQ(apps, TwoApps());
    ASSERT_EQ(drivers.size(), 1u);
    EXPECT_EQ(drivers.front().hardwareId, L"GenDisk");
    ASSERT_EQ(extensions.size(), 1u);
    EXPECT_EQ(extensions.front().openCommand, L"acro %1");
}

TEST(SavedFileLayout, ApplicationsRoundTripInOrderWithDuplicates)
{
    TempFolder folder;
    std::list<InstalledApp> apps;
    for (int i = 0; i < 500; ++i)
        apps.push_back(
            App(L"Key" + std::to_wstring(i % 7), L"Name \u00E9 " + std::to_wstring(i), kUsersRoot));
    ASSERT_TRUE(SaveInstalledApps(apps, folder.File(L"a.saved")));
    EXPECT_EQ(LoadInstalledApps(folder.File(L"a.saved")), apps);
}

TEST(SavedFileLayout, WritingTruncatesAnOlderLongerFile)
{
    TempFolder folder;
    ASSERT_TRUE(SaveInstalledApps(TwoApps(), folder.File(L"a.saved")));
    ASSERT_TRUE(SaveInstalledApps({}, folder.File(L"a.saved")));
    EXPECT_EQ(ReadFileBytes(folder.File(L"a.saved")), kHeader + " 0 0 0 0\n");
}

TEST(SavedFileLayout, AFileThatCannotBeCreatedIsReportedAsNotSaved)
{
    TempFolder folder;
    EXPECT_FALSE(SaveInstalledApps(TwoApps(), folder.File(L"no such folder\\a.saved")));
}

TEST(SavedFileLayout, TheReaderAcceptsTheLayoutOfOlderLibraryVersionsWithElementVersions)
{
    TempFolder folder;
    std::string bytes = TwoAppsBytes();
    bytes.replace(26, 2, "10");
    ASSERT_TRUE(WriteFileBytes(folder.File(L"a.saved"), bytes));
    EXPECT_EQ(LoadInstalledApps(folder.File(L"a.saved")), TwoApps());
}

TEST(DamagedSavedFile, MissingFileIsAnEmptyListAndNothingRecorded)
{
    TempFolder folder;
    SavedFile::ReadState states[3] = {};
    EXPECT_TRUE(LoadInstalledApps(folder.File(L"absent.saved"), &states[0]).empty());
    EXPECT_TRUE(Drivers::LoadDrivers(folder.File(L"absent.saved"), &states[1]).empty());
    EXPECT_TRUE(Extensions::LoadAssociations(folder.File(L"absent.saved"), &states[2]).empty());
    for (SavedFile::ReadState state : states)
        EXPECT_EQ(state, SavedFile::ReadState::Missing);
    EXPECT_TRUE(LoadInstalledApps(folder.File(L"no such folder\\a.saved"), &states[0]).empty());
    EXPECT_EQ(states[0], SavedFile::ReadState::Missing);
}

TEST(DamagedSavedFile, EveryTruncationIsAnEmptyListReportedUnreadable)
{
    TempFolder folder;
    const std::string whole = TwoAppsBytes();
    SavedFile::ReadState state = SavedFile::ReadState::Read;
    // Every cut, including those inside a string's raw bytes, where the
    // archive itself would only set the stream's fail bit, and the empty
    // file a crash leaves.
    for (std::size_t length = 0; length + 1 < whole.size(); ++length) {
        ASSERT_TRUE(WriteFileBytes(folder.File(L"a.saved"), whole.substr(0, length)));
        EXPECT_TRUE(LoadInstalledApps(folder.File(L"a.saved"), &state).empty()) << "cut at " << length;
        EXPECT_EQ(state, SavedFile::ReadState::Unreadable) << "cut at " << length;
    }
    // Only the closing line end missing: every token is still there.
    ASSERT_TRUE(WriteFileBytes(folder.File(L"a.saved"), whole.substr(0, whole.size() - 1)));
    EXPECT_EQ(LoadInstalledApps(folder.File(L"a.saved"), &state), TwoApps());
    EXPECT_EQ(state, SavedFile::ReadState::Read);
}

TEST(DamagedSavedFile, AFileThatCannotBeOpenedIsUnreadableNotMissing)
{
    TempFolder folder;
    ASSERT_TRUE(SaveInstalledApps(TwoApps(), folder.File(L"a.saved")));
    // Held by another program that shares nothing.
    Tavrin::Platform::UniqueHandle held(::CreateFileW(folder.File(L"a.saved").c_str(), GENERIC_READ, 0,
                                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                                      nullptr));
    ASSERT_TRUE(held);
    SavedFile::ReadState state = SavedFile::ReadState::Read;
    EXPECT_TRUE(LoadInstalledApps(folder.File(L"a.saved"), &state).empty());
    EXPECT_EQ(state, SavedFile::ReadState::Unreadable);
}

TEST(DamagedSavedFile, AnotherSignatureIsAnEmptyList)
{
    TempFolder folder;
    for (const char* header : {"22 serialization::archivE 13", "21 serialization::archiv 13",
                               "23 serialization::archive  13", "xx serialization::archive 13"}) {
        std::string bytes = TwoAppsBytes();
        bytes.replace(0, kHeader.size(), header);
        ASSERT_TRUE(WriteFileBytes(folder.File(L"a.saved"), bytes));
        EXPECT_TRUE(LoadInstalledApps(folder.File(L"a.saved")).empty()) << header;
    }
}

TEST(DamagedSavedFile, AHigherOrUnknownLibraryVersionIsAnEmptyList)
{
    TempFolder folder;
    for (const char* version : {"14", "18", "19", "99999999999999999999999", "3", "0", "-1"}) {
        std::string bytes = TwoAppsBytes();
        bytes.replace(26, 2, version);
        ASSERT_TRUE(WriteFileBytes(folder.File(L"a.saved"), bytes));
        EXPECT_TRUE(LoadInstalledApps(folder.File(L"a.saved")).empty()) << version;
    }
}

TEST(DamagedSavedFile, ListCountsBeyondTheFileAreAnEmptyListWithoutReservingMemory)
{
    TempFolder folder;
    const SIZE_T before = PeakCommit();
    for (const char* count : {"3", "100000000", "4000000000", "18446744073709551615", "18446744073709551616",
                              "99999999999999999999999999", "-1"}) {
        std::string bytes = TwoAppsBytes();
        bytes.replace(33, 1, count); // the "2" after the list preamble
        ASSERT_TRUE(WriteFileBytes(folder.File(L"a.saved"), bytes));
        EXPECT_TRUE(LoadInstalledApps(folder.File(L"a.saved")).empty()) << count;
    }
    EXPECT_LT(PeakCommit() - before, SIZE_T{64} << 20);
}

TEST(DamagedSavedFile, StringCountsBeyondTheFileAreAnEmptyListWithoutReservingMemory)
{
    TempFolder folder;
    const SIZE_T before = PeakCommit();
    const std::string start = kHeader + " 0 0 1 0 0 0 2147483650 ";
    for (const char* count :
         {"53", "1000000000", "2147483648", "9223372036854775807", "18446744073709551615"}) {
        std::string bytes =
            start + count + " " + Raw(kMachinePath) + " 1 " + Raw(L"K") + " 1 " + Raw(L"N") + "\n";
        ASSERT_TRUE(WriteFileBytes(folder.File(L"a.saved"), bytes));
        EXPECT_TRUE(LoadInstalledApps(folder.File(L"a.saved")).empty()) << count;
    }
    EXPECT_LT(PeakCommit() - before, SIZE_T{64} << 20);
}

TEST(DamagedSavedFile, GarbageIsAnEmptyList)
{
    TempFolder folder;
    std::mt19937 random(20240611);
    std::vector<std::string> samples = {"",
                                        "\n",
                                        "hello world",
                                        std::string(4096, '\0'),
                                        kHeader + " 0 0 1 0 0 0 x",
                                        kHeader + " 0 0 1 0 0 0 2147483650 3 abcdef 1 K_ 1 N_\n trailing",
                                        kHeader + " 1 7 1 0 0 0 2147483650 " + Text(L"p") + " 1 K_ 1 N_\n",
                                        kHeader + " 0 0 1 0 0 0 4294967296 " + Text(L"p") + " 1 K_ 1 N_\n"};
    for (int i = 0; i < 200; ++i) {
        std::string noise(random() % 600, '\0');
        for (char& c : noise)
            c = static_cast<char>(random());
        samples.push_back(noise);
        // The right header followed by noise, and a good file with bytes flipped.
        samples.push_back(kHeader + " " + noise);
        std::string flipped = TwoAppsBytes();
        flipped[30 + random() % (flipped.size() - 30)] = static_cast<char>(random());
        if (flipped != TwoAppsBytes())
            samples.push_back(flipped);
    }
    for (const std::string& sample : samples) {
        ASSERT_TRUE(WriteFileBytes(folder.File(L"a.saved"), sample));
        // A flipped byte inside a string's data still reads; what matters is
        // that nothing crashes and a list read is always a whole one.
        const auto apps = LoadInstalledApps(folder.File(L"a.saved"));
        EXPECT_TRUE(apps.empty() || apps.size() == 2u);
        EXPECT_TRUE(Drivers::LoadDrivers(folder.File(L"a.saved")).size() <= 2u);
        EXPECT_TRUE(Extensions::LoadAssociations(folder.File(L"a.saved")).size() <= 2u);
    }
    // The samples that are plainly not a saved list give nothing.
    for (std::size_t i = 0; i < 8; ++i) {
        ASSERT_TRUE(WriteFileBytes(folder.File(L"a.saved"), samples[i]));
        EXPECT_TRUE(LoadInstalledApps(folder.File(L"a.saved")).empty()) << i;
    }
}

TEST(DamagedSavedFile, AFileOfAnotherRecordTypeIsAnEmptyList)
{
    TempFolder folder;
    // Applications start with a number; the other lists start with a string.
    ASSERT_TRUE(SaveInstalledApps(TwoApps(), folder.File(L"a.saved")));
    EXPECT_TRUE(Extensions::LoadAssociations(folder.File(L"a.saved")).empty());
    Extensions extensions;
    extensions.current = {{L".MP3", L"VLC.mp3", L"", L"vlc"}};
    ASSERT_TRUE(extensions.SaveAssociations(folder.File(L"e.saved")));
    EXPECT_TRUE(LoadInstalledApps(folder.File(L"e.saved")).empty());
    EXPECT_TRUE(Drivers::LoadDrivers(folder.File(L"e.saved")).empty());
}

TEST(SavedFileReplace, EverySaveReplacesTheWholeFileAndLeavesNothingBeside)
{
    for (const Saver& saver : kSavers) {
        TempFolder folder;
        ASSERT_TRUE(WriteFileBytes(folder.File(L"x.saved"), std::string(5000, 'o')));
        EXPECT_TRUE(saver.save(folder.File(L"x.saved"))) << saver.name;
        const std::string bytes = ReadFileBytes(folder.File(L"x.saved"));
        EXPECT_EQ(bytes.substr(0, kHeader.size()), kHeader) << saver.name;
        EXPECT_LT(bytes.size(), 5000u) << saver.name;
        EXPECT_EQ(FilesIn(folder), std::vector<std::wstring>{L"x.saved"}) << saver.name;
    }
}

TEST(SavedFileReplace, AFileThatCannotBeReplacedIsNotSavedAndKeepsItsBytes)
{
    for (const Saver& saver : kSavers) {
        TempFolder folder;
        ASSERT_TRUE(WriteFileBytes(folder.File(L"x.saved"), "the record from before"));
        {
            auto held = HoldWithoutDeleteSharing(folder.File(L"x.saved"));
            ASSERT_TRUE(held);
            EXPECT_FALSE(saver.save(folder.File(L"x.saved"))) << saver.name;
        }
        EXPECT_EQ(ReadFileBytes(folder.File(L"x.saved")), "the record from before") << saver.name;
        // The new file written beside it is gone again.
        EXPECT_EQ(FilesIn(folder), std::vector<std::wstring>{L"x.saved"}) << saver.name;
    }
}

TEST(SavedFileReplace, TheReplaceOfAHeldFileFailsWithAccessDenied)
{
    TempFolder folder;
    ASSERT_TRUE(WriteFileBytes(folder.File(L"x.saved"), "old"));
    auto held = HoldWithoutDeleteSharing(folder.File(L"x.saved"));
    ASSERT_TRUE(held);
    EXPECT_EQ(SavedFile::ReplaceWholeFile(folder.File(L"x.saved"), "new"),
              static_cast<unsigned long>(ERROR_ACCESS_DENIED));
    held.Reset();
    EXPECT_EQ(ReadFileBytes(folder.File(L"x.saved")), "old");
    EXPECT_EQ(SavedFile::ReplaceWholeFile(folder.File(L"x.saved"), "new"), 0ul);
    EXPECT_EQ(ReadFileBytes(folder.File(L"x.saved")), "new");
}
