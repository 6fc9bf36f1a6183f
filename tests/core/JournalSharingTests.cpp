#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "core/settings/ChangeJournal.h"
#include "core/settings/JournalLock.h"
#include "core/settings/RegistryProperty.h"
#include "core/settings/RestorePoint.h"
#include "platform/FileSecurity.h"
#include "tests/core/SettingsTestSupport.h"
#include "tests/support/ProgramTestSupport.h"
#include "tests/support/TestSupport.h"

// The journal shared by every copy of the program: another process changing
// settings or holding the journal, a journal changed under a read, and
// damaged journals set aside.

using namespace Tavrin::Test;
using Tavrin::Core::Journal;
using Tavrin::Core::NumberProperty;
using Tavrin::Core::StoredState;

namespace {

const std::wstring kKey = L"SOFTWARE\\TavrinTests\\Journal";
// The values helpers/journal_copy changes.
const wchar_t* const kNames[] = {L"First", L"Second", L"Third"};

StoredValue Stored(const std::wstring& name)
{
    return ReadStored(HKEY_LOCAL_MACHINE, kKey, name);
}

// The journal entry of a value of kKey as stored, made by a change of the
// value from `before`.
StoredValue EntryBytes(const wchar_t* name, const std::function<void()>& before)
{
    before();
    NumberProperty(HKEY_LOCAL_MACHINE, kKey, name).SetValue(77);
    const Journal journal = Tavrin::Core::ReadJournal();
    return journal.entries.empty()
               ? StoredValue{}
               : ReadStored(HKEY_LOCAL_MACHINE, Tavrin::Core::kJournalKey, journal.entries.front().Name());
}

std::wstring EntryName(const wchar_t* name)
{
    Tavrin::Core::JournalEntry entry;
    entry.place = NumberProperty(HKEY_LOCAL_MACHINE, kKey, name).Place();
    return entry.Name();
}

class JournalSharing : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TavrinTests", KEY_WOW64_64KEY);
        Tavrin::Core::RunRestorePoint::Instance().SetCall({});
    }
    void TearDown() override
    {
        Tavrin::Core::SetJournalReadHook({});
        Tavrin::Core::SetRestoreFlush({});
        Tavrin::Core::SetJournalLockWait(defaultWait);
        DeleteTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TavrinTests", KEY_WOW64_64KEY);
        Tavrin::Core::RunRestorePoint::Instance().UseSystemCall();
    }

    ClearedJournal clearedJournal;
    const DWORD defaultWait = Tavrin::Core::JournalLockWait();
};

} // namespace

// --- Two processes --------------------------------------------------------------------

