#include <gtest/gtest.h>

#include <set>

#include "core/settings/Presets.h"
#include "core/settings/RestorePoint.h"
#include "core/settings/SettingsBook.h"
#include "platform/ComPtr.h"
#include "tests/core/SettingsTestSupport.h"

using Tavrin::Core::SettingsBook;
using namespace Tavrin::Test;

TEST(Presets, NameOnlyRowsOfTheCatalogueOnceAndNoteWhatStrictAdds)
{
    std::set<std::string> seen;
    for (const auto* rows : {&Tavrin::Core::RecommendedRows(), &Tavrin::Core::StrictAdditions()})
        for (const Tavrin::Core::PresetRow& row : *rows) {
            EXPECT_NE(SettingsBook::Find(row.name), nullptr) << row.name;
            EXPECT_TRUE(seen.insert(row.name).second) << row.name;
            EXPECT_EQ(*row.note != '\0', rows == &Tavrin::Core::StrictAdditions()) << row.name;
        }
    EXPECT_EQ(Tavrin::Core::PresetRequests(Tavrin::Core::Preset::Strict).size(), seen.size());
    EXPECT_EQ(Tavrin::Core::FindPreset(L"STRICT"), Tavrin::Core::Preset::Strict);
    EXPECT_FALSE(Tavrin::Core::FindPreset(L"strict.json"));
}

// With nobody to receive them (LocalSystem, nobody at the console) the
// per-user rows are skipped and named; the others are applied.
TEST(SettingsBookApply, SkipsPerUserRowsWhenNobodyIsThere)
{
    ClearedJournal journal;
    PolicyServer policy;
    Tavrin::Core::RunRestorePoint::Instance().SetCall({});
    const SettingsBook::Row *perUser = nullptr, *machine = nullptr;
    for (const SettingsBook::Row& row : SettingsBook::Rows()) {
        const SettingsBook::Row*& first = row.perUser ? perUser : machine;
        first = first ? first : &row;
    }
    ASSERT_TRUE(perUser && machine);
    Tavrin::Platform::ComApartment com;
    SettingsBook book;
    const bool perUserWas = book.IsTicked(*perUser), machineWas = book.IsTicked(*machine);
    const Tavrin::Core::ApplyOutcome outcome =
        book.ApplyAll({{perUser->name, !perUserWas}, {machine->name, !machineWas}}, false);
    EXPECT_EQ(outcome.skipped, std::vector<std::string>{perUser->name});
    EXPECT_EQ(outcome.changed, 1u);
    EXPECT_EQ(book.IsTicked(*perUser), perUserWas);
    EXPECT_EQ(book.IsTicked(*machine), !machineWas);
    EXPECT_EQ(book.Apply(*machine, machineWas), ERROR_SUCCESS);
    Tavrin::Core::RunRestorePoint::Instance().UseSystemCall();
}
