#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/settings/ChangeJournal.h"
#include "core/settings/JournalLock.h"
#include "core/settings/RegistryProperty.h"
#include "platform/FileSecurity.h"
#include "tests/core/SettingsTestSupport.h"
#include "tests/support/ProgramTestSupport.h"
#include "tests/support/TestSupport.h"

// The journal shared by every copy of the program: another process changing
// settings or holding the journal, a journal changed under a read, damaged
// journals set aside, and the undo's flushes.

using namespace Tavrin::Test;
using Tavrin::Core::Journal;
using Tavrin::Core::NumberProperty;

namespace {

const std::wstring kKey = L"SOFTWARE\\TavrinTests\\Journal";
const std::wstring kJournal = Tavrin::Core::kJournalKey;
// The values helpers/journal_copy changes.
const wchar_t* const kNames[] = {L"First", L"Second", L"Third"};

StoredValue Stored(const std::wstring& name)
{
    return ReadStored(HKEY_LOCAL_MACHINE, kKey, name);
}

// The value journalled by a change from `before`.
void Journalled(const wchar_t* name, DWORD before)
{
    WriteDword(HKEY_LOCAL_MACHINE, kKey, name, before);
    NumberProperty(HKEY_LOCAL_MACHINE, kKey, name).SetValue(before + 1);
}

std::wstring EntryName(const wchar_t* name)
{
    Tavrin::Core::JournalEntry entry;
    entry.place = NumberProperty(HKEY_LOCAL_MACHINE, kKey, name).Place();
    return entry.Name();
}

class JournalSharing : public ::testing::Test {
protected:
    void SetUp() override { DeleteTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TavrinTests", KEY_WOW64_64KEY); }
    void TearDown() override
    {
        Tavrin::Core::SetJournalReadHook({});
        Tavrin::Core::SetRestoreFlush({});
        Tavrin::Core::SetJournalLockWait(defaultWait);
        DeleteTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TavrinTests", KEY_WOW64_64KEY);
    }

    ClearedJournal clearedJournal;
    const DWORD defaultWait = Tavrin::Core::JournalLockWait();
};

} // namespace

TEST_F(JournalSharing, UndoAndReadsBesideAnotherCopysChangesLoseNothing)
{
    WriteDword(HKEY_LOCAL_MACHINE, kKey, kNames[1], 1000); // the first value is absent
    WriteDword(HKEY_LOCAL_MACHINE, kKey, kNames[2], 2000);
    RunningProgram changes(L"changes \"" + kKey + L"\" 150", BinFolder() + L"\\journal_copy.exe");
    ASSERT_TRUE(changes.Started());
    int undos = 0;
    for (DWORD start = ::GetTickCount(); changes.ExitCode() == STILL_ACTIVE; ++undos) {
        ASSERT_LT(::GetTickCount() - start, 120000u) << "the other copy never finished";
        const Journal::State state = Tavrin::Core::ReadJournal().state;
        ASSERT_TRUE(state == Journal::State::Empty || state == Journal::State::Holding)
            << static_cast<int>(state);
        ASSERT_TRUE(Tavrin::Core::UndoAllChanges().Succeeded());
    }
    EXPECT_EQ(changes.ExitCode(), 0u) << "every change of the other copy went through";
    EXPECT_GT(undos, 1);
    // Whatever the other copy changed after an undo, the journal knows.
    EXPECT_TRUE(Tavrin::Core::UndoAllChanges().Succeeded());
    EXPECT_FALSE(Stored(kNames[0]).present);
    EXPECT_TRUE(Stored(kNames[1]).IsDword(1000));
    EXPECT_TRUE(Stored(kNames[2]).IsDword(2000));
    EXPECT_FALSE(Tavrin::Core::TakeJournalProblem());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, Tavrin::Core::kDamagedJournalKey));
}

TEST_F(JournalSharing, AJournalHeldByAnotherCopyIsWaitedForThenRefused)
{
    Journalled(kNames[0], 1);
    Tavrin::Core::SetJournalLockWait(300);
    {
        JournalHeldElsewhere other;
        ASSERT_TRUE(other.Held());
        EXPECT_EQ(NumberProperty(HKEY_LOCAL_MACHINE, kKey, kNames[0]).SetValue(3), ERROR_TIMEOUT);
        EXPECT_EQ(Tavrin::Core::ReadJournal().state, Journal::State::Busy);
        int told = 0;
        const auto undone = Tavrin::Core::UndoAllChanges([&] { ++told; });
        EXPECT_TRUE(undone.journalBusy);
        EXPECT_EQ(told, 1);
        EXPECT_TRUE(Stored(kNames[0]).IsDword(2)) << "nothing changed or undone";
    }
    EXPECT_TRUE(Tavrin::Core::UndoAllChanges().Succeeded());
    EXPECT_TRUE(Stored(kNames[0]).IsDword(1));
}

// --- A journal changed under a read ----------------------------------------------------

