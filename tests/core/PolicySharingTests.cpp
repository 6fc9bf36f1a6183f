#include <gtest/gtest.h>

#include <algorithm>

#include "core/settings/Location.h"
#include "core/settings/Privacy.h"
#include "core/settings/Security.h"
#include "core/settings/ThemeSettings.h"
#include "tests/core/SettingsTestSupport.h"

// The stand-in keeps one copy of the policy per object and lets each save
// write its copy back, as Windows does; these tests show what that means for
// a program whose pages hold two policy-bound settings.

using namespace Tavrin::Core;
using namespace Tavrin::Test;

namespace {

// The models in the order the main window's pages hold them; they go in
// reverse order when the window goes.
struct MainWindowModels {
    CSecurity security;
    CPrivacy privacy;
    CLocation location;
    CThemeSettings theme;
};

// What the pages do when the main window initialises.
template <typename Model> void ReadEveryRow(const Model& model)
{
    for (const auto& row : CatalogueOf<Model>().rows)
        IsTicked(model, row);
}
void ReadEveryRow(const MainWindowModels& models)
{
    ReadEveryRow(models.security);
    ReadEveryRow(models.privacy);
    ReadEveryRow(models.location);
    ReadEveryRow(models.theme);
}

void Tick(CPrivacy& privacy, const char* row)
{
    Apply(privacy, *FindRow<CPrivacy>(row), true);
}
void Tick(CThemeSettings& theme, const char* row)
{
    Apply(theme, *FindRow<CThemeSettings>(row), true);
}

// Where a machine-section number lives in the stored policy, taken from its
// property while the model exists.
struct StoredPlace {
    std::wstring path, name;
    StoredPlace(const PolicyServer& server, const NumberProperty& property)
        : path(server.SectionPath(true) + L"\\" + property.KeyPath()), name(property.ValueName())
    {
    }
    StoredValue Read() const { return ReadStored(HKEY_CURRENT_USER, path, name); }
};

size_t CountCalls(const std::vector<std::wstring>& calls, const std::wstring& start)
{
    return static_cast<size_t>(std::count_if(calls.begin(), calls.end(), [&](const std::wstring& call) {
        return call.compare(0, start.size(), start) == 0;
    }));
}

const wchar_t kOtherToolKey[] = L"SOFTWARE\\Policies\\TavrinTests\\OtherTool";
const wchar_t kOtherToolValue[] = L"Setting";

} // namespace

TEST(PolicySharing, BuildingTheModelsOpensNoPolicyObject)
{
    PolicyServer server;
    {
        MainWindowModels models;
    }
    EXPECT_EQ(server.Calls(), std::vector<std::wstring>{});
}

// The exit of every interactive run on Windows 7 and 8, and on Windows 10
// when no policy-bound box was clicked.
TEST(PolicySharing, ReadingEveryRowAndLeavingSavesNothing)
{
    PolicyServer server;
    {
        MainWindowModels models;
        ReadEveryRow(models);
    }
    auto calls = server.Calls();
    EXPECT_EQ(CountCalls(calls, L"save"), 0u);
    EXPECT_LE(CountCalls(calls, L"create"), 1u);
    EXPECT_EQ(server.Version(), 0u) << "the policy files were rewritten";
}

TEST(PolicySharing, ActionCenterTickSurvivesTheExit)
{
    PolicyServer server;
    std::unique_ptr<StoredPlace> actionCenter;
    {
        MainWindowModels models;
        actionCenter = std::make_unique<StoredPlace>(server, models.theme.disableNotificationCenter);
        ReadEveryRow(models);
        Tick(models.theme, "theme.action-center");
        EXPECT_TRUE(actionCenter->Read().IsDword(1)) << "saved at once";
    }
    EXPECT_TRUE(actionCenter->Read().IsDword(1)) << "lost when the window went";
}

TEST(PolicySharing, EachChangeLoadsSavesAndReleasesAnObjectOfItsOwn)
{
    PolicyServer server;
    std::unique_ptr<StoredPlace> accountInfo, actionCenter;
    {
        MainWindowModels models;
        accountInfo = std::make_unique<StoredPlace>(server, models.privacy.letAppsAccessAccountInfo);
        actionCenter = std::make_unique<StoredPlace>(server, models.theme.disableNotificationCenter);
        ReadEveryRow(models);
        const size_t readingCalls = server.Calls().size();
        Tick(models.privacy, "privacy.account-info");
        Tick(models.theme, "theme.action-center");
        EXPECT_TRUE(accountInfo->Read().IsDword(2));
        EXPECT_TRUE(actionCenter->Read().IsDword(1));
        EXPECT_EQ(server.Version(), 2u);
        auto calls = server.Calls();
        // Then the reading object loads the saved policy again: the row is
        // recorded as it shows after the change.
        const std::vector<std::wstring> change{L"create",  L"open 1", L"key 2",  L"save", L"release",
                                               L"release", L"create", L"open 1", L"key 2"};
        ASSERT_EQ(calls.size(), readingCalls + 2 * change.size());
        for (size_t i = 0; i < 2 * change.size(); ++i)
            EXPECT_EQ(calls[readingCalls + i].compare(0, change[i % change.size()].size(),
                                                      change[i % change.size()]),
                      0)
                << calls[readingCalls + i];
    }
    auto calls = server.Calls();
    EXPECT_EQ(CountCalls(calls, L"key 1"), 0u) << "the user section is never needed";
    EXPECT_EQ(CountCalls(calls, L"save"), 2u) << "the reading object never saves";
    EXPECT_EQ(calls.back(), L"release");
}

