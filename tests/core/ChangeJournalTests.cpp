#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/settings/ChangeJournal.h"
#include "core/settings/Privacy.h"
#include "core/settings/RegistryProperty.h"
#include "core/settings/RestorePoint.h"
#include "platform/RegKey.h"
#include "tests/core/SettingsTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace Tavrin::Test;
using Tavrin::Core::Journal;
using Tavrin::Core::JournalEntry;
using Tavrin::Core::NumberProperty;
using Tavrin::Core::RunRestorePoint;
using Tavrin::Core::StoredState;

namespace {

// A machine key of the tests' own, in the 64-bit view the settings use.
const std::wstring kMachineKey = L"SOFTWARE\\TavrinTests\\Journal";
const wchar_t kValue[] = L"Setting";

StoredState Prepared(DWORD type, std::vector<BYTE> data)
{
    return StoredState{true, type, std::move(data)};
}

StoredState StoredOf(const StoredValue& value)
{
    return value.present ? Prepared(value.type, value.data) : StoredState{};
}

const JournalEntry* FindEntry(const Journal& journal, const std::wstring& keyPath, const std::wstring& name)
{
    for (const JournalEntry& entry : journal.entries)
        if (entry.place.keyPath == keyPath && entry.place.valueName == name)
            return &entry;
    return nullptr;
}

class ChangeJournal : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TavrinTests", KEY_WOW64_64KEY);
        RunRestorePoint::Instance().SetCall({});
    }
    void TearDown() override
    {
        DeleteTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TavrinTests", KEY_WOW64_64KEY);
        RunRestorePoint::Instance().UseSystemCall();
    }
    void Prepare(const std::wstring& path, const StoredState& state)
    {
        if (state.present)
            WriteStored(HKEY_LOCAL_MACHINE, path, kValue, state.type, state.data.data(),
                        static_cast<DWORD>(state.data.size()));
    }
    StoredState Now(const std::wstring& path = kMachineKey) const
    {
        return StoredOf(ReadStored(HKEY_LOCAL_MACHINE, path, kValue));
    }

    ClearedJournal clearedJournal;
};

} // namespace

// --- Recording and undoing -------------------------------------------------------

struct PriorState {
    const char* name;
    bool keyExists;
    StoredState state;
};

class ChangeJournalPriorState : public ChangeJournal, public ::testing::WithParamInterface<PriorState> {};

TEST_P(ChangeJournalPriorState, KeepsTheStateBeforeTheFirstChangeAndUndoPutsItBackExactly)
{
    const PriorState& prior = GetParam();
    // Two levels that may not exist: the undo must take away what the write made.
    const std::wstring path = kMachineKey + L"\\Deeper";
    if (prior.keyExists)
        WriteDword(HKEY_LOCAL_MACHINE, path, L"Neighbour", 1);
    Prepare(path, prior.state);

    NumberProperty property(HKEY_LOCAL_MACHINE, path, kValue);
    property.SetValue(5);
    property.SetValue(6);
    property.DeleteValue();
    property.SetValue(7);
    ASSERT_TRUE(ReadStored(HKEY_LOCAL_MACHINE, path, kValue).IsDword(7));

    const Journal recorded = Tavrin::Core::ReadJournal();
    ASSERT_EQ(recorded.state, Journal::State::Holding);
    ASSERT_EQ(recorded.entries.size(), 1u) << "one entry per value, never replaced";
    const JournalEntry& entry = recorded.entries.front();
    EXPECT_EQ(entry.place.root, Tavrin::Core::RegistryPlace::Root::Machine);
    EXPECT_EQ(entry.place.view, static_cast<REGSAM>(KEY_WOW64_64KEY));
    EXPECT_EQ(entry.place.keyPath, path);
    EXPECT_FALSE(entry.place.ViaPolicyObject());
    EXPECT_TRUE(entry.previous == prior.state);
    EXPECT_EQ(entry.createdKey, prior.keyExists ? L"" : L"SOFTWARE\\TavrinTests");
    // The journal is the machine's, in the 64-bit view, whatever the width.
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, Tavrin::Core::kJournalKey, KEY_WOW64_64KEY));

    const auto undone = Tavrin::Core::UndoAllChanges();
    EXPECT_TRUE(undone.Succeeded());
    EXPECT_EQ(undone.restored, 1u);
    EXPECT_TRUE(Now(path) == prior.state);
    EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TavrinTests"), prior.keyExists);
    EXPECT_FALSE(Tavrin::Core::JournalHoldsEntries());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, Tavrin::Core::kJournalKey, KEY_WOW64_64KEY));

    // Changed by someone else since: a second undo must not touch it.
    WriteDword(HKEY_LOCAL_MACHINE, path, kValue, 8);
    const auto again = Tavrin::Core::UndoAllChanges();
    EXPECT_TRUE(again.Succeeded());
    EXPECT_EQ(again.restored, 0u);
    EXPECT_TRUE(Now(path) == StoredState::Dword(8));
}