TEST_F(JournalSharing, UndoAndReadsBesideAnotherCopysChangesLoseNothing)
{
    // One value absent, two with values of their own.
    WriteDword(HKEY_LOCAL_MACHINE, kKey, kNames[1], 1000);
    WriteDword(HKEY_LOCAL_MACHINE, kKey, kNames[2], 2000);
    RunningProgram changes(L"changes \"" + kKey + L"\" 150", BinFolder() + L"\\journal_copy.exe");
    ASSERT_TRUE(changes.Started());

    int undos = 0;
    for (DWORD start = ::GetTickCount(); changes.ExitCode() == STILL_ACTIVE;) {
        ASSERT_LT(::GetTickCount() - start, 120000u) << "the other copy never finished";
        const Journal journal = Tavrin::Core::ReadJournal();
        ASSERT_TRUE(journal.state == Journal::State::Empty || journal.state == Journal::State::Holding)
            << static_cast<int>(journal.state);
        const auto undone = Tavrin::Core::UndoAllChanges();
        ASSERT_TRUE(undone.Succeeded()) << undone.failed << " failed, problem " << undone.journalProblem
                                        << ", busy " << undone.journalBusy;
        ++undos;
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
    WriteDword(HKEY_LOCAL_MACHINE, kKey, kNames[0], 1);
    NumberProperty property(HKEY_LOCAL_MACHINE, kKey, kNames[0]);
    ASSERT_EQ(property.SetValue(2), ERROR_SUCCESS);
    Tavrin::Core::SetJournalLockWait(300);
    {
        JournalHeldElsewhere other;
        ASSERT_TRUE(other.Held());
        EXPECT_EQ(property.SetValue(3), ERROR_TIMEOUT);
        EXPECT_TRUE(Stored(kNames[0]).IsDword(2)) << "not changed without its entry";
        EXPECT_EQ(Tavrin::Core::ReadJournal().state, Journal::State::Busy);
        int told = 0;
        const auto undone = Tavrin::Core::UndoAllChanges([&] { ++told; });
        EXPECT_TRUE(undone.journalBusy);
        EXPECT_FALSE(undone.Succeeded());
        EXPECT_EQ(told, 1);
        EXPECT_TRUE(Stored(kNames[0]).IsDword(2));
    }
    EXPECT_TRUE(Tavrin::Core::UndoAllChanges().Succeeded());
    EXPECT_TRUE(Stored(kNames[0]).IsDword(1));
}

// --- A journal changed under a read ----------------------------------------------------

struct Race {
    const char* name;
    DWORD atIndex; // the read about to read this entry meets the change
    // Makes the journal the read starts with and gives back the change.
    std::function<std::function<void()>()> prepare;
    std::vector<const wchar_t*> expected; // the values the read finds journalled
};

class JournalReadRace : public JournalSharing, public ::testing::WithParamInterface<Race> {};

TEST_P(JournalReadRace, ReadsAgainAndFindsNoDamage)
{
    const std::function<void()> change = GetParam().prepare();
    bool changed = false;
    Tavrin::Core::SetJournalReadHook([&](DWORD index) {
        if (index == GetParam().atIndex && !changed) {
            changed = true;
            change();
        }
    });
    const Journal journal = Tavrin::Core::ReadJournal();
    Tavrin::Core::SetJournalReadHook({});
    EXPECT_TRUE(changed) << "the read met the change";
    ASSERT_EQ(journal.state, Journal::State::Holding);
    // In any order: Windows keeps values in the order they were made.
    std::vector<std::wstring> found;
    for (const auto& entry : journal.entries)
        found.push_back(entry.place.valueName);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, std::vector<std::wstring>(GetParam().expected.begin(), GetParam().expected.end()));
    EXPECT_FALSE(Tavrin::Core::TakeJournalProblem());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, Tavrin::Core::kDamagedJournalKey));
}

namespace {

void Journalled(const wchar_t* name, DWORD before)
{
    WriteDword(HKEY_LOCAL_MACHINE, kKey, name, before);
    NumberProperty(HKEY_LOCAL_MACHINE, kKey, name).SetValue(before + 1);
}

void PutEntry(const wchar_t* name, const StoredValue& bytes)
{
    WriteStored(HKEY_LOCAL_MACHINE, Tavrin::Core::kJournalKey, EntryName(name), bytes.type, bytes.data.data(),
                static_cast<DWORD>(bytes.data.size()));
}

} // namespace

