#include <gtest/gtest.h>

#include <cctype>
#include <set>

#include "core/settings/ChangeJournal.h"
#include "core/settings/Presets.h"
#include "core/settings/Profile.h"
#include "core/settings/RestorePoint.h"
#include "core/settings/SettingsBook.h"
#include "platform/ComPtr.h"
#include "platform/Text.h"
#include "tests/core/SettingsTestSupport.h"

// The rows' stable names, the presets that use them and the profile text
// that carries them.

using Tavrin::Core::SettingsBook;
using namespace Tavrin::Test;

TEST(SettingNames, AreUniqueAndStartWithTheirPage)
{
    std::set<std::string> seen;
    for (const SettingsBook::Row& row : SettingsBook::Rows()) {
        std::string page = Tavrin::Platform::Narrow(SettingsBook::PageName(row.page)) + ".";
        for (char& c : page)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const std::string name = row.name;
        EXPECT_EQ(name.rfind(page, 0), 0u) << name;
        EXPECT_GT(name.size(), page.size()) << name;
        for (char c : name)
            EXPECT_TRUE(std::islower(static_cast<unsigned char>(c)) ||
                        std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-')
                << name;
        EXPECT_TRUE(seen.insert(name).second) << name;
        EXPECT_EQ(SettingsBook::Find(name), &row);
    }
    EXPECT_EQ(SettingsBook::Find("privacy"), nullptr);
}

TEST(Presets, NameOnlyRowsOfTheCatalogueOnceAndNoteWhatStrictAdds)
{
    std::set<std::string> seen;
    for (const auto* rows : {&Tavrin::Core::RecommendedRows(), &Tavrin::Core::StrictAdditions()})
        for (const Tavrin::Core::PresetRow& row : *rows) {
            EXPECT_NE(SettingsBook::Find(row.name), nullptr) << row.name;
            EXPECT_TRUE(seen.insert(row.name).second) << row.name;
            EXPECT_EQ(*row.note != '\0', rows == &Tavrin::Core::StrictAdditions()) << row.name;
        }
    const auto strict = Tavrin::Core::PresetRequests(Tavrin::Core::Preset::Strict);
    EXPECT_EQ(strict.size(), seen.size());
    for (const auto& request : strict)
        EXPECT_TRUE(request.ticked) << request.name;
    EXPECT_TRUE(Tavrin::Core::PresetRequests(Tavrin::Core::Preset::Defaults).empty());
    EXPECT_EQ(Tavrin::Core::FindPreset(L"STRICT"), Tavrin::Core::Preset::Strict);
    EXPECT_FALSE(Tavrin::Core::FindPreset(L"strict.json"));
}

TEST(ProfileText, IsReadBackAsTheSettingsItWasWrittenFrom)
{
    std::vector<Tavrin::Core::SettingRequest> settings;
    bool ticked = false;
    for (const SettingsBook::Row& row : SettingsBook::Rows())
        settings.push_back({row.name, ticked = !ticked});
    const Tavrin::Core::ProfileCheck check = Tavrin::Core::CheckProfile(Tavrin::Core::ProfileText(settings));
    ASSERT_TRUE(check.Valid()) << check.problem;
    ASSERT_EQ(check.settings.size(), settings.size());
    for (size_t i = 0; i < settings.size(); ++i) {
        EXPECT_EQ(check.settings[i].name, settings[i].name);
        EXPECT_EQ(check.settings[i].ticked, settings[i].ticked) << settings[i].name;
    }
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
        if (row.perUser && !perUser)
            perUser = &row;
        if (!row.perUser && !machine)
            machine = &row;
    }
    ASSERT_TRUE(perUser && machine);
    Tavrin::Platform::ComApartment com;
    SettingsBook book;
    const bool perUserWas = book.IsTicked(*perUser), machineWas = book.IsTicked(*machine);
    const Tavrin::Core::ApplyOutcome outcome =
        book.ApplyAll({{perUser->name, !perUserWas}, {machine->name, !machineWas}}, false);
    EXPECT_EQ(outcome.skipped, std::vector<std::string>{perUser->name});
    EXPECT_EQ(outcome.changed, 1u);
    EXPECT_TRUE(outcome.failed.empty());
    EXPECT_EQ(book.IsTicked(*perUser), perUserWas);
    EXPECT_EQ(book.IsTicked(*machine), !machineWas);
    EXPECT_EQ(book.Apply(*machine, machineWas), ERROR_SUCCESS);
    Tavrin::Core::RunRestorePoint::Instance().UseSystemCall();
}