INSTANTIATE_TEST_SUITE_P(
    Journal, ChangeJournalPriorState,
    ::testing::Values(PriorState{"NoKey", false, {}}, PriorState{"NoValue", true, {}},
                      PriorState{"Number", true, StoredState::Dword(3)},
                      PriorState{"Text", true, StoredState::String(L"company policy")},
                      PriorState{"Expandable", true, Prepared(REG_EXPAND_SZ, {'%', 0, 'X', 0, '%', 0, 0, 0})},
                      PriorState{"Binary", true, Prepared(REG_BINARY, {1, 2, 3})},
                      PriorState{"EmptyBinary", true, Prepared(REG_BINARY, {})}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ChangeJournal, WritingWhatIsThereOrDeletingWhatIsNotIsNoChange)
{
    WriteDword(HKEY_LOCAL_MACHINE, kMachineKey, kValue, 4);
    NumberProperty present(HKEY_LOCAL_MACHINE, kMachineKey, kValue);
    present.SetValue(4);
    NumberProperty absent(HKEY_LOCAL_MACHINE, kMachineKey, L"Absent");
    absent.DeleteValue();
    EXPECT_EQ(Tavrin::Core::ReadJournal().state, Journal::State::Empty);
}

TEST_F(ChangeJournal, AChangeWhoseEntryCannotBeWrittenIsNotMadeAndSaysWhy)
{
    // The entry's name holds the key path and the value's name: for a value
    // name of the registry's longest, it is longer than any value name.
    const std::wstring longest(16383, L'v');
    WriteDword(HKEY_LOCAL_MACHINE, kMachineKey, longest, 1);
    NumberProperty property(HKEY_LOCAL_MACHINE, kMachineKey, longest);
    EXPECT_NE(property.SetValue(2), ERROR_SUCCESS);
    EXPECT_NE(property.DeleteValue(), ERROR_SUCCESS);
    EXPECT_EQ(property.GetValue(), 1u);
    EXPECT_NE(Tavrin::Core::ReadJournal().state, Journal::State::Holding);
}

TEST_F(ChangeJournal, KillBetweenTheJournalWriteAndTheChangeLeavesItConsistent)
{
    WriteDword(HKEY_LOCAL_MACHINE, kMachineKey, kValue, 3);
    const ProcessResult killed =
        RunProcess(L"\"" + BinFolder() + L"\\journal_kill.exe\" \"" + kMachineKey + L"\" " + kValue + L" 9");
    ASSERT_EQ(killed.exitCode, 3u) << killed.output;
    // The change never happened; the entry holds the value as it still is.
    EXPECT_TRUE(Now() == StoredState::Dword(3));
    const Journal journal = Tavrin::Core::ReadJournal();
    ASSERT_EQ(journal.state, Journal::State::Holding);
    const JournalEntry* entry = FindEntry(journal, kMachineKey, kValue);
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->previous == StoredState::Dword(3));
    EXPECT_FALSE(Tavrin::Core::TakeJournalProblem());

    const auto undone = Tavrin::Core::UndoAllChanges();
    EXPECT_TRUE(undone.Succeeded());
    EXPECT_EQ(undone.restored, 1u);
    EXPECT_TRUE(Now() == StoredState::Dword(3));
    EXPECT_EQ(Tavrin::Core::ReadJournal().state, Journal::State::Empty);
}

// --- A damaged journal ----------------------------------------------------------------

struct Damage {
    const char* name;
    std::function<void(StoredValue&)> apply; // to the one entry's stored value
};