INSTANTIATE_TEST_SUITE_P(Journal, JournalReadRace,
                         ::testing::Values(
                             // Undone and made again by another copy, from a longer value.
                             Race{"EntryMadeLonger",
                                  0,
                                  [] {
                                      const StoredValue longer = EntryBytes(kNames[0], [] {
                                          WriteString(HKEY_LOCAL_MACHINE, kKey, kNames[0],
                                                      std::wstring(300, L'x'));
                                      });
                                      ClearedJournal::Clear();
                                      Journalled(kNames[0], 1);
                                      return std::function<void()>([longer] { PutEntry(kNames[0], longer); });
                                  },
                                  {kNames[0]}},
                             Race{"EntryRemoved",
                                  1,
                                  [] {
                                      Journalled(kNames[0], 1);
                                      Journalled(kNames[1], 1);
                                      return std::function<void()>([] {
                                          DeleteStored(HKEY_LOCAL_MACHINE, Tavrin::Core::kJournalKey,
                                                       EntryName(kNames[1]));
                                      });
                                  },
                                  {kNames[0]}},
                             Race{"EntryAdded",
                                  0,
                                  [] {
                                      const StoredValue added = EntryBytes(kNames[1], [] {
                                          WriteDword(HKEY_LOCAL_MACHINE, kKey, kNames[1], 1);
                                      });
                                      ClearedJournal::Clear();
                                      Journalled(kNames[0], 1);
                                      return std::function<void()>([added] { PutEntry(kNames[1], added); });
                                  },
                                  {kNames[0], kNames[1]}}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Damaged journals set aside ---------------------------------------------------------

namespace {

// A journal with one entry that does not parse, under a name of its own.
void DamageJournal(const std::wstring& marker)
{
    WriteString(HKEY_LOCAL_MACHINE, Tavrin::Core::kJournalKey, L"HKLM|64|4|SOFT|" + marker, L"not an entry");
}

bool HoldsMarker(const std::wstring& key, const std::wstring& marker)
{
    return ReadStored(HKEY_LOCAL_MACHINE, key, L"HKLM|64|4|SOFT|" + marker).IsString(L"not an entry");
}

} // namespace

TEST_F(JournalSharing, EachDamagedJournalIsKeptBesideTheEarlierOnes)
{
    for (unsigned number = 1; number <= 3; ++number) {
        const std::wstring marker = L"Damage" + std::to_wstring(number);
        DamageJournal(marker);
        EXPECT_EQ(Tavrin::Core::ReadJournal().state, Journal::State::Damaged);
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, Tavrin::Core::kJournalKey)) << number;
        for (unsigned earlier = 1; earlier <= number; ++earlier)
            EXPECT_TRUE(
                HoldsMarker(Tavrin::Core::DamagedJournalKey(earlier), L"Damage" + std::to_wstring(earlier)))
                << earlier << " of " << number;
    }
    EXPECT_EQ(Tavrin::Core::DamagedJournalKey(1), Tavrin::Core::kDamagedJournalKey);
    EXPECT_EQ(Tavrin::Core::DamagedJournalKey(2), L"Software\\Tavrin\\Journal (damaged 2)");
}

namespace {

// What keeps a damaged journal from being copied: no name left for the
// copy, or a key in it that nobody may read.
struct CopyFailure {
    const char* name;
    std::function<void()> prepare, cleanUp;
};

// A key below the journal whose empty access list lets nobody in; its owner
// may still give it one back.
const std::wstring kLockedKey = std::wstring(Tavrin::Core::kJournalKey) + L"\\Locked";

void SetKeyAccessList(const wchar_t* sddl)
{
    Tavrin::Platform::LocalMemory descriptor = Tavrin::Platform::SecurityDescriptorFromSddl(sddl);
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kLockedKey.c_str(), 0, WRITE_DAC | KEY_WOW64_64KEY, &key) ==
        ERROR_SUCCESS) {
        ::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor.Get());
        ::RegCloseKey(key);
    }
}

} // namespace

class DamagedJournalCopyFails : public JournalSharing, public ::testing::WithParamInterface<CopyFailure> {};

