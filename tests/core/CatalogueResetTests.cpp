// "Reset to Windows Defaults" after every box of a page was ticked, with the
// state of every member written out (see StateText for the notation), on a
// prefix without a group policy object.
#include <gtest/gtest.h>

#include "core/settings/Location.h"
#include "core/settings/Privacy.h"
#include "core/settings/Security.h"
#include "core/settings/ThemeSettings.h"
#include "tests/core/SettingsTestSupport.h"

using namespace Tavrin::Core;
using namespace Tavrin::Test;

namespace {

template <typename Model> struct ResetAfterTickingEverything {
    ResetAfterTickingEverything()
    {
        ClearCatalogue(restorer, model);
        for (const auto& row : CatalogueOf<Model>().rows)
            Apply(model, row, true);
    }
    std::vector<std::string> TickedRows() const
    {
        std::vector<std::string> ticked;
        for (const auto& row : CatalogueOf<Model>().rows)
            if (IsTicked(model, row))
                ticked.push_back(row.name);
        return ticked;
    }

    RegistryRestorer restorer;
    Model model;
};

const std::string kAbsent = "-";
const std::string kNoRoot = "(no root)";
const std::string kAllow = "'Allow'";

} // namespace

TEST(CatalogueReset, PrivacyLeavesAllowInTheFourStringsAndNoNumberAtAll)
{
    ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, PolicyServer::kClassKey));
    ResetAfterTickingEverything<CPrivacy> page;
    Reset(page.model);
    std::vector<std::string> expected(24, kAbsent);
    expected[5] = kNoRoot;
    for (int entry = 9; entry <= 12; ++entry)
        expected[entry - 1] = kAllow;
    EXPECT_EQ(StateOf(page.model), expected);
    // With the counts gone, the feedback box reads as ticked again.
    EXPECT_EQ(page.TickedRows(), std::vector<std::string>{"privacy.feedback-reminders"});
}

TEST(CatalogueReset, SecurityRestoresServicesAndLeavesThePoliciesItDoesNotName)
{
    ResetAfterTickingEverything<CSecurity> page;
    Reset(page.model);
    std::vector<std::string> expected = {
        "1", "1", "2", "2", "1", "0", "0", "1", "0", "1", kAllow, kAllow, kAbsent, kAbsent, kAbsent, kAbsent,
    };
    EXPECT_EQ(StateOf(page.model), expected);
    // Password reveal and the steps recorder keep their 1: the page clears
    // their boxes, but the next start shows them ticked.
    EXPECT_EQ(page.TickedRows(),
              (std::vector<std::string>{"security.password-reveal", "security.steps-recorder"}));
}

TEST(CatalogueReset, LocationKeepsOnlyTheServiceStatusAtOne)
{
    ResetAfterTickingEverything<CLocation> page;
    Reset(page.model);
    std::vector<std::string> expected = {kAbsent, kAbsent, kAbsent, "1", kAbsent, kAbsent, kAbsent};
    EXPECT_EQ(StateOf(page.model), expected);
    EXPECT_EQ(page.TickedRows(), std::vector<std::string>{});
}

TEST(CatalogueReset, ThemeWritesZerosDeletesTheRestAndRemovesTheLogonBackgroundPolicy)
{
    ResetAfterTickingEverything<CThemeSettings> page;
    // Only the reset touches these two.
    WriteDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Policies\\Microsoft\\Windows\\System",
               L"DisableLogonBackgroundImage", 1);
    WriteDword(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"AutoColorization", 1);
    Reset(page.model);
    std::vector<std::string> expected = {kAbsent, kAbsent, kAbsent, kAbsent, kNoRoot, "0",
                                         kAbsent, kAbsent, kAbsent, "0",     "0"};
    EXPECT_EQ(StateOf(page.model), expected);
    EXPECT_EQ(page.TickedRows(), std::vector<std::string>{});
}

TEST(CatalogueReset, ResetOnAnEmptyRegistryCreatesOnlyWhatItWrites)
{
    RegistryRestorer restorer;
    CLocation location;
    ClearCatalogue(restorer, location);
    const std::wstring policies = L"SOFTWARE\\Policies\\Microsoft\\Windows\\LocationAndSensors";
    const bool policiesKeyBefore = KeyExists(HKEY_LOCAL_MACHINE, policies);
    Reset(location);
    EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, policies), policiesKeyBefore) << "deletes never create keys";
    EXPECT_TRUE(ReadStored(HKEY_LOCAL_MACHINE,
                           L"System\\CurrentControlSet\\Services\\lfsvc\\Service\\Configuration", L"Status")
                    .IsDword(1));
}