struct Race {
    const char* name;
    DWORD atIndex; // the read about to read this entry meets the change
    // Makes the journal the read starts with; gives back the change.
    std::function<std::function<void()>()> prepare;
    std::vector<std::wstring> expected; // the values the read finds journalled
};

class JournalReadRace : public JournalSharing, public ::testing::WithParamInterface<Race> {};

TEST_P(JournalReadRace, ReadsAgainAndFindsNoDamage)
{
    const std::function<void()> change = GetParam().prepare();
    bool changed = false;
    Tavrin::Core::SetJournalReadHook([&](DWORD index) {
        if (index == GetParam().atIndex && !std::exchange(changed, true))
            change();
    });
    const Journal journal = Tavrin::Core::ReadJournal();
    EXPECT_TRUE(changed) << "the read met the change";
    ASSERT_EQ(journal.state, Journal::State::Holding);
    std::vector<std::wstring> found; // in any order: Windows keeps the order values were made in
    for (const auto& entry : journal.entries)
        found.push_back(entry.place.valueName);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, GetParam().expected);
    EXPECT_FALSE(Tavrin::Core::TakeJournalProblem());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, Tavrin::Core::kDamagedJournalKey));
}

namespace {

// The change that puts a value's entry, as journalled now, back later.
std::function<void()> PutBackLater(const wchar_t* name)
{
    const StoredValue bytes = ReadStored(HKEY_LOCAL_MACHINE, kJournal, EntryName(name));
    ClearedJournal::Clear();
    return [=] {
        WriteStored(HKEY_LOCAL_MACHINE, kJournal, EntryName(name), bytes.type, bytes.data.data(),
                    static_cast<DWORD>(bytes.data.size()));
    };
}

} // namespace

INSTANTIATE_TEST_SUITE_P(Journal, JournalReadRace,
                         ::testing::Values(
                             // Undone and made again by another copy, from a longer value.
                             Race{"EntryMadeLonger",
                                  0,
                                  [] {
                                      WriteString(HKEY_LOCAL_MACHINE, kKey, kNames[0],
                                                  std::wstring(300, L'x'));
                                      NumberProperty(HKEY_LOCAL_MACHINE, kKey, kNames[0]).SetValue(7);
                                      auto change = PutBackLater(kNames[0]);
                                      Journalled(kNames[0], 1);
                                      return change;
                                  },
                                  {kNames[0]}},
                             Race{"EntryRemoved",
                                  1,
                                  [] {
                                      Journalled(kNames[0], 1);
                                      Journalled(kNames[1], 1);
                                      return [] {
                                          DeleteStored(HKEY_LOCAL_MACHINE, kJournal, EntryName(kNames[1]));
                                      };
                                  },
                                  {kNames[0]}},
                             Race{"EntryAdded",
                                  0,
                                  [] {
                                      Journalled(kNames[1], 1);
                                      auto change = PutBackLater(kNames[1]);
                                      Journalled(kNames[0], 1);
                                      return change;
                                  },
                                  {kNames[0], kNames[1]}}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Damaged journals set aside ---------------------------------------------------------

namespace {

// One entry that does not parse, under a name of its own.
void DamageJournal(const std::wstring& key, const std::wstring& marker)
{
    WriteString(HKEY_LOCAL_MACHINE, key, L"HKLM|64|4|SOFT|" + marker, L"not an entry");
}

bool HoldsDamage(const std::wstring& key, const std::wstring& marker)
{
    return ReadStored(HKEY_LOCAL_MACHINE, key, L"HKLM|64|4|SOFT|" + marker).IsString(L"not an entry");
}

} // namespace

TEST_F(JournalSharing, EachDamagedJournalIsKeptBesideTheEarlierOnes)
{
    EXPECT_EQ(Tavrin::Core::DamagedJournalKey(1), Tavrin::Core::kDamagedJournalKey);
    EXPECT_EQ(Tavrin::Core::DamagedJournalKey(2), L"Software\\Tavrin\\Journal (damaged 2)");
    for (unsigned number = 1; number <= 3; ++number) {
        DamageJournal(kJournal, std::to_wstring(number));
        EXPECT_EQ(Tavrin::Core::ReadJournal().state, Journal::State::Damaged);
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kJournal)) << number;
        for (unsigned earlier = 1; earlier <= number; ++earlier)
            EXPECT_TRUE(HoldsDamage(Tavrin::Core::DamagedJournalKey(earlier), std::to_wstring(earlier)))
                << earlier;
    }
}

namespace {

// What keeps a damaged journal from being copied whole.
struct CopyFailure {
    const char* name;
    std::function<void()> prepare, cleanUp;
};

// A key in the journal that nobody may read; its owner may still give it
// its access list back.
void SetLockedKeyAccess(const wchar_t* sddl)
{
    Tavrin::Platform::LocalMemory descriptor = Tavrin::Platform::SecurityDescriptorFromSddl(sddl);
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, (kJournal + L"\\Locked").c_str(), 0, WRITE_DAC | KEY_WOW64_64KEY,
                        &key) == ERROR_SUCCESS) {
        ::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor.Get());
        ::RegCloseKey(key);
    }
}

} // namespace