class DamagedJournal : public ChangeJournal, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedJournal, IsReportedOnceAndNothingIsWrittenFromIt)
{
    WriteDword(HKEY_LOCAL_MACHINE, kMachineKey, kValue, 1);
    NumberProperty property(HKEY_LOCAL_MACHINE, kMachineKey, kValue);
    property.SetValue(2);
    const Journal journal = Tavrin::Core::ReadJournal();
    ASSERT_EQ(journal.entries.size(), 1u);
    const std::wstring name = journal.entries.front().Name();
    StoredValue stored = ReadStored(HKEY_LOCAL_MACHINE, Tavrin::Core::kJournalKey, name);
    ASSERT_TRUE(stored.present);
    GetParam().apply(stored);
    DeleteStored(HKEY_LOCAL_MACHINE, Tavrin::Core::kJournalKey, name);
    WriteStored(HKEY_LOCAL_MACHINE, Tavrin::Core::kJournalKey, name, stored.type, stored.data.data(),
                static_cast<DWORD>(stored.data.size()));

    const auto undone = Tavrin::Core::UndoAllChanges();
    EXPECT_TRUE(undone.journalProblem);
    EXPECT_FALSE(undone.Succeeded());
    EXPECT_EQ(undone.restored, 0u);
    EXPECT_TRUE(Now() == StoredState::Dword(2)) << "nothing is written from a damaged journal";
    EXPECT_EQ(Tavrin::Core::TakeJournalProblem(), Journal::State::Damaged);
    EXPECT_FALSE(Tavrin::Core::TakeJournalProblem()) << "reported once";
    // Set aside for a person to look at; the next change starts a new journal.
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, Tavrin::Core::kDamagedJournalKey, KEY_WOW64_64KEY));
    EXPECT_FALSE(Tavrin::Core::JournalHoldsEntries());
    EXPECT_FALSE(Tavrin::Core::TakeJournalProblem());
    property.SetValue(3);
    const Journal fresh = Tavrin::Core::ReadJournal();
    ASSERT_EQ(fresh.state, Journal::State::Holding);
    EXPECT_TRUE(fresh.entries.front().previous == StoredState::Dword(2));
}

namespace {

// The entry's text as characters, changed and stored back as bytes.
void EditText(StoredValue& value, const std::function<void(std::wstring&)>& edit)
{
    std::wstring text(value.data.size() / 2, L'\0');
    std::memcpy(text.data(), value.data.data(), text.size() * 2);
    edit(text);
    value.data.assign(reinterpret_cast<const BYTE*>(text.data()),
                      reinterpret_cast<const BYTE*>(text.data()) + text.size() * 2);
}

} // namespace

INSTANTIATE_TEST_SUITE_P(
    Journal, DamagedJournal,
    ::testing::Values(Damage{"WrongType", [](StoredValue& v) { v.type = REG_BINARY; }},
                      Damage{"CutShort", [](StoredValue& v) { v.data.resize(v.data.size() / 2 + 1); }},
                      Damage{"Garbage", [](StoredValue& v) { v.data.assign(40, 0x5A); }},
                      // A changed byte of the previous value, which the check catches.
                      Damage{"ChangedData",
                             [](StoredValue& v) {
                                 EditText(v, [](std::wstring& t) { t[t.find(L"previous=4:") + 11] = L'7'; });
                             }},
                      Damage{"OtherValuesName",
                             [](StoredValue& v) {
                                 EditText(v, [](std::wstring& t) { t[t.find(L"value=") + 6] = L'X'; });
                             }}),
    [](const auto& info) { return std::string(info.param.name); });

// --- The policy object --------------------------------------------------------------

TEST_F(ChangeJournal, PolicyChangeIsUndoneThroughThePolicyObject)
{
    PolicyServer policy;
    const Tavrin::Core::CPrivacy names; // the places only
    const auto& account = names.letAppsAccessAccountInfo;
    const std::wstring stored = policy.SectionPath(true) + L"\\" + account.KeyPath();
    WriteDword(HKEY_CURRENT_USER, stored, account.ValueName(), 1);
    {
        Tavrin::Core::CPrivacy privacy;
        Tavrin::Core::Apply(privacy, *Tavrin::Core::FindRow<Tavrin::Core::CPrivacy>("privacy.account-info"),
                            true);
        ASSERT_TRUE(ReadStored(HKEY_CURRENT_USER, stored, account.ValueName()).IsDword(2));
        const Journal journal = Tavrin::Core::ReadJournal();
        const JournalEntry* entry = FindEntry(journal, account.KeyPath(), account.ValueName());
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->place.root, Tavrin::Core::RegistryPlace::Root::PolicyMachine);
        EXPECT_TRUE(entry->previous == StoredState::Dword(1));

        // The undo works on the pages' own copy of the policy and saves it.
        const DWORD saves = policy.Version();
        const auto undone = Tavrin::Core::UndoAllChanges();
        EXPECT_TRUE(undone.Succeeded());
        EXPECT_EQ(policy.Version(), saves + 1);
        EXPECT_TRUE(ReadStored(HKEY_CURRENT_USER, stored, account.ValueName()).IsDword(1));
        EXPECT_EQ(privacy.letAppsAccessAccountInfo.GetValue(), 1u);
    }
    EXPECT_TRUE(ReadStored(HKEY_CURRENT_USER, stored, account.ValueName()).IsDword(1))
        << "after the exit too";
}