TEST_P(DamagedJournalCopyFails, TheJournalStaysAndEveryEarlierCopyToo)
{
    for (unsigned number = 1; number <= 3; ++number)
        WriteString(HKEY_LOCAL_MACHINE, Tavrin::Core::DamagedJournalKey(number), L"Earlier", L"copy");
    DamageJournal(L"Now");
    GetParam().prepare();
    EXPECT_EQ(Tavrin::Core::ReadJournal().state, Journal::State::Damaged);
    EXPECT_TRUE(HoldsMarker(Tavrin::Core::kJournalKey, L"Now"))
        << "the journal stays while no copy of it is whole";
    for (unsigned number = 1; number <= 3; ++number)
        EXPECT_TRUE(ReadStored(HKEY_LOCAL_MACHINE, Tavrin::Core::DamagedJournalKey(number), L"Earlier")
                        .IsString(L"copy"))
            << number;
    // No half copy is left behind.
    for (unsigned number = 4; number <= Tavrin::Core::kDamagedJournalCopies; ++number) {
        if (KeyExists(HKEY_LOCAL_MACHINE, Tavrin::Core::DamagedJournalKey(number)))
            EXPECT_TRUE(
                ReadStored(HKEY_LOCAL_MACHINE, Tavrin::Core::DamagedJournalKey(number), L"Earlier").present)
                << number;
    }
    GetParam().cleanUp();
}

INSTANTIATE_TEST_SUITE_P(
    Journal, DamagedJournalCopyFails,
    ::testing::Values(CopyFailure{"NoNameLeft",
                                  [] {
                                      for (unsigned number = 4; number <= Tavrin::Core::kDamagedJournalCopies;
                                           ++number)
                                          WriteString(HKEY_LOCAL_MACHINE,
                                                      Tavrin::Core::DamagedJournalKey(number), L"Earlier",
                                                      L"copy");
                                  },
                                  [] {}},
                      CopyFailure{"UnreadableKeyInIt",
                                  [] {
                                      WriteDword(HKEY_LOCAL_MACHINE, kLockedKey, L"Value", 1);
                                      SetKeyAccessList(L"D:P");
                                  },
                                  [] { SetKeyAccessList(L"D:P(A;;KA;;;BA)(A;;KA;;;SY)"); }}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Undo on disk first --------------------------------------------------------------------

namespace {

DWORD JournalEntryCount()
{
    HKEY key = nullptr;
    DWORD count = 0;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, Tavrin::Core::kJournalKey, 0, KEY_READ | KEY_WOW64_64KEY, &key) ==
        ERROR_SUCCESS) {
        ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr,
                           nullptr, nullptr, nullptr);
        ::RegCloseKey(key);
    }
    return count;
}

} // namespace

struct FlushAnswer {
    const char* name;
    LSTATUS status;
};

class UndoFlush : public JournalSharing, public ::testing::WithParamInterface<FlushAnswer> {};

// Wine keeps every key on disk at once and its flush does nothing: the flush
// here answers as Windows' does, and sees what is still journalled.
TEST_P(UndoFlush, EachRestoredKeyIsFlushedWhileItsEntryIsStillJournalled)
{
    Journalled(kNames[0], 1);
    Journalled(kNames[1], 1);
    ASSERT_EQ(JournalEntryCount(), 2u);
    std::vector<DWORD> journalledAtFlush;
    Tavrin::Core::SetRestoreFlush([&](HKEY) {
        journalledAtFlush.push_back(JournalEntryCount());
        return GetParam().status;
    });
    const auto undone = Tavrin::Core::UndoAllChanges();
    EXPECT_EQ(journalledAtFlush, std::vector<DWORD>({2u, 2u}));
    const bool flushed = GetParam().status == ERROR_SUCCESS;
    EXPECT_EQ(undone.Succeeded(), flushed);
    EXPECT_EQ(undone.restored, flushed ? 2u : 0u);
    EXPECT_EQ(undone.failed, flushed ? 0u : 2u);
    // A value not known to be on disk stays journalled for the next undo.
    EXPECT_EQ(JournalEntryCount(), flushed ? 0u : 2u);
}

INSTANTIATE_TEST_SUITE_P(Journal, UndoFlush,
                         ::testing::Values(FlushAnswer{"Flushed", ERROR_SUCCESS},
                                           FlushAnswer{"FlushFails", ERROR_WRITE_FAULT}),
                         [](const auto& info) { return std::string(info.param.name); });
