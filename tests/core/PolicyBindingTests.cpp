#include <gtest/gtest.h>

#include <algorithm>

#include "core/settings/Privacy.h"
#include "core/settings/RegistryProperty.h"
#include "core/settings/ThemeSettings.h"
#include "tests/core/SettingsTestSupport.h"

using namespace Tavrin::Core;
using namespace Tavrin::Test;

namespace {

const wchar_t kPolicyPath[] = L"SOFTWARE\\Policies\\TavrinTests\\Binding";
const wchar_t kValue[] = L"Setting";

std::wstring Save(bool machine, const std::wstring& state)
{
    return L"save machine=" + std::to_wstring(machine ? 1 : 0) + L" " + PolicyServer::kSaveArguments +
           L" state=" + state;
}

// The saves of a call log, in order, after checking that every object made
// was released (each change has an object of its own, reads share one).
std::vector<std::wstring> SavesOf(const std::vector<std::wstring>& calls)
{
    EXPECT_EQ(std::count(calls.begin(), calls.end(), L"create"),
              std::count(calls.begin(), calls.end(), L"release"));
    std::vector<std::wstring> saves;
    for (const std::wstring& call : calls)
        if (call.compare(0, 5, L"save ") == 0)
            saves.push_back(call);
    return saves;
}

// Wine has no group policy object; these tests rely on that unless they
// register the stand-in themselves.
bool PolicyObjectRegistered()
{
    return KeyExists(HKEY_LOCAL_MACHINE, PolicyServer::kClassKey);
}

void ExpectNothingDeclaredWritten()
{
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Policies\\TavrinTests"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"SOFTWARE\\Policies\\TavrinTests"));
}

} // namespace

TEST(PolicyBinding, WithoutThePolicyObjectReadsTheDefaultAndNeverWrites)
{
    ASSERT_FALSE(PolicyObjectRegistered());
    NumberProperty number(HKEY_LOCAL_MACHINE, kPolicyPath, kValue, PolicyBinding::MachineSection);
    StringProperty text(kPolicyPath, L"Value", PolicyBinding::MachineSection);
    EXPECT_TRUE(number.IsPolicyBound());
    EXPECT_EQ(number.RootKey(), nullptr) << "the declared root is replaced even when the object is missing";
    EXPECT_EQ(text.RootKey(), nullptr);
    number.defaultValue = 1;
    EXPECT_EQ(number.GetValue(), 1u);
    number.SetValue(2);
    text.SetValue(L"Deny");
    EXPECT_EQ(number.GetValue(), 1u);
    EXPECT_EQ(text.GetValue(), L"");
    EXPECT_NE(number.DeleteValue(), ERROR_SUCCESS);
    ExpectNothingDeclaredWritten();
}

// The rows a page shows disabled when the policy object cannot be created.
TEST(PolicyBinding, RowsOfAMissingPolicyObjectAreUnavailable)
{
    ASSERT_FALSE(PolicyObjectRegistered());
    CPrivacy privacy;
    CThemeSettings theme;
    for (const auto& row : CatalogueOf<CPrivacy>().rows)
        EXPECT_EQ(IsAvailable(privacy, row), row.name != std::string("privacy.account-info")) << row.name;
    for (const auto& row : CatalogueOf<CThemeSettings>().rows)
        EXPECT_EQ(IsAvailable(theme, row), row.name != std::string("theme.action-center")) << row.name;
}