// --- The restore point ------------------------------------------------------------------

TEST_F(ChangeJournal, RestorePointBeginsOnceAndEndsWithTheRun)
{
    struct Call {
        DWORD event, type;
        INT64 sequence;
        std::wstring description;
    };
    std::vector<Call> calls;
    WriteDword(HKEY_LOCAL_MACHINE, kMachineKey, kValue, 1);
    RunRestorePoint::Instance().SetCall([&](RESTOREPOINTINFOW& info, STATEMGRSTATUS& status) {
        calls.push_back({info.dwEventType, info.dwRestorePtType, info.llSequenceNumber, info.szDescription});
        status.nStatus = ERROR_SUCCESS;
        status.llSequenceNumber = 42;
        return TRUE;
    });
    NumberProperty first(HKEY_LOCAL_MACHINE, kMachineKey, kValue);
    EXPECT_EQ(first.SetValue(2), ERROR_SUCCESS);
    EXPECT_TRUE(calls.empty()) << "a write never waits for the restore point: its callers take it first";
    for (int change = 0; change < 3; ++change)
        RunRestorePoint::Instance().BeforeChange();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].event, static_cast<DWORD>(BEGIN_SYSTEM_CHANGE));
    EXPECT_EQ(calls[0].type, static_cast<DWORD>(MODIFY_SETTINGS));
    EXPECT_EQ(calls[0].description, L"Tavrin settings change");

    RunRestorePoint::Instance().EndOfRun();
    RunRestorePoint::Instance().EndOfRun();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].event, static_cast<DWORD>(END_SYSTEM_CHANGE));
    EXPECT_EQ(calls[1].sequence, 42);
}

struct Unavailable {
    const char* name;
    enum { SwitchedOff, NoLibrary, SystemsOwn } call; // the last: whatever this system's srclient.dll does
};

class RestorePointUnavailable : public ChangeJournal, public ::testing::WithParamInterface<Unavailable> {};

TEST_P(RestorePointUnavailable, ChangesAndTheJournalGoOn)
{
    int calls = 0;
    if (GetParam().call == Unavailable::SystemsOwn)
        RunRestorePoint::Instance().UseSystemCall(); // Wine's answers at once
    if (GetParam().call == Unavailable::SwitchedOff)
        RunRestorePoint::Instance().SetCall([&](RESTOREPOINTINFOW&, STATEMGRSTATUS& status) {
            ++calls;
            status.nStatus = ERROR_SERVICE_DISABLED; // System Restore switched off
            return FALSE;
        });
    NumberProperty property(HKEY_LOCAL_MACHINE, kMachineKey, kValue);
    for (DWORD value : {1u, 2u}) {
        RunRestorePoint::Instance().BeforeChange();
        EXPECT_EQ(property.SetValue(value), ERROR_SUCCESS);
    }
    RunRestorePoint::Instance().EndOfRun();
    EXPECT_EQ(calls, GetParam().call == Unavailable::SwitchedOff ? 1 : 0) << "tried once, never ended";
    EXPECT_TRUE(RunRestorePoint::Instance().Attempted());
    EXPECT_FALSE(RunRestorePoint::Instance().Open());
    EXPECT_TRUE(Now() == StoredState::Dword(2));
    EXPECT_TRUE(Tavrin::Core::JournalHoldsEntries());
}

INSTANTIATE_TEST_SUITE_P(Journal, RestorePointUnavailable,
                         ::testing::Values(Unavailable{"SwitchedOff", Unavailable::SwitchedOff},
                                           Unavailable{"NoLibrary", Unavailable::NoLibrary},
                                           Unavailable{"SystemsOwn", Unavailable::SystemsOwn}),
                         [](const auto& info) { return std::string(info.param.name); });