class DamagedJournalCopyFails : public JournalSharing, public ::testing::WithParamInterface<CopyFailure> {};

TEST_P(DamagedJournalCopyFails, TheJournalStaysAndEveryEarlierCopyToo)
{
    for (unsigned number = 1; number <= 3; ++number)
        DamageJournal(Tavrin::Core::DamagedJournalKey(number), L"Earlier");
    DamageJournal(kJournal, L"Now");
    GetParam().prepare();
    EXPECT_EQ(Tavrin::Core::ReadJournal().state, Journal::State::Damaged);
    EXPECT_TRUE(HoldsDamage(kJournal, L"Now")) << "the journal stays while no copy of it is whole";
    for (unsigned number = 1; number <= 3; ++number)
        EXPECT_TRUE(HoldsDamage(Tavrin::Core::DamagedJournalKey(number), L"Earlier")) << number;
    GetParam().cleanUp();
}

INSTANTIATE_TEST_SUITE_P(
    Journal, DamagedJournalCopyFails,
    ::testing::Values(CopyFailure{"NoNameLeft",
                                  [] {
                                      for (unsigned n = 4; n <= Tavrin::Core::kDamagedJournalCopies; ++n)
                                          DamageJournal(Tavrin::Core::DamagedJournalKey(n), L"Earlier");
                                  },
                                  [] {}},
                      CopyFailure{"UnreadableKeyInIt",
                                  [] {
                                      WriteDword(HKEY_LOCAL_MACHINE, kJournal + L"\\Locked", L"Value", 1);
                                      SetLockedKeyAccess(L"D:P");
                                  },
                                  [] { SetLockedKeyAccess(L"D:P(A;;KA;;;BA)(A;;KA;;;SY)"); }}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Undo on disk first ---------------------------------------------------------------------

class UndoFlush : public JournalSharing, public ::testing::WithParamInterface<LSTATUS> {};

// Wine keeps every key on disk at once and its flush does nothing: the flush
// here answers as Windows' does, and sees what is still journalled.
TEST_P(UndoFlush, EachRestoredKeyIsFlushedWhileItsEntryIsStillJournalled)
{
    Journalled(kNames[0], 1);
    Journalled(kNames[1], 1);
    std::vector<size_t> journalledAtFlush;
    Tavrin::Core::SetRestoreFlush([&](HKEY) {
        journalledAtFlush.push_back(Tavrin::Core::ReadJournal().entries.size());
        return GetParam();
    });
    const auto undone = Tavrin::Core::UndoAllChanges();
    EXPECT_EQ(journalledAtFlush, std::vector<size_t>({2u, 2u}));
    const bool flushed = GetParam() == ERROR_SUCCESS;
    EXPECT_EQ(undone.restored, flushed ? 2u : 0u);
    EXPECT_EQ(undone.failed, flushed ? 0u : 2u);
    // A value not known to be on disk stays journalled for the next undo.
    EXPECT_EQ(Tavrin::Core::ReadJournal().entries.size(), flushed ? 0u : 2u);
}

INSTANTIATE_TEST_SUITE_P(Journal, UndoFlush, ::testing::Values(ERROR_SUCCESS, ERROR_WRITE_FAULT),
                         [](const auto& info) {
                             return info.param == ERROR_SUCCESS ? "Flushed" : "FlushFails";
                         });

// --- The lock's folder ------------------------------------------------------------------------

// Every user may put a file or folder in the program-data folder: what stands
// at the lock folder's name is moved aside, unentered, and a folder of the
// program's own made.
TEST_F(JournalSharing, WhatAUserPutAtTheLockFoldersNameIsMovedAside)
{
    wchar_t programData[MAX_PATH] = {};
    ASSERT_TRUE(::GetEnvironmentVariableW(L"ProgramData", programData, MAX_PATH));
    const std::wstring lockFolder = std::wstring(programData) + L"\\Tavrin";
    // The one an earlier case made goes first.
    ::DeleteFileW((lockFolder + L"\\Journal.lock").c_str());
    ::RemoveDirectoryW(lockFolder.c_str());
    ASSERT_TRUE(WriteFileBytes(lockFolder, "a user's file"));
    Journalled(kNames[0], 1);
    EXPECT_TRUE(Stored(kNames[0]).IsDword(2)) << "the change was made under the lock";
    const DWORD attributes = ::GetFileAttributesW(lockFolder.c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
    WIN32_FIND_DATAW found = {};
    Tavrin::Platform::UniqueFindHandle aside(::FindFirstFileW((lockFolder + L".old-*").c_str(), &found));
    ASSERT_TRUE(aside);
    const std::wstring asidePath = std::wstring(programData) + L"\\" + found.cFileName;
    aside.Reset();
    EXPECT_EQ(ReadFileBytes(asidePath), "a user's file");
    ::DeleteFileW(asidePath.c_str());
}