TEST(PolicyBinding, MachineSectionSavesAfterEveryChangeAndNotAtTheEnd)
{
    PolicyServer server;
    const std::wstring section = server.SectionPath(true);
    {
        NumberProperty property(HKEY_LOCAL_MACHINE, kPolicyPath, kValue, PolicyBinding::MachineSection);
        EXPECT_EQ(server.Calls(), std::vector<std::wstring>{}) << "opened when first needed";
        ASSERT_NE(property.RootKey(), nullptr);
        EXPECT_EQ(property.GetValue(), 0u);
        property.SetValue(2);
        StoredValue stored = ReadStored(HKEY_CURRENT_USER, section + L"\\" + kPolicyPath, kValue);
        EXPECT_TRUE(stored.IsDword(2));
        EXPECT_EQ(property.GetValue(), 2u);
        EXPECT_EQ(property.DeleteValue(), ERROR_SUCCESS);
        EXPECT_FALSE(ReadStored(HKEY_CURRENT_USER, section + L"\\" + kPolicyPath, kValue).present);
        EXPECT_EQ(property.DeleteValue(), ERROR_FILE_NOT_FOUND);
    }
    ExpectNothingDeclaredWritten();
    const std::wstring written = std::wstring(kPolicyPath) + L"\\" + kValue + L"=2;";
    std::vector<std::wstring> expected = {
        Save(true, written), // after the write
        Save(true, L""),     // after the delete
        // neither the delete of an absent value nor the end saves
    };
    EXPECT_EQ(SavesOf(server.Calls()), expected);
}

TEST(PolicyBinding, UserSectionIsAskedForAndSavedAsUser)
{
    PolicyServer server;
    {
        StringProperty property(kPolicyPath, L"Value", PolicyBinding::UserSection);
        property.SetValue(L"Deny");
        StoredValue stored =
            ReadStored(HKEY_CURRENT_USER, server.SectionPath(false) + L"\\" + kPolicyPath, L"Value");
        EXPECT_TRUE(stored.IsString(L"Deny"));
        EXPECT_EQ(property.GetValue(), L"Deny");
    }
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, server.SectionPath(true)));
    const std::wstring written = std::wstring(kPolicyPath) + L"\\Value=\"Deny\";";
    auto calls = server.Calls();
    EXPECT_EQ(SavesOf(calls), std::vector<std::wstring>{Save(false, written)});
    EXPECT_EQ(std::count(calls.begin(), calls.end(), L"key 2"), 0) << "the machine section is never needed";
}

TEST(PolicyBinding, ObjectThatCannotOpenTheLocalPolicyLeavesNoRoot)
{
    PolicyServer server(PolicyServer::Options{true, false});
    {
        NumberProperty property(HKEY_LOCAL_MACHINE, kPolicyPath, kValue, PolicyBinding::MachineSection);
        EXPECT_EQ(property.RootKey(), nullptr);
        property.defaultValue = 1;
        property.SetValue(5);
        EXPECT_EQ(property.GetValue(), 1u);
    }
    ExpectNothingDeclaredWritten();
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, server.SectionPath(true)));
    auto calls = server.Calls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[0], L"create");
    EXPECT_EQ(calls[1], L"open 1");
    EXPECT_EQ(std::count(calls.begin(), calls.end(), L"key 2"), 0)
        << "no section asked for after a failed open";
    EXPECT_EQ(std::count(calls.begin(), calls.end(), L"create"), 2)
        << "the reading object is not tried again for every read; the change tries its own";
    EXPECT_EQ(
        std::count_if(calls.begin(), calls.end(), [](const std::wstring& c) { return c.find(L"save") == 0; }),
        0);
    EXPECT_EQ(calls.back(), L"release");
}

TEST(PolicyBinding, SectionKeyThatCannotBeHadLeavesNoRoot)
{
    PolicyServer server(PolicyServer::Options{false, true});
    {
        NumberProperty property(HKEY_LOCAL_MACHINE, kPolicyPath, kValue, PolicyBinding::MachineSection);
        EXPECT_EQ(property.RootKey(), nullptr);
        property.SetValue(5);
        EXPECT_EQ(property.GetValue(), 0u);
    }
    ExpectNothingDeclaredWritten();
    auto calls = server.Calls();
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[2], L"key 2");
    EXPECT_EQ(calls.back(), L"release");
}