TEST(PolicySharing, AnotherToolsChangeWhileTheProgramRunsIsKept)
{
    PolicyServer server;
    {
        MainWindowModels models;
        ReadEveryRow(models);
        PolicyServer::WriteAsAnotherTool(kOtherToolKey, kOtherToolValue, 7);
    }
    StoredValue kept =
        ReadStored(HKEY_CURRENT_USER, server.SectionPath(true) + L"\\" + kOtherToolKey, kOtherToolValue);
    EXPECT_TRUE(kept.IsDword(7));
}

// The object is loaded when a setting first needs it, so a change made before
// that is part of what the program saves.
TEST(PolicySharing, AnotherToolsChangeBeforeTheFirstUseIsKeptByALaterTick)
{
    PolicyServer server;
    std::unique_ptr<StoredPlace> actionCenter;
    {
        MainWindowModels models;
        actionCenter = std::make_unique<StoredPlace>(server, models.theme.disableNotificationCenter);
        PolicyServer::WriteAsAnotherTool(kOtherToolKey, kOtherToolValue, 7);
        Tick(models.theme, "theme.action-center");
    }
    StoredValue kept =
        ReadStored(HKEY_CURRENT_USER, server.SectionPath(true) + L"\\" + kOtherToolKey, kOtherToolValue);
    EXPECT_TRUE(kept.IsDword(7));
    EXPECT_TRUE(actionCenter->Read().IsDword(1));
}

// Another tool changes the policy after the program read it: a later tick
// keeps that change, and the journal holds the value as the tool left it.
TEST(PolicySharing, AnotherToolsChangeWhileTheProgramRunsIsKeptByALaterTick)
{
    PolicyServer server;
    ClearedJournal clearedJournal;
    std::unique_ptr<StoredPlace> actionCenter;
    {
        MainWindowModels models;
        actionCenter = std::make_unique<StoredPlace>(server, models.theme.disableNotificationCenter);
        ReadEveryRow(models);
        PolicyServer::WriteAsAnotherTool(kOtherToolKey, kOtherToolValue, 7);
        PolicyServer::WriteAsAnotherTool(models.theme.disableNotificationCenter.KeyPath(),
                                         models.theme.disableNotificationCenter.ValueName(), 5);
        Tick(models.theme, "theme.action-center");
        EXPECT_TRUE(models.theme.disableNotificationCenter.GetValue() == 1u) << "read again after the save";
    }
    StoredValue kept =
        ReadStored(HKEY_CURRENT_USER, server.SectionPath(true) + L"\\" + kOtherToolKey, kOtherToolValue);
    EXPECT_TRUE(kept.IsDword(7));
    EXPECT_TRUE(actionCenter->Read().IsDword(1));
    const Journal journal = ReadJournal();
    ASSERT_EQ(journal.entries.size(), 1u);
    EXPECT_TRUE(journal.entries[0].previous == StoredState::Dword(5));
}

TEST(PolicySharing, ASaveThatFailedIsReportedAndLeavesThePolicyAsItWas)
{
    PolicyServer server(PolicyServer::Options{false, false, 1});
    std::unique_ptr<StoredPlace> actionCenter;
    {
        MainWindowModels models;
        actionCenter = std::make_unique<StoredPlace>(server, models.theme.disableNotificationCenter);
        EXPECT_EQ(Apply(models.theme, *FindRow<CThemeSettings>("theme.action-center"), true),
                  ERROR_WRITE_FAULT);
        EXPECT_FALSE(actionCenter->Read().present);
        EXPECT_FALSE(IsTicked(models.theme, *FindRow<CThemeSettings>("theme.action-center")));
    }
    EXPECT_FALSE(actionCenter->Read().present) << "saved behind the user's back";
    EXPECT_EQ(CountCalls(server.Calls(), L"save"), 1u);
    EXPECT_EQ(server.Version(), 0u);
}