TEST(PolicyBinding, PrivacyAccountInfoRowGoesThroughThePolicyObject)
{
    PolicyServer server;
    const std::wstring key =
        server.SectionPath(true) + L"\\SOFTWARE\\Policies\\Microsoft\\Windows\\AppPrivacy";
    const wchar_t name[] = L"LetAppsAccessAccountInfo";
    const std::wstring declared = L"SOFTWARE\\Policies\\Microsoft\\Windows\\AppPrivacy";
    const bool declaredBefore = ReadStored(HKEY_LOCAL_MACHINE, declared, name).present;
    RegistryRestorer restorer; // the reset writes the whole catalogue
    {
        CPrivacy privacy;
        ClearCatalogue(restorer, privacy);
        const auto* row = FindRow<CPrivacy>("privacy.account-info");
        ASSERT_NE(row, nullptr);
        EXPECT_FALSE(IsTicked(privacy, *row));
        Apply(privacy, *row, true);
        EXPECT_TRUE(ReadStored(HKEY_CURRENT_USER, key, name).IsDword(2));
        EXPECT_TRUE(IsTicked(privacy, *row));
        // Written into the object's own copy: the stored policy is not what
        // an open object reads.
        const EntryPlace place =
            PlaceOf(privacy, SettingEntry<CPrivacy>(&CPrivacy::letAppsAccessAccountInfo));
        for (DWORD shown : {0u, 1u, 3u}) {
            WriteDword(place.root, place.path, name, shown);
            EXPECT_FALSE(IsTicked(privacy, *row)) << shown;
        }
        Apply(privacy, *row, false);
        EXPECT_FALSE(ReadStored(HKEY_CURRENT_USER, key, name).present);
        Apply(privacy, *row, true);
        Reset(privacy);
        EXPECT_FALSE(ReadStored(HKEY_CURRENT_USER, key, name).present);
    }
    EXPECT_EQ(ReadStored(HKEY_LOCAL_MACHINE, declared, name).present, declaredBefore)
        << "the declared machine root is not used";
    const std::wstring two =
        L"SOFTWARE\\Policies\\Microsoft\\Windows\\AppPrivacy\\LetAppsAccessAccountInfo=2;";
    const std::wstring none = L"";
    auto calls = server.Calls();
    std::vector<std::wstring> expected = {
        Save(true, two),  // tick
        Save(true, none), // clear
        Save(true, two),  // tick again
        Save(true, none), // the reset's delete
    };
    EXPECT_EQ(SavesOf(calls), expected);
}

TEST(PolicyBinding, ThemeActionCenterRowAndResetGoThroughThePolicyObject)
{
    PolicyServer server;
    const std::wstring key = server.SectionPath(true) + L"\\SOFTWARE\\Policies\\Microsoft\\Windows\\Explorer";
    const wchar_t name[] = L"DisableNotificationCenter";
    RegistryRestorer restorer;
    {
        CThemeSettings theme;
        ClearCatalogue(restorer, theme);
        const auto* row = FindRow<CThemeSettings>("theme.action-center");
        ASSERT_NE(row, nullptr);
        EXPECT_FALSE(IsTicked(theme, *row));
        Apply(theme, *row, true);
        EXPECT_TRUE(ReadStored(HKEY_CURRENT_USER, key, name).IsDword(1));
        EXPECT_TRUE(IsTicked(theme, *row));
        Apply(theme, *row, false);
        EXPECT_TRUE(ReadStored(HKEY_CURRENT_USER, key, name).IsDword(0)) << "cleared is written as 0";
        EXPECT_FALSE(IsTicked(theme, *row));
        Apply(theme, *row, true);
        Reset(theme);
        EXPECT_TRUE(ReadStored(HKEY_CURRENT_USER, key, name).IsDword(0));
        EXPECT_FALSE(IsTicked(theme, *row));
    }
    EXPECT_FALSE(
        KeyExists(HKEY_CURRENT_USER, L"SOFTWARE\\Policies\\Microsoft\\Windows\\Explorer") &&
        ReadStored(HKEY_CURRENT_USER, L"SOFTWARE\\Policies\\Microsoft\\Windows\\Explorer", name).present)
        << "the declared user root is not used";
    const std::wstring prefix =
        L"SOFTWARE\\Policies\\Microsoft\\Windows\\Explorer\\DisableNotificationCenter=";
    std::vector<std::wstring> expected = {
        Save(true, prefix + L"1;"), Save(true, prefix + L"0;"), Save(true, prefix + L"1;"),
        Save(true, prefix + L"0;"), // the reset writes 0 rather than deleting
    };
    EXPECT_EQ(SavesOf(server.Calls()), expected);
}
